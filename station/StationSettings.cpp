#include "StationSettings.h"

#include "runs/SettingsKeys.h"

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
        {SettingsKeys::Exposure, QStringLiteral("100.0")},
        {SettingsKeys::GateExposure[0], QStringLiteral("30")},
        {SettingsKeys::GateExposure[1], QStringLiteral("30")},
        {SettingsKeys::GateCount[0], QStringLiteral("1000")},
        {SettingsKeys::GateCount[1], QStringLiteral("1000")},
        {SettingsKeys::GatePeriod[0], QStringLiteral("1000")},
        {SettingsKeys::GatePeriod[1], QStringLiteral("1000")},
        {SettingsKeys::GateDelay[0], QStringLiteral("0")},
        {SettingsKeys::GateDelay[1], QStringLiteral("30")},
        {SettingsKeys::GateWidth[0], QStringLiteral("30")},
        {SettingsKeys::GateWidth[1], QStringLiteral("30")},
        {SettingsKeys::Frames, QStringLiteral("10")},
        {SettingsKeys::Average, QStringLiteral("1")},
        {SettingsKeys::ExtTrigger, QStringLiteral("1")},
        {SettingsKeys::Prefix, QStringLiteral("run_0")},
        {SettingsKeys::Point, QStringLiteral("point_0")},
        {SettingsKeys::WorkFolder, QString()},
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
    const double exposure = value(settings, QLatin1String(SettingsKeys::Exposure)).toDouble();
    v.exposure = std::isfinite(exposure) ? qBound(Range::ExposureMin, exposure, Range::ExposureMax)
                                         : Range::ExposureMin;
    for (int g = 0; g < 2; ++g) {
        v.gate[g].exposure = text(settings, SettingsKeys::GateExposure[g]);
        v.gate[g].count = boundedInt(settings, SettingsKeys::GateCount[g], Range::CountMin, Range::CountMax);
        v.gate[g].period = text(settings, SettingsKeys::GatePeriod[g]);
        v.gate[g].delay = text(settings, SettingsKeys::GateDelay[g]);
        v.gate[g].ledWidth = text(settings, SettingsKeys::GateWidth[g]);
    }
    v.frames = boundedInt(settings, SettingsKeys::Frames, Range::FramesMin, Range::FramesMax);
    v.average = boundedInt(settings, SettingsKeys::Average, Range::AverageMin, Range::AverageMax);
    v.extTrigger = value(settings, QLatin1String(SettingsKeys::ExtTrigger)).toBool();
    v.prefix = text(settings, SettingsKeys::Prefix);
    v.point = text(settings, SettingsKeys::Point);
    v.workFolder = text(settings, SettingsKeys::WorkFolder);
    return v;
}

} // namespace StationSettings
