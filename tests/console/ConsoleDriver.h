#pragma once

#include "ConsoleSettings.h"
#include "Dravo_plurica.h"
#include "ipsettingsdialog.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QSettings>
#include <QVariant>

// Drives the console in tests as a user does: stored settings before the
// window starts, the IP settings dialog, widgets and actions by object name.
namespace ConsoleDriver {

// Bound of a wait for what the console does on its own timers (a station's
// command or a generator's request given up on, a silent station noticed):
// room for a busy machine.
constexpr int WaitMs = 15000;

// Stores `values` in the console's settings (the test's own HOME).
inline void writeSettings(const QMap<QString, QVariant>& values)
{
    auto settings = ConsoleSettings::open();
    for (auto it = values.begin(); it != values.end(); ++it)
        settings->setValue(it.key(), it.value());
    settings->sync();
}

// Lays the console's settings file as a person writes it by hand (the
// native format is an INI file here).
inline void writeSettingsFile(const QByteArray& contents)
{
    QFile file(ConsoleSettings::open()->fileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        qFatal("cannot write the console's settings file");
}

template <typename T>
T* child(const QObject& parent, const char* name)
{
    auto* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

inline QAction* action(const QObject& window, const char* name)
{
    return child<QAction>(window, name);
}

// Types the lists into the IP settings dialog and presses Set.
inline void setLists(Dravo_plurica& window, const QString& stations, const QString& aliases,
                     const QString& lensControllers)
{
    auto* dialog = window.findChild<ipsettingsdialog*>();
    child<QLineEdit>(*dialog, "camEdit")->setText(stations);
    child<QLineEdit>(*dialog, "camAliasEdit")->setText(aliases);
    child<QLineEdit>(*dialog, "lcIPEdit")->setText(lensControllers);
    child<QPushButton>(*dialog, "pushButton")->click();
}

} // namespace ConsoleDriver
