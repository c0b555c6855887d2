#pragma once

#include "base/NqGenParameters.h"

#include <cstdint>
#include <optional>

// The camera features behind the sensor settings dialog: taps, speed, pixel
// depth, binning and the three data corrections. Each change takes the index
// of its combo box; an index outside the box's list (-1 while a list is
// rebuilt or when a camera value is not listed) writes nothing. SDK results
// are ignored except for the pixel format, whose depth is reported only when
// the camera took it.
namespace SensorFeatures {

constexpr int64_t ColourCcdType = 12;

// Depth entries, in list order: "8-bit", "12-bit", "14-bit".
struct DepthFormat
{
    int64_t pixelFormat = 0; // GigE Vision code
    int bits = 0;            // display depth: 8 or 16
};

// The format of depth entry `index` for this sensor: a colour sensor has all
// three; a monochrome one has 14-bit only with one tap (taps value 0).
std::optional<DepthFormat> depthFormat(bool colour, int index, int64_t taps);
// Entries of the depth list: three with one tap, two otherwise.
int depthEntries(int64_t taps);
// The entry showing `pixelFormat`.
int depthIndexOf(int64_t pixelFormat);
// Binning factor of binning entry `index` ("x1" ... "x8"), 0 for no entry.
int binningFactor(int index);

// Writes the format of depth entry `index`; its display depth when the camera
// took it.
std::optional<int> changeDepth(NqGenParameterArray& params, int index);

// FRM_TIM_ACT, the longest exposure, when the camera runs timed exposures
// (ExposureMode 1); nothing in pulse-width mode.
std::optional<int> exposureLimit(NqGenParameterArray& params);

struct TapChange
{
    int depthEntries = 0;          // the depth list to show, 8-bit selected
    std::optional<int> depthBits;  // the 8-bit format was taken
    std::optional<int> maxExposure;
};

// Taps, then the 8-bit format (two taps cannot read 14 bits), then the gains
// and black levels of both taps again, then the exposure limit. Nothing for
// an index outside the list.
std::optional<TapChange> changeTaps(NqGenParameterArray& params, int index);

// CameraSpeed (0 normal, 1 overclocked), then the exposure limit, which the
// speed changes. Nothing for an index outside the list.
std::optional<int> changeSpeed(NqGenParameterArray& params, int index);

// Both binnings, then the image to the whole binned sensor; the factor
// written, nothing for an index outside the list.
std::optional<int> changeBinning(NqGenParameterArray& params, int index);

void changeFlatField(NqGenParameterArray& params, int index);
void changeBlackLevel(NqGenParameterArray& params, int index);
void changeVerticalSmear(NqGenParameterArray& params, int index);

// What the dialog shows for the camera's settings, as combo indexes: -1 (no
// selection) for a value the list lacks or one the camera does not report,
// so that no box shows a setting the camera does not have.
struct Shown
{
    int taps = -1;
    int speed = -1;
    int depthEntries = 3;
    int depth = -1;
    int binning = -1;
    int flatField = -1;
    int blackLevel = -1;
    int verticalSmear = -1;
};
// Reads the camera's settings; writes nothing.
Shown load(NqGenParameterArray& params);

} // namespace SensorFeatures
