#pragma once

#include <QString>

#include <cstddef>
#include <memory>

typedef struct tiff TIFF;

// Grey-level TIFF files of captured frames (libtiff): one image per file or
// page, one sample per pixel, min-is-black, top-left, 8 or 16 bits per sample,
// written scanline by scanline. 16-bit frames of 14-bit data are stored
// shifted right by 2 (0..16383). Every libtiff result is checked; a failure
// prints one line on standard error and returns false.
struct TiffFormat
{
    int displayDepth = 16; // bits per stored sample: 8 or 16
    int dataDepth = 12;    // significant bits: 8, 12 or 14
    bool compress = false; // LZW when set
};

struct TiffCloser
{
    void operator()(TIFF* file) const;
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// One whole frame (width x height samples, rows without gaps) as a single-page file.
bool writeTiff(const QString& path, int width, int height, const void* data, const TiffFormat& format);

// One half-size plane of a mosaic (2 x planeWidth by 2 x planeHeight samples or
// more, rows `mosaicStride` samples apart), picked as the plane extractors do.
bool writeTiffPlane(const QString& path, int planeWidth, int planeHeight, const void* mosaic,
                    ptrdiff_t mosaicStride, const TiffFormat& format, int flags, bool averageGreens);

// Opens a multi-page file for writeTiffPage; null (and the standard-error
// line) when it cannot be created. Closing the handle finishes the file.
TiffHandle openMultiPageTiff(const QString& path);

// Appends one frame as a page with PageNumber (page, total).
bool writeTiffPage(TIFF* file, int width, int height, const void* data, const TiffFormat& format,
                   int page, int total);
