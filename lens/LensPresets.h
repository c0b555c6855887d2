#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

// A lens preset as stored: the text "zoom,focus,aperture" ("35,1200,5.6")
// under the preset's name. Zoom and focus are the controller's positions,
// the aperture an f-number with up to 6 significant digits.
struct LensPreset
{
    QString zoomText;
    QString focusText;
    QString apertureText;

    int zoom() const { return zoomText.toInt(); }
    int focus() const { return focusText.toInt(); }
    double aperture() const { return apertureText.toDouble(); }
};

namespace LensPresets {

// What an absent preset reads as; this exact value means "no preset".
constexpr char NoPreset[] = "0,0,0";

QString value(int zoom, int focus, float aperture);
// The preset a stored value holds: none for NoPreset and for a value of
// fewer than three fields.
std::optional<LensPreset> parse(const QString& value);
// "%1mm,%2,f/%3" with the fields as stored.
QString toolTip(const LensPreset& preset);
// Not empty and free of the settings' key separators '/' and '\'.
bool isValidName(const QString& name);

} // namespace LensPresets

// The presets of the lens dialog: group "Profiles" of the lens controller's
// settings (organisation "Kessane", application "Focalis"), one value per
// preset. Only the group's own values are presets; the console keeps its
// preset names in another group of the same store.
class LensPresetStore
{
public:
    LensPresetStore();

    QStringList names() const;
    // NoPreset when absent. Names that fail LensPresets::isValidName are
    // never stored, read or removed.
    QString value(const QString& name) const;
    // False when the name is refused or the store could not be written.
    bool store(const QString& name, const QString& value);
    void remove(const QString& name);

private:
    QString key(const QString& name) const;

    mutable QSettings settings_;
};
