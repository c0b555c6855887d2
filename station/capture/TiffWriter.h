#pragma once

#include "capture/WriteResult.h"

#include <QString>

#include <cstddef>
#include <memory>

typedef struct tiff TIFF;

// Grey-level TIFF files of captured frames (libtiff): one image per file or
// page, one sample per pixel, min-is-black, top-left, 8 or 16 bits per sample.
// 16-bit frames of 14-bit data are stored shifted right by 2 (0..16383).
// Uncompressed samples go to the file in strips straight from the frame (or,
// when they must be shifted or picked from a mosaic, from a small buffer that
// stays in the cache), so a file costs little more than writing its bytes.
// Every call is checked; a failure prints one line on standard error and
// gives the system's error number, and a single-page file that failed is
// removed rather than left behind half written.
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
WriteResult writeTiff(const QString& path, int width, int height, const void* data, const TiffFormat& format);

// One half-size plane of a mosaic (2 x planeWidth by 2 x planeHeight samples or
// more, rows `mosaicStride` samples apart), picked as the plane extractors do.
WriteResult writeTiffPlane(const QString& path, int planeWidth, int planeHeight, const void* mosaic,
                          ptrdiff_t mosaicStride, const TiffFormat& format, int flags, bool averageGreens);

// Opens a multi-page file for writeTiffPage; null (and the standard-error
// line; errno in *error when given) when it cannot be created. Closing the
// handle finishes the file.
TiffHandle openMultiPageTiff(const QString& path, int* error = nullptr);

// Appends one frame as a page with PageNumber (page, total). A failed page
// leaves the pages before it readable.
WriteResult writeTiffPage(TIFF* file, int width, int height, const void* data, const TiffFormat& format,
                         int page, int total);
