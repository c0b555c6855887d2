#pragma once

#include <QLine>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>

// The numbers the station reads off a frame: the pixel under the cursor, the
// mean of an ROI, its sharpness score and the intensity along a line. Plain
// functions over caller-owned samples.

// The samples a readout measures: a mono frame (8-bit or 16-bit samples) or
// one half-size colour plane (16-bit samples). Rows follow each other without
// gaps (the stride is the width).
struct PixelSource
{
    const uint8_t* samples8 = nullptr;
    const uint16_t* samples16 = nullptr;
    int width = 0;
    int height = 0;
    int displayDepth = 8; // bits per stored sample of the frame: 8 or 16
    int dataDepth = 8;    // significant bits: 8, 12 or 14

    bool valid() const { return (samples8 || samples16) && width > 0 && height > 0; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // The stored sample as it is.
    uint32_t raw(int x, int y) const
    {
        const size_t i = size_t(y) * size_t(width) + size_t(x);
        return samples8 ? samples8[i] : samples16[i];
    }
    // The sample as a measure: 14-bit data sits in the upper bits of its word.
    uint32_t value(int x, int y) const { return dataDepth == 14 ? raw(x, y) >> 2 : raw(x, y); }
    // 255 for 8-bit frames, else 2^(data depth) - 1.
    int fullScale() const { return displayDepth <= 8 ? 255 : (1 << dataDepth) - 1; }
};

// An ROI by its corners as drawn: either corner may be the larger one; both
// ends are included.
struct RoiCorners
{
    int x1 = 0;
    int y1 = 0;
    int x2 = -1;
    int y2 = -1;
};

namespace RoiStatistics {

// "%5x%6, %1x%2  Image=%3%(%4)": frame size W x H, position, percent of full
// scale and value of the pixel at (x, y). Empty when (x, y) is outside the source.
QString pixelReadout(const PixelSource& source, int x, int y, int frameWidth, int frameHeight);

struct Intensity
{
    bool measured = false; // false: no ROI drawn yet (the value is 0)
    int value = 0;
    bool percent = true;   // the value is a percentage of full scale
};
// Mean of the ROI's pixels that lie inside the source: raw (the mean sample)
// or as a percentage of full scale, truncated and capped at 100. An ROI with
// no pixel inside reads 0.
Intensity roiIntensity(const PixelSource& source, const RoiCorners& roi, bool raw);

// Sharpness of an ROI of an 8-bit image (w x h, no row gaps): the squared L2
// norms of the second derivatives in x and in y, summed and divided by the
// ROI's pixel count. None when the ROI is empty or not inside the image.
std::optional<double> roiSharpness(const uint8_t* image, int width, int height, const RoiCorners& roi);

struct Profile
{
    enum Step {
        Close,     // the scene asks to close the plot (coordinates -10)
        Unchanged, // nothing to plot: the plot stays as it is
        Plot,
    };
    Step step = Unchanged;
    QVector<double> x; // distance from the line's start, pixels
    QVector<double> y; // sample / 2^(display depth) x 100
};
// Samples along the line, one per pixel of its longer axis, from the smaller
// end to the larger one, the last end excluded.
Profile lineProfile(const PixelSource& source, const QLine& line);

} // namespace RoiStatistics
