#include "camera/CameraConfig.h"

#include "camera/FeatureValues.h"

using namespace FeatureValues;

ImageSize sceneSizeFor(const ImageSize& image, bool colourCamera)
{
    if (colourCamera)
        return {image.width / 2, image.height / 2};
    return image;
}

ImageSize readImageSize(NqGenParameterArray& params)
{
    return {integerOr(params, "Width", 0), integerOr(params, "Height", 0)};
}

namespace {

// Gain and black level of one tap: the selectors pick the tap, the raw values
// follow.
void writeTapLevels(NqGenParameterArray& params, int64_t gainTap, int64_t blackLevelTap)
{
    writeNumber(params, "GainSelector", gainTap);
    writeNumber(params, "GainAutoBalance", 0);
    writeNumber(params, "GainRaw", 227);
    writeNumber(params, "BlackLevelSelector", blackLevelTap);
    writeNumber(params, "BlackLevelRaw", 0);
}

} // namespace

CameraConfig::Result CameraConfig::apply(NqGenParameterArray& params, const Hooks& hooks)
{
    Result result;

    writeEntry(params, "SensorDigitizationTaps", "One");
    integerOr(params, "CcdType", 0);
    writeNumber(params, "PixelFormat", StationPixelFormat);

    result.image = readImageSize(params);
    if (hooks.imageSize)
        hooks.imageSize(result.image);

    writeNumber(params, "ExposureMode", 1);
    result.maxExposure = integerOr(params, "FRM_TIM_ACT", 0);
    result.minExposure = integerOr(params, "FRR_EXP_MIN", 0);
    if (hooks.exposureLimits)
        hooks.exposureLimits(result.minExposure, result.maxExposure);

    writeNumber(params, "EnhancementMode", 0);
    writeSwitch(params, "BlackLevelCorrection", false);
    writeSwitch(params, "VerticalSmearCorrection", false);
    writeSwitch(params, "FlatFieldCorrection", false);
    writeNumber(params, "DefectPixelCorrection", 0);
    writeNumber(params, "HotPixelCorrection", 0);
    writeSwitch(params, "LUTEnable", false);
    writeNumber(params, "WhiteBalanceMode", 0);
    writeSwitch(params, "FlatFieldCorrection", true);
    writeSwitch(params, "BlackLevelCorrection", false);
    writeNumber(params, "DigitalGainAll", 0);
    writeNumber(params, "DigitalOffsetAll", 512);
    writeSwitch(params, "BlackLevelCorrection", false);
    writeTapLevels(params, 16, 9);
    writeTapLevels(params, 17, 10);
    writeNumber(params, "PreAmpSelector", 0);
    writeNumber(params, "PreAmpRaw", 1);
    writeNumber(params, "PreAmpSelector", 1);
    writeNumber(params, "PreAmpRaw", 1);
    writeNumber(params, "TriggerDebounce", 1);
    writeNumber(params, "TriggerNumFrames", 1);
    writeNumber(params, "TriggerNumPulses", 1);
    writeEntry(params, "TriggerType", "Standard");
    writeNumber(params, "TriggerDelayRaw", 0);
    writeNumber(params, "TriggerOverlap", 0);
    writeEntry(params, "TriggerActivation", "RisingEdge");
    writeEntry(params, "IN1Selector", "ExternalTrigger");
    writeEntry(params, "IN1Polarity", "ActiveHigh");
    writeEntry(params, "OUT1Selector", "ExposureWindow");
    writeEntry(params, "OUT1Polarity", "ActiveHigh");

    result.pixelFormat = enumOr(params, "PixelFormat", 0);

    double exposureUs = 0;
    if (readExposure(&params, exposureUs)) {
        const auto exposure = int64_t(exposureUs);
        result.exposure = exposure;
        if (hooks.exposure)
            hooks.exposure(exposure);
    }

    result.exposureMode = enumOr(params, "ExposureMode", 0);
    result.triggerSource = enumOr(params, "TriggerSource", 0);
    result.triggerMode = enumOr(params, "TriggerMode", 0);

    if (result.exposureMode == 1 && result.triggerMode == 1) {
        result.triggerActions = TriggerActions::TriggerOnly;
    } else if (result.exposureMode == 2 && result.triggerMode == 1) {
        writeEntry(params, "TriggerActivation", "RisingEdge");
        result.triggerActions = TriggerActions::TriggerAndWidth;
    }
    return result;
}
