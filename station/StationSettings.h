#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

// The station's settings store and the run parameters the side panel restores
// from it: defaults of the SettingsKeys and the ranges the side-panel widgets
// accept.
namespace StationSettings {

namespace Range {
constexpr double ExposureMin = 10;
constexpr double ExposureMax = 16777215;
constexpr int CountMin = 1;
constexpr int CountMax = 131071;
constexpr int FramesMin = 1;
constexpr int FramesMax = 10000;
constexpr int AverageMin = 1;
constexpr int AverageMax = 100;
} // namespace Range

// QSettings("Kessane", "Lumivar") in the native format.
std::unique_ptr<QSettings> open();

// The default of a side-panel key (an invalid QVariant for other keys). The
// table is built once per program.
QVariant defaultValue(const QString& key);
// The stored value of `key`, or its default.
QVariant value(const QSettings& settings, const QString& key);

struct GateValues
{
    QString exposure;
    int count = 0;
    QString period;
    QString delay;
    QString ledWidth;
};

struct SidePanelValues
{
    double exposure = 0;
    GateValues gate[2];
    int frames = 0;
    int average = 0;
    bool extTrigger = false;
    QString prefix;
    QString point;
    QString workFolder;
};

// The side panel's values as stored, numbers brought into their ranges
// (text that is no number counts as 0 before that).
SidePanelValues readSidePanel(const QSettings& settings);

} // namespace StationSettings
