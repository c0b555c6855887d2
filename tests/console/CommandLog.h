#pragma once

#include "FakeStation.h"

#include <QDebug>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QStringList>

#include <memory>

// What the console's command tests share: its record of the commands, and
// stations that take everything.
namespace CommandLog {

// The console's record of its commands: "sent <bytes> to <address>" once a
// station confirmed one, a warning once one was given up on (at once, inside
// the press, for a station that cannot be reached).
struct SentLog
{
    SentLog()
    {
        current = this;
        QLoggingCategory::setFilterRules(QStringLiteral("kessane.console.commands.debug=true"));
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& msg) {
            const bool commands = qstrcmp(context.category, "kessane.console.commands") == 0;
            if (commands && type == QtDebugMsg) {
                current->lines << msg;
                return;
            }
            if (commands && msg.contains(QLatin1String(" not delivered to ")))
                current->undelivered << msg;
            current->previous(type, context, msg);
        });
    }
    ~SentLog()
    {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    }
    SentLog(const SentLog&) = delete;
    SentLog& operator=(const SentLog&) = delete;

    static QString line(const QByteArray& bytes, const char* address)
    {
        QString text;
        QDebug(&text).nospace() << "sent " << bytes << " to " << QString::fromLatin1(address);
        return text;
    }
    QStringList lines;
    QStringList undelivered;
    QtMessageHandler previous = nullptr;
    static inline SentLog* current = nullptr;
};

// A station that takes everything (a colour camera is connected), listening
// on `address` at the remote-control port.
inline std::unique_ptr<FakeStation> station(const char* address)
{
    auto s = std::make_unique<FakeStation>();
    s->state.connected = true;
    s->state.colourCamera = true;
    if (!s->listen(QHostAddress(QString::fromLatin1(address))))
        qFatal("cannot listen on %s:1910", address);
    return s;
}

} // namespace CommandLog
