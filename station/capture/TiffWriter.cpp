#include "capture/TiffWriter.h"

#include "frames/PixelConversion.h"

#include <QFile>

#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

void TiffCloser::operator()(TIFF* file) const
{
    TIFFClose(file);
}

namespace {

// Gives row r of the image, either in place or filled into `scratch`.
using RowSource = std::function<const void*(int row, void* scratch)>;

TIFF* openForWriting(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    TIFF* file = TIFFOpen(name.constData(), "w");
    if (!file)
        std::fprintf(stderr, "Can't open file %s for writing\n", name.constData());
    return file;
}

void reportWriteError(const char* name)
{
    std::fprintf(stderr, "Error writing to %s file\n", name);
}

int storedBits(const TiffFormat& format)
{
    return format.displayDepth <= 8 ? 8 : 16;
}

bool shiftedBy2(const TiffFormat& format)
{
    return format.displayDepth > 8 && format.dataDepth == 14;
}

// Tags in the order the station has always set them; PageNumber only for pages.
bool setTags(TIFF* file, int width, int height, const TiffFormat& format, int page, int total)
{
    bool ok = TIFFSetField(file, TIFFTAG_IMAGEWIDTH, uint32_t(width))
              && TIFFSetField(file, TIFFTAG_IMAGELENGTH, uint32_t(height))
              && TIFFSetField(file, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG)
              && TIFFSetField(file, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK)
              && TIFFSetField(file, TIFFTAG_BITSPERSAMPLE, storedBits(format))
              && TIFFSetField(file, TIFFTAG_SAMPLESPERPIXEL, 1);
    if (ok && page >= 0)
        ok = TIFFSetField(file, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(total));
    if (ok && format.compress)
        ok = TIFFSetField(file, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    return ok && TIFFSetField(file, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
}

// Writes every row, stopping at the first failure. The encoder may work in
// place when compressing, so rows are then always handed over as copies.
bool writeRows(TIFF* file, int width, int height, const TiffFormat& format, const RowSource& rowAt)
{
    const size_t rowBytes = size_t(width) * size_t(storedBits(format) / 8);
    std::vector<uint8_t> scratch(rowBytes);
    for (int r = 0; r < height; ++r) {
        const void* row = rowAt(r, scratch.data());
        if (row != scratch.data() && format.compress) {
            std::memcpy(scratch.data(), row, rowBytes);
            row = scratch.data();
        }
        if (TIFFWriteScanline(file, const_cast<void*>(row), uint32_t(r), 0) < 0)
            return false;
    }
    return true;
}

RowSource frameRows(int width, const void* data, const TiffFormat& format)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (shiftedBy2(format)) {
        return [=](int r, void* scratch) -> const void* {
            const auto* row = reinterpret_cast<const uint16_t*>(bytes) + ptrdiff_t(r) * width;
            shift14Bit(static_cast<uint16_t*>(scratch), row, width, 1, width);
            return scratch;
        };
    }
    const size_t rowBytes = size_t(width) * size_t(storedBits(format) / 8);
    return [=](int r, void*) -> const void* { return bytes + size_t(r) * rowBytes; };
}

RowSource planeRows(int planeWidth, const void* mosaic, ptrdiff_t stride, const TiffFormat& format,
                    int flags, bool averageGreens)
{
    if (format.displayDepth <= 8) {
        const auto* samples = static_cast<const uint8_t*>(mosaic);
        return [=](int r, void* scratch) -> const void* {
            extractPlane8(static_cast<uint8_t*>(scratch), samples + 2 * r * stride, planeWidth, 1,
                          stride, flags, averageGreens);
            return scratch;
        };
    }
    const auto* samples = static_cast<const uint16_t*>(mosaic);
    const bool shift = shiftedBy2(format);
    return [=](int r, void* scratch) -> const void* {
        auto* out = static_cast<uint16_t*>(scratch);
        const uint16_t* cell = samples + 2 * r * stride;
        if (shift)
            extractPlane16Shr2(out, cell, planeWidth, 1, stride, flags, averageGreens);
        else
            extractPlane16(out, cell, planeWidth, 1, stride, flags, averageGreens);
        return scratch;
    };
}

bool writeSinglePage(const QString& path, int width, int height, const TiffFormat& format,
                     const RowSource& rows)
{
    TIFF* file = openForWriting(path);
    if (!file)
        return false;
    // TIFFFlush writes the directory, so a full disk is caught here rather
    // than lost inside TIFFClose, which reports nothing.
    const bool ok = setTags(file, width, height, format, -1, 0)
                    && writeRows(file, width, height, format, rows) && TIFFFlush(file) == 1;
    TIFFClose(file);
    if (!ok)
        reportWriteError(QFile::encodeName(path).constData());
    return ok;
}

} // namespace

bool writeTiff(const QString& path, int width, int height, const void* data, const TiffFormat& format)
{
    return writeSinglePage(path, width, height, format, frameRows(width, data, format));
}

bool writeTiffPlane(const QString& path, int planeWidth, int planeHeight, const void* mosaic,
                    ptrdiff_t mosaicStride, const TiffFormat& format, int flags, bool averageGreens)
{
    return writeSinglePage(path, planeWidth, planeHeight, format,
                           planeRows(planeWidth, mosaic, mosaicStride, format, flags, averageGreens));
}

TiffHandle openMultiPageTiff(const QString& path)
{
    return TiffHandle(openForWriting(path));
}

bool writeTiffPage(TIFF* file, int width, int height, const void* data, const TiffFormat& format,
                   int page, int total)
{
    if (!file)
        return false;
    const bool ok = setTags(file, width, height, format, page, total)
                    && writeRows(file, width, height, format, frameRows(width, data, format))
                    && TIFFWriteDirectory(file) == 1;
    if (!ok)
        reportWriteError(TIFFFileName(file));
    return ok;
}
