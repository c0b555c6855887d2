#include "frames/DisplayBuffers.h"

#include "frames/FrameCheck.h"

bool DisplayBuffers::allocate(int64_t sensorWidth, int64_t sensorHeight, bool colour)
{
    if (sensorWidth <= 0 || sensorHeight <= 0)
        return false;
    m_pixels = uint64_t(sensorWidth) * uint64_t(sensorHeight);
    m_display.assign(m_pixels, 0);
    const size_t planePixels = colour ? size_t((sensorWidth / 2) * (sensorHeight / 2)) : 0;
    m_planeA.assign(planePixels, 0);
    m_planeB.assign(planePixels, 0);
    m_planeWidth = 0;
    m_planeHeight = 0;
    m_renderedWidth = 0;
    m_renderedHeight = 0;
    return true;
}

bool DisplayBuffers::accepts(const Frame& frame, int displayDepth, bool colour) const
{
    if (!frameIsComplete(frame, displayDepth))
        return false;
    const uint64_t pixels = uint64_t(frame.width) * frame.height;
    if (pixels > m_pixels)
        return false;
    return !colour || uint64_t(frame.width / 2) * (frame.height / 2) <= m_planeA.size();
}

bool DisplayBuffers::fillPlanes(const Frame& frame, int displayDepth, bool averageGreens)
{
    if (!accepts(frame, displayDepth, true) || m_planeA.empty()) {
        ++m_dropped;
        return false;
    }
    const int w = int(frame.width / 2);
    const int h = int(frame.height / 2);
    if (displayDepth > 8) {
        const auto* mosaic = reinterpret_cast<const uint16_t*>(frame.data);
        extractPlane16(m_planeA.data(), mosaic, w, h, frame.width, 1, averageGreens);
        extractPlane16(m_planeB.data(), mosaic, w, h, frame.width, 0, averageGreens);
    } else {
        extractPlane8To16(m_planeA.data(), frame.data, w, h, frame.width, 1, averageGreens);
        extractPlane8To16(m_planeB.data(), frame.data, w, h, frame.width, 0, averageGreens);
    }
    m_planeWidth = w;
    m_planeHeight = h;
    return true;
}

QImage DisplayBuffers::render(const Frame& frame, const Options& options)
{
    const int displayDepth = options.depths.display;
    if (!accepts(frame, displayDepth, options.colour)) {
        ++m_dropped;
        return QImage();
    }
    const auto* samples16 = reinterpret_cast<const uint16_t*>(frame.data);
    int w = int(frame.width);
    int h = int(frame.height);
    uint8_t* out = m_display.data();
    if (options.colour) {
        w /= 2;
        h /= 2;
        const int flags = options.sChannel ? 1 : 0;
        if (displayDepth <= 8)
            extractPlane8(out, frame.data, w, h, frame.width, flags, options.averageGreens);
        else if (options.depths.data == 14)
            extractPlane16To8Hi(out, samples16, w, h, frame.width, flags, options.averageGreens);
        else
            extractPlane16To8Shr4(out, samples16, w, h, frame.width, flags, options.averageGreens);
    } else if (displayDepth <= 8) {
        copy8(out, frame.data, w, h, w);
    } else if (options.depths.data == 14) {
        convert16To8Hi(out, samples16, w, h, w);
    } else {
        convert16To8Shr4(out, samples16, w, h, w);
    }

    const size_t count = size_t(w) * size_t(h);
    if (options.normalise) {
        const DisplayRange range = displayRange(out, count);
        stretchDisplay(out, count, int(range.min), int(range.max));
    }

    m_renderedWidth = w;
    m_renderedHeight = h;
    // bytesPerLine = w: the display buffer has no row padding, so odd widths are not sheared.
    QImage image(out, w, h, w, QImage::Format_Indexed8);
    if (options.colourTable.isEmpty()) {
        if (m_grey.isEmpty()) {
            for (int v = 0; v < 256; ++v)
                m_grey.append(qRgb(v, v, v));
        }
        image.setColorTable(m_grey);
    } else {
        image.setColorTable(options.colourTable);
    }
    return image;
}
