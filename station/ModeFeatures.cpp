#include "ModeFeatures.h"

#include "FeatureValues.h"

namespace ModeFeatures {

void writeTriggeredMode(NqGenParameterArray& params, TriggerType type)
{
    writeEntryFeature(params, "TriggerMode", "On");
    writeEntryFeature(params, "TriggerSource", "External");
    writeNumberFeature(params, "TriggerDebounce", 0);
    writeEntryFeature(params, "TriggerType", type == TriggerType::Double ? "Double" : "FrameAccumulation");
    writeNumberFeature(params, "TriggerDelayRaw", 0);
    writeEntryFeature(params, "TriggerOverlap", "Off");
    writeEntryFeature(params, "TriggerActivation", "RisingEdge");
    writeEntryFeature(params, "ExposureMode", "TriggerWidth");
}

void writeTurboMode(NqGenParameterArray& params, bool on)
{
    writeEntryFeature(params, "CameraSpeed", on ? "OverClocked" : "Normal");
}

void writeExternalTrigger(NqGenParameterArray& params, bool on)
{
    writeNumberFeature(params, "TriggerMode", on ? 1 : 0);
    if (on) {
        writeSwitchFeature(params, "ProgFrameTimeEnable", false);
        writeEntryFeature(params, "TriggerSource", "External");
    } else {
        writeNumberFeature(params, "ExposureMode", 1);
    }
}

void writeTriggerWidth(NqGenParameterArray& params, bool on)
{
    writeNumberFeature(params, "ExposureMode", on ? 2 : 1);
}

void writePulseCount(NqGenParameterArray& params, int64_t count)
{
    writeNumberFeature(params, "TriggerNumPulses", count);
}

} // namespace ModeFeatures
