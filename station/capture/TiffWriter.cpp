#include "capture/TiffWriter.h"

#include "frames/PixelConversion.h"

#include <QFile>

#include <tiffio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Rows go out in strips of about this many bytes: large enough that a strip
// is one cheap write, small enough that a converted strip stays in the cache.
constexpr size_t stripTargetBytes = 256 * 1024;

// The file under libtiff: every system call's failure is kept, so the caller
// learns why a write failed (disk full, read-only, ...), not only that it did.
struct Sink
{
    int fd = -1;
    int error = 0;
    bool regularFile = false; // only a plain file of ours is ever removed

    void fail()
    {
        if (error == 0)
            error = errno ? errno : EIO;
    }
};

tmsize_t sinkRead(thandle_t handle, void* data, tmsize_t size)
{
    auto* sink = static_cast<Sink*>(handle);
    const ssize_t n = ::read(sink->fd, data, size_t(size));
    if (n < 0)
        sink->fail();
    return n;
}

tmsize_t sinkWrite(thandle_t handle, void* data, tmsize_t size)
{
    auto* sink = static_cast<Sink*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(data);
    tmsize_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(sink->fd, bytes + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            sink->fail();
            return -1;
        }
        done += n;
    }
    return done;
}

toff_t sinkSeek(thandle_t handle, toff_t offset, int whence)
{
    auto* sink = static_cast<Sink*>(handle);
    const off_t at = ::lseek(sink->fd, off_t(offset), whence);
    if (at < 0)
        sink->fail();
    return toff_t(at);
}

// The sink outlives the close, so its last error can still be read.
int sinkClose(thandle_t handle)
{
    auto* sink = static_cast<Sink*>(handle);
    const int result = ::close(sink->fd);
    sink->fd = -1;
    if (result != 0)
        sink->fail();
    return result;
}

toff_t sinkSize(thandle_t handle)
{
    struct stat info{};
    return ::fstat(static_cast<Sink*>(handle)->fd, &info) == 0 ? toff_t(info.st_size) : 0;
}

int noMap(thandle_t, void**, toff_t*)
{
    return 0;
}

void noUnmap(thandle_t, void*, toff_t) {}

Sink* sinkOf(TIFF* file)
{
    return static_cast<Sink*>(TIFFClientdata(file));
}

TIFF* openForWriting(const QString& path, int& error)
{
    const QByteArray name = QFile::encodeName(path);
    // Read access too: appending a page reads the previous directory's link.
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    TIFF* file = nullptr;
    if (fd < 0) {
        error = errno;
    } else {
        struct stat info{};
        auto* sink = new Sink{fd, 0, ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)};
        file = TIFFClientOpen(name.constData(), "w", sink, sinkRead, sinkWrite, sinkSeek, sinkClose, sinkSize,
                              noMap, noUnmap);
        if (!file) {
            error = sink->error ? sink->error : EIO;
            if (sink->regularFile)
                ::unlink(name.constData());
            ::close(fd);
            delete sink;
        }
    }
    if (!file)
        std::fprintf(stderr, "Can't open file %s for writing\n", name.constData());
    return file;
}

// The first system error seen on the file, or EIO when libtiff failed on its own.
int failureOf(TIFF* file)
{
    const Sink* sink = sinkOf(file);
    return sink && sink->error ? sink->error : EIO;
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

// Gives `rows` rows starting at `row`, either in place or filled into `scratch`.
using StripSource = std::function<const void*(int row, int rows, void* scratch)>;

struct Strips
{
    int rowsPerStrip = 0;
    StripSource source;
    bool inPlace = false; // the source never fills the scratch buffer
};

int rowsPerStrip(int width, int height, const TiffFormat& format)
{
    const size_t rowBytes = size_t(width) * size_t(storedBits(format) / 8);
    return int(std::clamp<size_t>(stripTargetBytes / std::max<size_t>(rowBytes, 1), 1, size_t(height)));
}

// Tags in the order the station has always set them; PageNumber only for
// pages, RowsPerStrip only when the image takes more than one strip.
bool setTags(TIFF* file, int width, int height, const TiffFormat& format, int page, int total, int stripRows)
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
    ok = ok && TIFFSetField(file, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (ok && stripRows < height)
        ok = TIFFSetField(file, TIFFTAG_ROWSPERSTRIP, uint32_t(stripRows));
    return ok;
}

// Writes every strip, stopping at the first failure. Uncompressed strips go
// to the file as they are; the encoder may work in place, so compressed ones
// are always handed over as copies.
bool writeStrips(TIFF* file, int width, int height, const TiffFormat& format, const Strips& strips)
{
    const size_t rowBytes = size_t(width) * size_t(storedBits(format) / 8);
    // Filled before it is read, so it is not cleared first.
    const bool needScratch = format.compress || !strips.inPlace;
    const std::unique_ptr<uint8_t[]> scratch(needScratch ? new uint8_t[rowBytes * size_t(strips.rowsPerStrip)]
                                                         : nullptr);
    uint32_t strip = 0;
    for (int row = 0; row < height; row += strips.rowsPerStrip, ++strip) {
        const int rows = std::min(strips.rowsPerStrip, height - row);
        const tmsize_t bytes = tmsize_t(rowBytes * size_t(rows));
        const void* data = strips.source(row, rows, scratch.get());
        if (format.compress) {
            if (data != scratch.get())
                std::memcpy(scratch.get(), data, size_t(bytes));
            if (TIFFWriteEncodedStrip(file, strip, scratch.get(), bytes) < 0)
                return false;
        } else if (TIFFWriteRawStrip(file, strip, const_cast<void*>(data), bytes) != bytes) {
            return false;
        }
    }
    return true;
}

Strips frameStrips(int width, int height, const void* data, const TiffFormat& format)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    const size_t rowBytes = size_t(width) * size_t(storedBits(format) / 8);
    if (shiftedBy2(format)) {
        return {rowsPerStrip(width, height, format), [=](int row, int rows, void* scratch) -> const void* {
                    shift14Bit(static_cast<uint16_t*>(scratch),
                               reinterpret_cast<const uint16_t*>(bytes + size_t(row) * rowBytes), width, rows, width);
                    return scratch;
                }};
    }
    // Samples as they come: uncompressed, one strip straight from the frame.
    const auto inPlace = [=](int row, int, void*) -> const void* { return bytes + size_t(row) * rowBytes; };
    return {format.compress ? rowsPerStrip(width, height, format) : height, inPlace, true};
}

