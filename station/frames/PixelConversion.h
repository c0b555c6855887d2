#pragma once

#include <cstddef>
#include <cstdint>

// Sample conversions of the station's frames: depth mapping, Bayer plane
// extraction, 16-to-8-bit display conversion and the display stretch.
// Plain loops over caller-owned memory; nothing here allocates.
//
// Strides are in samples of the source type and are always passed
// explicitly, so a plane of an odd-width mosaic, or a frame with row padding,
// is read without shearing. Destinations are written without gaps (w per row).

// Bits per stored sample (8 or 16) and significant bits (8, 12 or 14).
struct SampleDepths
{
    int display = 16;
    int data = 12;
    bool operator==(const SampleDepths& o) const { return display == o.display && data == o.data; }
};

// Depths by the camera's PixelFormat: Mono8 and BayerGR8 are 8/8, Mono16 is
// 16/14, anything else (including codes we do not know) 16/12.
SampleDepths sampleDepthsFor(int64_t pixelFormat);

// Bytes per stored sample for a display depth: 1 for 8 bits or less, else 2.
inline int bytesPerSample(int displayDepth) { return displayDepth <= 8 ? 1 : 2; }

// The green-averaging flag: one for the whole process, set by the window's
// averageGreens slot. The frame path and the capture writer read it for each
// frame and file and pass it to the extractors below, so one file never mixes
// the two ways.
void setGreenAveraging(bool on);
bool greenAveraging();

// Plane extractors: destination pixel (i, j) comes from the mosaic cell of rows
// 2i, 2i+1 and columns 2j, 2j+1. Flags 1 picks row 2i, column 2j+1 (the red
// S plane); other flags pick row 2i + bit 1, column 2j + bit 0, except that
// flags 0 with averageGreens takes the truncated mean of the two diagonal
// pixels (2i, 2j) and (2i+1, 2j+1), the greens of the cell.
void extractPlane16Shr2(uint16_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                        int flags, bool averageGreens);
void extractPlane16(uint16_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                    int flags, bool averageGreens);
void extractPlane8(uint8_t* dst, const uint8_t* mosaic, int w, int h, ptrdiff_t stride,
                   int flags, bool averageGreens);
void extractPlane8To16(uint16_t* dst, const uint8_t* mosaic, int w, int h, ptrdiff_t stride,
                       int flags, bool averageGreens);
void extractPlane16To8Shr4(uint8_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                           int flags, bool averageGreens);
void extractPlane16To8Hi(uint8_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                         int flags, bool averageGreens);

// Whole-frame converters, one byte per 16-bit sample: 12-bit data keeps the
// low 8 bits of s >> 4, 14-bit data takes the upper byte.
void convert16To8Shr4(uint8_t* dst, const uint16_t* src, int w, int h, ptrdiff_t stride);
void convert16To8Hi(uint8_t* dst, const uint16_t* src, int w, int h, ptrdiff_t stride);
void copy8(uint8_t* dst, const uint8_t* src, int w, int h, ptrdiff_t stride);
// 14-bit data as stored in TIFF files: every sample shifted right by 2.
void shift14Bit(uint16_t* dst, const uint16_t* src, int w, int h, ptrdiff_t stride);

// Largest and smallest display byte of count bytes; -1 without a buffer.
// An empty buffer gives the start values -1 (max) and 1000000 (min).
float displayMax(const uint8_t* display, size_t count);
float displayMin(const uint8_t* display, size_t count);

// Both of the above in one pass (the frame slot's normalise step).
struct DisplayRange
{
    float min = 1000000.0f;
    float max = -1.0f;
};
DisplayRange displayRange(const uint8_t* display, size_t count);

// Maps every byte v to trunc((v - min) * (255 / (max - min))) in single
// precision, clamped to 0..255. A flat frame (max <= min) becomes black.
void stretchDisplay(uint8_t* display, size_t count, int min, int max);
