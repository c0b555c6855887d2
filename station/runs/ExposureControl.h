#pragma once

#include "base/NqGenParameters.h"

#include <QString>

#include <cstdint>
#include <functional>

// Sets the camera's exposure. Exposures up to the shortest frame time are a
// plain write of the camera's exposure feature (ExposureTimeRaw, or a
// standard one); longer ones need the camera's programmable frame time, which
// must be switched on (outside triggered mode) and given time to settle
// before the exposure is written. A camera that does not tell its shortest
// frame time gets the plain write. Refused writes go to the innermost
// FeatureValues::RefusedWrites. The waits keep the window
// responsive: the window passes its event-running wait.
class ExposureControl
{
public:
    // Runs events for `milliseconds`; returns false when the wait was
    // cancelled (camera going away, window closing): the sequence then stops
    // without touching the camera again.
    using Wait = std::function<bool(int milliseconds)>;
    // New look of the exposure spin box: style sheet, and tool tip (a null
    // QString leaves the tool tip alone).
    using SpinLook = std::function<void(const QString& styleSheet, const QString& toolTip)>;

    enum class Path {
        ClearedFrameTime, // triggered with programmable frame time on: only that was undone
        Long,             // programmable frame time
        Short,            // plain exposure write
        NotTimed,         // exposure follows the trigger pulse: nothing written
    };

    struct Result
    {
        Path path = Path::NotTimed;
        bool cancelled = false;     // a wait was cancelled; the camera was left mid-way
        bool limitsRead = false;    // minExposure and maxExposure are valid
        int64_t minExposure = 0;    // FRR_EXP_MIN
        int64_t maxExposure = 0;    // FRM_TIM_ACT, read again at the end
        // The sequence ran to its end: the window restarts the frame-rate
        // timer and clears the displayed-frame counter.
        bool restartCounters = false;
    };

    static constexpr char LongStyle[] = "QDoubleSpinBox {background: yellow;}";
    static constexpr char ShortStyle[] = "QDoubleSpinBox {background: white;}";

    ExposureControl(Wait wait, SpinLook spinLook);

    // Writes `exposure` (microseconds). `externalTrigger` is actionTrigger's
    // state: a long exposure re-enables triggering when done.
    Result change(NqGenParameterArray& params, double exposure, bool externalTrigger) const;

private:
    Wait m_wait;
    SpinLook m_spinLook;
};
