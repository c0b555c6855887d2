#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Gathers the commands that stations did not confirm during one press into
// one warning. A press is every command sent in one turn of the event loop:
// a click with all it sends (Sync's whole sequence, Capture with the preview
// it stops, Set with names and lens controllers). Its warning comes once
// each of its commands has been confirmed or given up on, and only when some
// were not: a line per such station, in the order the stations were first
// sent to, naming the commands it did not confirm in the order they went out.
// The line names the station as the first of its commands did (a command may
// name it as a PC, another by its alias).
class PressWarnings : public QObject
{
    Q_OBJECT

public:
    explicit PressWarnings(QObject* parent = nullptr);

    // One command of the current press on its way to a station; `station`
    // tells the stations apart, `name` is how the warning names it (rich
    // text), `command` the command as sent. Returns what settles it: call
    // that once, with whether it was confirmed.
    std::function<void(bool confirmed)> expect(const QString& station, const QString& name, const QString& command);

signals:
    // A press is over and some of its commands went unconfirmed.
    void unconfirmed(const QString& text);

private:
    struct Press;
    void finish(const std::shared_ptr<Press>& press);

    std::shared_ptr<Press> m_current; // the press of this turn of the event loop
};
