#include "ConsoleSettings.h"

#include <QHash>
#include <QSettings>

namespace ConsoleSettings {

std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Kessane"), QStringLiteral("Orchestrel"));
}

std::unique_ptr<QSettings> openLensPresets()
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Kessane"), QStringLiteral("Focalis"));
    settings->beginGroup(QStringLiteral("MultiProfiles"));
    return settings;
}

std::unique_ptr<QSettings> openGeneratorProfiles()
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Kessane"), QStringLiteral("TMXControl"));
    settings->beginGroup(QStringLiteral("Profiles"));
    return settings;
}

namespace {

const QHash<QString, QVariant>& defaults()
{
    static const QHash<QString, QVariant> table{
        {ExposureKey, QStringLiteral("100")},
        {SyncExposureKey, true},
        {WorkFolderKey, QString::fromLatin1(DefaultWorkFolder)},
        {ExtTriggerKey, false},
        {PrefixKey, QStringLiteral("run_0")},
        {PointKey, QStringLiteral("angle")},
        {FramesKey, 10},
        {StationsKey, QStringLiteral("192.168.0.0")},
        {AliasesKey, QStringLiteral("192.168.0.0")},
        {SlavesKey, QStringLiteral("192.168.0.0")},
        {MasterKey, QStringLiteral("192.168.0.0")},
        {LensControllersKey, QStringLiteral("192.168.2.252")},
    };
    return table;
}

} // namespace

QVariant defaultValue(const char* key)
{
    return defaults().value(QLatin1String(key));
}

QVariant value(const QSettings& settings, const char* key)
{
    return settings.value(QLatin1String(key), defaultValue(key));
}

std::optional<QString> text(const QSettings& settings, const char* key)
{
    const QVariant stored = value(settings, key);
    if (stored.userType() == QMetaType::QStringList)
        return stored.toStringList().join(QLatin1Char(','));
    if (!stored.canConvert<QString>())
        return std::nullopt;
    return stored.toString();
}

} // namespace ConsoleSettings
