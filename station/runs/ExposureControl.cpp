#include "runs/ExposureControl.h"

#include "Prompt.h"
#include "camera/FeatureValues.h"

#include <limits>

using namespace FeatureValues;

constexpr char ExposureControl::LongStyle[];
constexpr char ExposureControl::ShortStyle[];

namespace {

// The spin box value as the camera's integer exposure, truncated. Exposure
// registers are 32 bits wide; anything beyond is refused by the camera anyway.
int64_t truncated(double value)
{
    if (!(value > 0))
        return 0;
    if (value >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return int64_t(value);
}

} // namespace

ExposureControl::ExposureControl(Wait wait, SpinLook spinLook)
    : m_wait(std::move(wait)), m_spinLook(std::move(spinLook))
{
}

ExposureControl::Result ExposureControl::change(NqGenParameterArray& params, double exposure,
                                                bool externalTrigger) const
{
    Result result;
    const auto wait = [&](int ms) {
        if (!m_wait || m_wait(ms))
            return true;
        result.cancelled = true;
        return false;
    };
    const auto look = [&](const char* style, const QString& toolTip) {
        if (m_spinLook)
            m_spinLook(QString::fromLatin1(style), toolTip);
    };

    const int64_t exposureMode = enumOr(params, "ExposureMode", 1);
    const int64_t triggerMode = enumOr(params, "TriggerMode", 0);
    const bool frameTimeOn = booleanOr(params, "ProgFrameTimeEnable", false);

    // Triggered acquisition with the programmable frame time still on (a long
    // exposure sequence did not finish): switch it off and leave the exposure.
    if (triggerMode == 1 && frameTimeOn) {
        writeNumber(params, "TriggerMode", 0);
        writeSwitch(params, "ProgFrameTimeEnable", false);
        writeNumber(params, "TriggerMode", 1);
        result.path = Path::ClearedFrameTime;
        return result;
    }

    result.maxExposure = integerOr(params, "FRM_TIM_ACT", 0);
    result.minExposure = integerOr(params, "FRR_EXP_MIN", 0);
    result.limitsRead = true;
    // A camera that does not tell its shortest frame time has no programmable
    // one either: every exposure is a plain write.
    int64_t shortestFrameTime = 0;
    const bool frameTimeKnown = readInteger(&params, "FRM_TIM_MIN", shortestFrameTime);
    const int64_t raw = truncated(exposure);
    // On a camera without any, the vendor's name is tried: its refusal is told.
    const char* exposureName = exposureFeature(&params);
    const auto writeExposure = [&] { writeNumber(params, exposureName ? exposureName : "ExposureTimeRaw", raw); };

    if (exposureMode == 1) {
        if (frameTimeKnown && exposure >= double(shortestFrameTime)) {
            result.path = Path::Long;
            look(LongStyle, QStringLiteral("%1-%2").arg(result.minExposure).arg(result.maxExposure));
            if (triggerMode == 1) {
                writeNumber(params, "TriggerMode", 0);
                if (!wait(10))
                    return result;
            }
            const NqResult enabled = writeSwitch(params, "ProgFrameTimeEnable", true);
            if (!wait(50))
                return result;
            if (!enabled.IsOK())
                Prompt::current().message(nullptr, Prompt::Warning, QStringLiteral("Warning"),
                                          QStringLiteral("ProgFrameTimeEnable Error"));
            writeNumber(params, "ProgFrameTimeAbs", raw + 10);
            // The frame time takes effect after the frame in progress: at
            // least one second, more for exposures beyond it.
            if (!wait(int(raw / 1000 + 1000)))
                return result;
            writeExposure();
            if (!wait(50))
                return result;
            if (externalTrigger) {
                writeNumber(params, "TriggerMode", 1);
                writeSwitch(params, "ProgFrameTimeEnable", false);
            }
        } else {
            result.path = Path::Short;
            if (frameTimeOn) {
                writeSwitch(params, "ProgFrameTimeEnable", false);
                look(ShortStyle, QString());
            }
            if (!wait(50))
                return result;
            writeExposure();
            if (!wait(50))
                return result;
        }
    }

    result.maxExposure = integerOr(params, "FRM_TIM_ACT", result.maxExposure);
    result.restartCounters = true;
    return result;
}
