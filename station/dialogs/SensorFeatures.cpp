#include "dialogs/SensorFeatures.h"

#include "camera/FeatureValues.h"

#include <iterator>

using namespace FeatureValues;

namespace SensorFeatures {

namespace {

constexpr int TapEntries = 2;
constexpr int SpeedEntries = 2;
constexpr int SmearEntries = 3;
constexpr int SwitchEntries = 2; // "Off", "On"
constexpr int binnings[] = {1, 2, 3, 4, 8};

constexpr int64_t Mono8 = 0x01080001;
constexpr int64_t Mono12 = 0x01100005;
constexpr int64_t Mono14 = 0x01100007; // 16-bit samples, also the colour sensor's 14-bit format
constexpr int64_t Bayer8 = 0x01080008;
constexpr int64_t Bayer12 = 0x01100010;

bool listed(int64_t index, int entries)
{
    return index >= 0 && index < entries;
}

// Both taps' analog gain and black level back to their factory values: the
// camera keeps them per tap and a tap change leaves them unbalanced.
void resetTapLevels(NqGenParameterArray& params)
{
    struct Tap
    {
        int64_t gainSelector;
        int64_t blackLevelSelector;
    };
    for (const Tap tap : {Tap{16, 9}, Tap{17, 10}}) {
        writeNumber(params, "GainSelector", tap.gainSelector);
        writeNumber(params, "GainAutoBalance", 0);
        writeNumber(params, "GainRaw", 227);
        writeNumber(params, "BlackLevelSelector", tap.blackLevelSelector);
        writeNumber(params, "BlackLevelRaw", 0);
    }
}

int switchIndex(NqGenParameterArray& params, const char* name)
{
    // A boolean on most models, an Off/On enumeration on some.
    bool on = false;
    int64_t value = 0;
    if (readBoolean(&params, name, on))
        return on ? 1 : 0;
    if (readInteger(&params, name, value) && listed(value, SwitchEntries))
        return int(value);
    return -1;
}

} // namespace

std::optional<DepthFormat> depthFormat(bool colour, int index, int64_t taps)
{
    switch (index) {
    case 0: return DepthFormat{colour ? Bayer8 : Mono8, 8};
    case 1: return DepthFormat{colour ? Bayer12 : Mono12, 16};
    case 2:
        if (colour || taps == 0)
            return DepthFormat{Mono14, 16};
        return std::nullopt;
    default: return std::nullopt;
    }
}

int depthEntries(int64_t taps)
{
    return taps == 0 ? 3 : 2;
}

int depthIndexOf(int64_t pixelFormat)
{
    if (pixelFormat == Mono8 || pixelFormat == Bayer8)
        return 0;
    if (pixelFormat == Mono14)
        return 2;
    return 1;
}

int binningFactor(int index)
{
    return listed(index, int(std::size(binnings))) ? binnings[index] : 0;
}

std::optional<int> changeDepth(NqGenParameterArray& params, int index)
{
    const bool colour = integerOr(params, "CcdType", 0) == ColourCcdType;
    int64_t taps = 0;
    // A monochrome sensor's 14-bit format depends on the taps: unread, it is not risked.
    if (!colour && index == 2 && !readInteger(&params, "SensorDigitizationTaps", taps))
        return std::nullopt;
    const std::optional<DepthFormat> format = depthFormat(colour, index, taps);
    if (!format || !writeNumber(params, "PixelFormat", format->pixelFormat).IsOK())
        return std::nullopt;
    return format->bits;
}

std::optional<int> exposureLimit(NqGenParameterArray& params)
{
    int64_t mode = 0;
    int64_t frameTime = 0;
    if (!readInteger(&params, "ExposureMode", mode) || mode != 1
        || !readInteger(&params, "FRM_TIM_ACT", frameTime))
        return std::nullopt;
    return int(frameTime);
}

std::optional<TapChange> changeTaps(NqGenParameterArray& params, int index)
{
    if (!listed(index, TapEntries))
        return std::nullopt;
    writeNumber(params, "SensorDigitizationTaps", index);
    TapChange change;
    change.depthEntries = depthEntries(index);
    change.depthBits = changeDepth(params, 0);
    resetTapLevels(params);
    change.maxExposure = exposureLimit(params);
    return change;
}

std::optional<int> changeSpeed(NqGenParameterArray& params, int index)
{
    if (!listed(index, SpeedEntries))
        return std::nullopt;
    writeNumber(params, "CameraSpeed", index);
    return exposureLimit(params);
}

std::optional<int> changeBinning(NqGenParameterArray& params, int index)
{
    const int factor = binningFactor(index);
    if (factor == 0)
        return std::nullopt;
    writeNumber(params, "BinningHorizontal", factor);
    writeNumber(params, "BinningVertical", factor);
    int64_t width = 0;
    int64_t height = 0;
    if (readInteger(&params, "WidthMax", width))
        writeNumber(params, "Width", width);
    if (readInteger(&params, "HeightMax", height))
        writeNumber(params, "Height", height);
    return factor;
}

void changeFlatField(NqGenParameterArray& params, int index)
{
    if (listed(index, SwitchEntries))
        writeSwitch(params, "FlatFieldCorrection", index == 1);
}

void changeBlackLevel(NqGenParameterArray& params, int index)
{
    if (listed(index, SwitchEntries))
        writeSwitch(params, "BlackLevelCorrection", index == 1);
}

void changeVerticalSmear(NqGenParameterArray& params, int index)
{
    if (listed(index, SmearEntries))
        writeNumber(params, "VerticalSmearCorrection", index);
}

Shown load(NqGenParameterArray& params)
{
    Shown shown;
    int64_t value = 0;
    if (readInteger(&params, "SensorDigitizationTaps", value)) {
        shown.taps = listed(value, TapEntries) ? int(value) : -1;
        shown.depthEntries = depthEntries(value);
    }
    if (readInteger(&params, "CameraSpeed", value))
        shown.speed = listed(value, SpeedEntries) ? int(value) : -1;
    if (readInteger(&params, "PixelFormat", value)) {
        const int index = depthIndexOf(value);
        shown.depth = index < shown.depthEntries ? index : -1;
    }
    if (readInteger(&params, "BinningVertical", value))
        for (int i = 0; binningFactor(i) != 0; ++i)
            if (binningFactor(i) == value)
                shown.binning = i;
    shown.flatField = switchIndex(params, "FlatFieldCorrection");
    shown.blackLevel = switchIndex(params, "BlackLevelCorrection");
    if (readInteger(&params, "VerticalSmearCorrection", value) && listed(value, SmearEntries))
        shown.verticalSmear = int(value);
    return shown;
}

} // namespace SensorFeatures
