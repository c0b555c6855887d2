#include "CameraConfig.h"

#include "FeatureValues.h"

ImageSize sceneSizeFor(const ImageSize& image, bool colourCamera)
{
    if (colourCamera)
        return {image.width / 2, image.height / 2};
    return image;
}

ImageSize readImageSize(NqGenParameterArray& params)
{
    return {readIntegerFeature(params, "Width", 0), readIntegerFeature(params, "Height", 0)};
}

namespace {

// Gain and black level of one tap: the selectors pick the tap, the raw values
// follow.
void writeTapLevels(NqGenParameterArray& params, int64_t gainTap, int64_t blackLevelTap)
{
    writeNumberFeature(params, "GainSelector", gainTap);
    writeNumberFeature(params, "GainAutoBalance", 0);
    writeNumberFeature(params, "GainRaw", 227);
    writeNumberFeature(params, "BlackLevelSelector", blackLevelTap);
    writeNumberFeature(params, "BlackLevelRaw", 0);
}

} // namespace

CameraConfig::Result CameraConfig::apply(NqGenParameterArray& params, const Hooks& hooks)
{
    Result result;

    writeEntryFeature(params, "SensorDigitizationTaps", "One");
    readIntegerFeature(params, "CcdType", 0);
    writeNumberFeature(params, "PixelFormat", StationPixelFormat);

    result.image = readImageSize(params);
    if (hooks.imageSize)
        hooks.imageSize(result.image);

    writeNumberFeature(params, "ExposureMode", 1);
    result.maxExposure = readIntegerFeature(params, "FRM_TIM_ACT", 0);
    result.minExposure = readIntegerFeature(params, "FRR_EXP_MIN", 0);
    if (hooks.exposureLimits)
        hooks.exposureLimits(result.minExposure, result.maxExposure);

    writeNumberFeature(params, "EnhancementMode", 0);
    writeSwitchFeature(params, "BlackLevelCorrection", false);
    writeSwitchFeature(params, "VerticalSmearCorrection", false);
    writeSwitchFeature(params, "FlatFieldCorrection", false);
    writeNumberFeature(params, "DefectPixelCorrection", 0);
    writeNumberFeature(params, "HotPixelCorrection", 0);
    writeSwitchFeature(params, "LUTEnable", false);
    writeNumberFeature(params, "WhiteBalanceMode", 0);
    writeSwitchFeature(params, "FlatFieldCorrection", true);
    writeSwitchFeature(params, "BlackLevelCorrection", false);
    writeNumberFeature(params, "DigitalGainAll", 0);
    writeNumberFeature(params, "DigitalOffsetAll", 512);
    writeSwitchFeature(params, "BlackLevelCorrection", false);
    writeTapLevels(params, 16, 9);
    writeTapLevels(params, 17, 10);
    writeNumberFeature(params, "PreAmpSelector", 0);
    writeNumberFeature(params, "PreAmpRaw", 1);
    writeNumberFeature(params, "PreAmpSelector", 1);
    writeNumberFeature(params, "PreAmpRaw", 1);
    writeNumberFeature(params, "TriggerDebounce", 1);
    writeNumberFeature(params, "TriggerNumFrames", 1);
    writeNumberFeature(params, "TriggerNumPulses", 1);
    writeEntryFeature(params, "TriggerType", "Standard");
    writeNumberFeature(params, "TriggerDelayRaw", 0);
    writeNumberFeature(params, "TriggerOverlap", 0);
    writeEntryFeature(params, "TriggerActivation", "RisingEdge");
    writeEntryFeature(params, "IN1Selector", "ExternalTrigger");
    writeEntryFeature(params, "IN1Polarity", "ActiveHigh");
    writeEntryFeature(params, "OUT1Selector", "ExposureWindow");
    writeEntryFeature(params, "OUT1Polarity", "ActiveHigh");

    result.pixelFormat = readEnumFeature(params, "PixelFormat", 0);

    int64_t exposure = 0;
    if (params.GetIntegerValue("ExposureTimeRaw", exposure).IsOK()) {
        result.exposure = exposure;
        if (hooks.exposure)
            hooks.exposure(exposure);
    }

    result.exposureMode = readEnumFeature(params, "ExposureMode", 0);
    result.triggerSource = readEnumFeature(params, "TriggerSource", 0);
    result.triggerMode = readEnumFeature(params, "TriggerMode", 0);

    if (result.exposureMode == 1 && result.triggerMode == 1) {
        result.triggerActions = TriggerActions::TriggerOnly;
    } else if (result.exposureMode == 2 && result.triggerMode == 1) {
        writeEntryFeature(params, "TriggerActivation", "RisingEdge");
        result.triggerActions = TriggerActions::TriggerAndWidth;
    }
    return result;
}
