#pragma once

#include "base/NqGenParameters.h"

#include <cstdint>

// The small feature sets that the mode, trigger and gate switches of the main
// window write to the camera. SDK results are ignored: a camera lacking a
// feature keeps its state. None of them touches PixelFormat, so none needs a
// depth refresh.
namespace ModeFeatures {

enum class TriggerType { FrameAccumulation, Double };

// Externally triggered acquisition for frame accumulation / lifetime
// ("FrameAccumulation") or double framing ("Double"), exposure as long as the
// trigger pulse.
void writeTriggeredMode(NqGenParameterArray& params, TriggerType type);

// CameraSpeed "OverClocked" or "Normal".
void writeTurboMode(NqGenParameterArray& params, bool on);

// External trigger on: TriggerMode 1, no programmable frame time, source
// "External". Off: TriggerMode 0 and timed exposure.
void writeExternalTrigger(NqGenParameterArray& params, bool on);

// Exposure as long as the trigger pulse (ExposureMode 2) or timed (1).
void writeTriggerWidth(NqGenParameterArray& params, bool on);

// Pulses accumulated per frame: the active gate's count.
void writePulseCount(NqGenParameterArray& params, int64_t count);

} // namespace ModeFeatures
