#pragma once

#include "camera/Frame.h"
#include "frames/PixelConversion.h"

#include <QImage>
#include <QVector>

#include <vector>

// The main window's own frame-sized buffers: the 8-bit display buffer and,
// for a colour camera, the two 16-bit half-size planes (A the S plane, B the
// R plane). Sized once per sensor and depth, never per frame. Frames that do
// not fit are dropped and counted.
class DisplayBuffers
{
public:
    struct Options
    {
        SampleDepths depths;
        bool colour = false;
        bool sChannel = true;      // colour: show plane S (flags 1) rather than R (flags 0)
        bool averageGreens = false;
        bool normalise = false;
        QVector<QRgb> colourTable; // empty: grey levels
    };

    // Sizes the buffers for a full sensor frame. A non-positive size (a failed
    // sensor read) keeps the old buffers and returns false.
    bool allocate(int64_t sensorWidth, int64_t sensorHeight, bool colour);

    // The frame is complete at this depth and no larger than the buffers.
    bool accepts(const Frame& frame, int displayDepth, bool colour) const;

    // Fills plane A (flags 1) and plane B (flags 0) from a colour frame's
    // mosaic; false (and counted) when the frame does not fit.
    bool fillPlanes(const Frame& frame, int displayDepth, bool averageGreens);

    // Fills the display buffer from the frame (the whole frame for mono, one
    // plane for colour), stretches it when asked and returns an indexed image
    // over it, valid until the next call. Null (and counted) for a frame
    // that does not fit.
    QImage render(const Frame& frame, const Options& options);

    const uint8_t* display() const { return m_display.data(); }
    // Width and height of the image the last render left in the display
    // buffer; 0 x 0 before the first one and after allocate().
    int renderedWidth() const { return m_renderedWidth; }
    int renderedHeight() const { return m_renderedHeight; }
    const uint16_t* planeA() const { return m_planeA.data(); }
    const uint16_t* planeB() const { return m_planeB.data(); }
    int planeWidth() const { return m_planeWidth; }
    int planeHeight() const { return m_planeHeight; }
    uint64_t droppedFrames() const { return m_dropped; }

private:
    std::vector<uint8_t> m_display;
    std::vector<uint16_t> m_planeA;
    std::vector<uint16_t> m_planeB;
    QVector<QRgb> m_grey;
    uint64_t m_pixels = 0;
    int m_planeWidth = 0;
    int m_planeHeight = 0;
    int m_renderedWidth = 0;
    int m_renderedHeight = 0;
    uint64_t m_dropped = 0;
};
