#include "runs/ModeFeatures.h"

#include "camera/FeatureValues.h"

using namespace FeatureValues;

namespace ModeFeatures {

void writeTriggeredMode(NqGenParameterArray& params, TriggerType type)
{
    writeEntry(params, "TriggerMode", "On");
    writeEntry(params, "TriggerSource", "External");
    writeNumber(params, "TriggerDebounce", 0);
    writeEntry(params, "TriggerType", type == TriggerType::Double ? "Double" : "FrameAccumulation");
    writeNumber(params, "TriggerDelayRaw", 0);
    writeEntry(params, "TriggerOverlap", "Off");
    writeEntry(params, "TriggerActivation", "RisingEdge");
    writeEntry(params, "ExposureMode", "TriggerWidth");
}

void writeTurboMode(NqGenParameterArray& params, bool on)
{
    writeEntry(params, "CameraSpeed", on ? "OverClocked" : "Normal");
}

void writeExternalTrigger(NqGenParameterArray& params, bool on)
{
    writeNumber(params, "TriggerMode", on ? 1 : 0);
    if (on) {
        writeSwitch(params, "ProgFrameTimeEnable", false);
        writeEntry(params, "TriggerSource", "External");
    } else {
        writeNumber(params, "ExposureMode", 1);
    }
}

void writeTriggerWidth(NqGenParameterArray& params, bool on)
{
    writeNumber(params, "ExposureMode", on ? 2 : 1);
}

void writePulseCount(NqGenParameterArray& params, int64_t count)
{
    writeNumber(params, "TriggerNumPulses", count);
}

} // namespace ModeFeatures
