#include "LensPresets.h"

#include "LensProtocol.h"

namespace {
const QString Group = QStringLiteral("Profiles");
} // namespace

namespace LensPresets {

QString value(int zoom, int focus, float aperture)
{
    return QStringLiteral("%1,%2,%3").arg(zoom).arg(focus).arg(LensProtocol::real(aperture));
}

std::optional<LensPreset> parse(const QString& value)
{
    if (value == QLatin1String(NoPreset))
        return std::nullopt;
    const QStringList fields = value.split(QLatin1Char(','));
    if (fields.size() < 3)
        return std::nullopt;
    return LensPreset{fields.at(0), fields.at(1), fields.at(2)};
}

QString toolTip(const LensPreset& preset)
{
    return QStringLiteral("%1mm,%2,f/%3").arg(preset.zoomText, preset.focusText, preset.apertureText);
}

bool isValidName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

} // namespace LensPresets

LensPresetStore::LensPresetStore()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kessane"), QStringLiteral("Focalis"))
{
    settings_.sync();
}

QStringList LensPresetStore::names() const
{
    settings_.beginGroup(Group);
    const QStringList keys = settings_.childKeys();
    settings_.endGroup();
    return keys;
}

QString LensPresetStore::value(const QString& name) const
{
    if (!LensPresets::isValidName(name))
        return QLatin1String(LensPresets::NoPreset);
    return settings_.value(key(name), QLatin1String(LensPresets::NoPreset)).toString();
}

bool LensPresetStore::store(const QString& name, const QString& value)
{
    if (!LensPresets::isValidName(name))
        return false;
    settings_.setValue(key(name), value);
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

void LensPresetStore::remove(const QString& name)
{
    // An empty name would name the whole group.
    if (!LensPresets::isValidName(name))
        return;
    settings_.remove(key(name));
    settings_.sync();
}

QString LensPresetStore::key(const QString& name) const
{
    return Group + QLatin1Char('/') + name;
}
