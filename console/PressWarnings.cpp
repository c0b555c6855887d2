#include "PressWarnings.h"

#include <QPointer>
#include <QStringList>
#include <QVector>

struct PressWarnings::Press
{
    struct Sent
    {
        int station;
        QString command;
        bool confirmed = true;
    };
    QStringList stations; // in the order they were first sent to
    QStringList names;    // of each station, as its first command named it
    QVector<Sent> sent;   // in the order sent
    int pending = 0;
    bool open = true;     // commands may still join
    bool finished = false;
};

PressWarnings::PressWarnings(QObject* parent) : QObject(parent) {}

std::function<void(bool)> PressWarnings::expect(const QString& station, const QString& name, const QString& command)
{
    if (!m_current) {
        m_current = std::make_shared<Press>();
        // Queued: runs once everything of this turn has gone out.
        QMetaObject::invokeMethod(
            this,
            [this, press = m_current] {
                press->open = false;
                m_current.reset();
                finish(press);
            },
            Qt::QueuedConnection);
    }
    const std::shared_ptr<Press> press = m_current;
    int index = press->stations.indexOf(station);
    if (index < 0) {
        index = press->stations.size();
        press->stations << station;
        press->names << name;
    }
    press->sent.append({index, command});
    ++press->pending;
    const int sent = press->sent.size() - 1;
    QPointer<PressWarnings> self(this);
    return [self, press, sent](bool confirmed) {
        press->sent[sent].confirmed = confirmed;
        --press->pending;
        if (self)
            self->finish(press);
    };
}

void PressWarnings::finish(const std::shared_ptr<Press>& press)
{
    if (press->open || press->pending > 0 || press->finished)
        return;
    press->finished = true;
    QStringList lines;
    for (int i = 0; i < press->stations.size(); ++i) {
        QStringList commands;
        for (const Press::Sent& sent : qAsConst(press->sent)) {
            if (sent.station == i && !sent.confirmed)
                commands << sent.command;
        }
        if (!commands.isEmpty())
            lines << QStringLiteral("%1: %2").arg(press->names.at(i), commands.join(QStringLiteral(", ")));
    }
    if (lines.isEmpty())
        return;
    lines << tr("Please fix it and try again!");
    emit unconfirmed(lines.join(QStringLiteral("<br>")));
}
