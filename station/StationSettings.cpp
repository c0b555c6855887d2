#include "StationSettings.h"

#include <QHash>
#include <QSettings>

#include <cmath>

namespace StationSettings {

std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Kessane"), QStringLiteral("Lumivar"));
}

namespace {

const QHash<QString, QVariant>& defaults()
{
    static const QHash<QString, QVariant> table = {
        {Key::Exposure, QStringLiteral("100.0")},
        {Key::GateExposure[0], QStringLiteral("30")},
        {Key::GateExposure[1], QStringLiteral("30")},
        {Key::GateCount[0], QStringLiteral("1000")},
        {Key::GateCount[1], QStringLiteral("1000")},
        {Key::GatePeriod[0], QStringLiteral("1000")},
        {Key::GatePeriod[1], QStringLiteral("1000")},
        {Key::GateDelay[0], QStringLiteral("0")},
        {Key::GateDelay[1], QStringLiteral("30")},
        {Key::GateWidth[0], QStringLiteral("30")},
        {Key::GateWidth[1], QStringLiteral("30")},
        {Key::Frames, QStringLiteral("10")},
        {Key::Average, QStringLiteral("1")},
        {Key::ExtTrigger, QStringLiteral("1")},
        {Key::Prefix, QStringLiteral("run_0")},
        {Key::Point, QStringLiteral("point_0")},
        {Key::WorkFolder, QString()},
    };
    return table;
}

int boundedInt(const QSettings& settings, const char* key, int min, int max)
{
    return qBound(min, value(settings, QLatin1String(key)).toInt(), max);
}

QString text(const QSettings& settings, const char* key)
{
    return value(settings, QLatin1String(key)).toString();
}

} // namespace

QVariant defaultValue(const QString& key)
{
    return defaults().value(key);
}

QVariant value(const QSettings& settings, const QString& key)
{
    return settings.value(key, defaultValue(key));
}

SidePanelValues readSidePanel(const QSettings& settings)
{
    SidePanelValues v;
    const double exposure = value(settings, QLatin1String(Key::Exposure)).toDouble();
    v.exposure = std::isfinite(exposure) ? qBound(Range::ExposureMin, exposure, Range::ExposureMax)
                                         : Range::ExposureMin;
    for (int g = 0; g < 2; ++g) {
        v.gate[g].exposure = text(settings, Key::GateExposure[g]);
        v.gate[g].count = boundedInt(settings, Key::GateCount[g], Range::CountMin, Range::CountMax);
        v.gate[g].period = text(settings, Key::GatePeriod[g]);
        v.gate[g].delay = text(settings, Key::GateDelay[g]);
        v.gate[g].ledWidth = text(settings, Key::GateWidth[g]);
    }
    v.frames = boundedInt(settings, Key::Frames, Range::FramesMin, Range::FramesMax);
    v.average = boundedInt(settings, Key::Average, Range::AverageMin, Range::AverageMax);
    v.extTrigger = value(settings, QLatin1String(Key::ExtTrigger)).toBool();
    v.prefix = text(settings, Key::Prefix);
    v.point = text(settings, Key::Point);
    v.workFolder = text(settings, Key::WorkFolder);
    return v;
}

} // namespace StationSettings
