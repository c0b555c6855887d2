#include "runs/RunRules.h"

#include "runs/SettingsKeys.h"

#include <QLocale>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <limits>

namespace RunRules {

namespace {

std::optional<CheckFailure> checkGateFields(const ActiveGate& gate)
{
    const QString title = QStringLiteral("Gate Error");
    const struct
    {
        const char* label; // as the gate panel shows it
        double value;
    } fields[] = {{"Exposure(us)", gate.exposure},
                  {"Period(us)", gate.period},
                  {"CamDelay(us)", gate.delay},
                  {"LED Width(us)", gate.ledWidth}};
    for (const auto& f : fields) {
        const QString name = QStringLiteral("Gate%1 %2").arg(gate.number).arg(QLatin1String(f.label));
        if (!std::isfinite(f.value))
            return CheckFailure{title, QStringLiteral("<b>%1</b> should be a number!").arg(name)};
        if (f.value < 0)
            return CheckFailure{title, QStringLiteral("<b>%1</b> should not be negative!").arg(name)};
    }
    if (!(gate.period > 0)) {
        return CheckFailure{title, QStringLiteral("<b>Gate%1 Period(us)</b> should be greater than 0!")
                                       .arg(gate.number)};
    }
    return std::nullopt;
}

} // namespace

std::optional<CheckFailure> check(const CheckInput& in)
{
    if (!in.externalTrigger && (in.exposure < double(in.minExposure) || in.exposure > ExposureLimit)) {
        return CheckFailure{QStringLiteral("Exposure Error"),
                            QStringLiteral("Exposure <b>%1 us</b> is out of range: <b>[%2-%3]us</b>")
                                .arg(QString::number(in.exposure, 'g', QLocale::FloatingPointShortest))
                                .arg(in.minExposure)
                                .arg(in.maxExposure)};
    }
    if (in.twoGate) {
        for (const ActiveGate& gate : in.gates)
            if (auto failure = checkGateFields(gate))
                return failure;
        const QString title = QStringLiteral("Period Error");
        if (in.delay >= in.period)
            return CheckFailure{title, QStringLiteral("Period should be greater than pulse delay!")};
        if (in.exposure >= in.period)
            return CheckFailure{title, QStringLiteral("Period should be greater than exposure!")};
        if (in.period <= in.ledWidth)
            return CheckFailure{title, QStringLiteral("Period should be greater than pulse width!")};
        if (in.period <= in.ledWidth + in.delay)
            return CheckFailure{title, QStringLiteral("Period should be greater than pulse width + delay!")};
    }
    return std::nullopt;
}

void store(QSettings& settings, const StoredRun& run)
{
    settings.setValue(QLatin1String(SettingsKeys::Exposure), run.exposure);
    settings.setValue(QLatin1String(SettingsKeys::Frames), run.frames);
    settings.setValue(QLatin1String(SettingsKeys::Prefix), run.prefix);
    settings.setValue(QLatin1String(SettingsKeys::Point), run.point);
}

int captureTarget(int frames, bool twoGate)
{
    return twoGate ? frames * 2 : frames;
}

unsigned long long capturedFrames(unsigned long long received, int target)
{
    return target < 0 ? received : std::min(received, (unsigned long long)(target));
}

QString captureStatusText(bool radiometric, uint64_t received, int target, uint64_t errors, int dataDepth)
{
    const QString text = radiometric ? QStringLiteral("Captured: %1/%2 images %4-bit, Errors=%3")
                                     : QStringLiteral("Captured: %1/%2 pairs %4-bit, Errors=%3");
    return text.arg(received).arg(radiometric ? target : target / 2).arg(errors).arg(dataDepth);
}

QString previewStatusText(uint64_t images, double frameRate, int dataDepth, double megabitsPerSecond)
{
    return QStringLiteral("Preview: %1 images %3-bit, %2 FPS, %4Mbps")
        .arg(images)
        .arg(frameRate, 0, 'f', 1)
        .arg(dataDepth)
        .arg(megabitsPerSecond, 0, 'f', 0);
}

int generatorSettleMs(double exposure)
{
    const double ms = std::floor(exposure / 1000.0) + 1.0;
    if (!(ms > 1.0))
        return 1;
    return ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms);
}

unsigned silenceLimitMs(bool triggered, double exposureUs, double frameTimeUs)
{
    constexpr double baseMs = 3000;
    constexpr double largestMs = 24 * 3600 * 1000.0;
    if (triggered)
        return 0;
    const double ms = baseMs + 3 * std::max({exposureUs, frameTimeUs, 0.0}) / 1000.0;
    return unsigned(std::min(ms, largestMs));
}

AverageCount averageCount(int value)
{
    if (value <= 0)
        return {1, true};
    if (value > 100)
        return {100, true};
    return {value, false};
}

QStringList lockedActions(bool previewing, bool capturing, bool workFolderEmpty, bool doubleFraming)
{
    QStringList actions{QStringLiteral("actionCamera_name_subfolder"), QStringLiteral("actionOpenCam"),
                        QStringLiteral("actionTurbo")};
    if (!previewing)
        actions << QStringLiteral("actionRun");
    if (!capturing && !workFolderEmpty)
        actions << QStringLiteral("actionCapture");
    if (!doubleFraming)
        actions << QStringLiteral("actionGates");
    return actions;
}

} // namespace RunRules