Strips planeStrips(int planeWidth, int planeHeight, const void* mosaic, ptrdiff_t stride, const TiffFormat& format,
                   int flags, bool averageGreens)
{
    const int stripRows = rowsPerStrip(planeWidth, planeHeight, format);
    if (format.displayDepth <= 8) {
        const auto* samples = static_cast<const uint8_t*>(mosaic);
        return {stripRows, [=](int row, int rows, void* scratch) -> const void* {
                    extractPlane8(static_cast<uint8_t*>(scratch), samples + 2 * row * stride, planeWidth, rows,
                                  stride, flags, averageGreens);
                    return scratch;
                }};
    }
    const auto* samples = static_cast<const uint16_t*>(mosaic);
    const bool shift = shiftedBy2(format);
    return {stripRows, [=](int row, int rows, void* scratch) -> const void* {
                auto* out = static_cast<uint16_t*>(scratch);
                const uint16_t* cells = samples + 2 * row * stride;
                if (shift)
                    extractPlane16Shr2(out, cells, planeWidth, rows, stride, flags, averageGreens);
                else
                    extractPlane16(out, cells, planeWidth, rows, stride, flags, averageGreens);
                return scratch;
            }};
}

WriteResult writeSinglePage(const QString& path, int width, int height, const TiffFormat& format,
                           const Strips& strips)
{
    WriteResult result;
    TIFF* file = openForWriting(path, result.error);
    if (!file)
        return result;
    // TIFFFlush writes the directory, so a full disk is caught here rather
    // than lost inside TIFFClose, which reports nothing.
    const bool ok = setTags(file, width, height, format, -1, 0, strips.rowsPerStrip)
                    && writeStrips(file, width, height, format, strips) && TIFFFlush(file) == 1;
    // A network folder may report a failed write only when the file closes.
    std::unique_ptr<Sink> sink(sinkOf(file));
    TIFFClose(file);
    if (!ok || sink->error)
        result.error = sink->error ? sink->error : EIO;
    if (!result) {
        const QByteArray name = QFile::encodeName(path);
        reportWriteError(name.constData());
        // No half-written file is left behind (a device is no file of ours).
        if (sink->regularFile)
            ::unlink(name.constData());
    }
    return result;
}

} // namespace

void TiffCloser::operator()(TIFF* file) const
{
    std::unique_ptr<Sink> sink(sinkOf(file));
    TIFFClose(file);
}

WriteResult writeTiff(const QString& path, int width, int height, const void* data, const TiffFormat& format)
{
    return writeSinglePage(path, width, height, format, frameStrips(width, height, data, format));
}

WriteResult writeTiffPlane(const QString& path, int planeWidth, int planeHeight, const void* mosaic,
                          ptrdiff_t mosaicStride, const TiffFormat& format, int flags, bool averageGreens)
{
    return writeSinglePage(path, planeWidth, planeHeight, format,
                           planeStrips(planeWidth, planeHeight, mosaic, mosaicStride, format, flags, averageGreens));
}

TiffHandle openMultiPageTiff(const QString& path, int* error)
{
    int failure = 0;
    TiffHandle handle(openForWriting(path, failure));
    if (error)
        *error = failure;
    return handle;
}

WriteResult writeTiffPage(TIFF* file, int width, int height, const void* data, const TiffFormat& format,
                         int page, int total)
{
    if (!file)
        return WriteResult{EBADF};
    const Strips strips = frameStrips(width, height, data, format);
    const bool ok = setTags(file, width, height, format, page, total, strips.rowsPerStrip)
                    && writeStrips(file, width, height, format, strips) && TIFFWriteDirectory(file) == 1;
    if (ok)
        return {};
    reportWriteError(TIFFFileName(file));
    return WriteResult{failureOf(file)};
}
