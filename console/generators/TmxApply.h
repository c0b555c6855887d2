#pragma once

#include <QObject>
#include <QString>

class EventWait;
class GeneratorHttp;
class QNetworkReply;
class QWidget;

// A generator dialog's settings requests: one current request at a time,
// given up after 2000 ms of silence. A failure is warned of from the event
// loop, never from the reply's handler: a generator that stays silent or
// cannot be reached with the dialog's own text and a line naming it and what
// went wrong; one that answers an HTTP error or a redirect as refusing the
// settings, with the status it answered. The done flag follows the current
// request only: it is cleared when a request starts and set when that
// request was taken, or, when it failed, once the user has closed the warning.
class TmxApply : public QObject
{
    Q_OBJECT

public:
    static constexpr int WatchdogMs = 2000;

    TmxApply(QWidget* boxParent, const QString& warningTitle, const QString& warningText);

    // Starts the GET; it becomes the current request. An empty address
    // fails at once. `ifNotTaken` ends the warning when it fails (what did
    // not happen because of it).
    void send(const QString& address, const QString& pathAndQuery, const QString& ifNotTaken = QString());
    bool isDone() const { return m_done; }
    void clearDone() { m_done = false; }
    // Whether the generator took the current request (answered it 2xx).
    bool isTaken() const { return m_taken; }
    // Runs events until the done flag is set. The watchdog bounds the
    // request; the bound here only guards against a reply that never ends.
    // False when the wait was cut short because the program is quitting.
    bool waitForDone(EventWait& wait);

private:
    void finished(QNetworkReply* reply, const QString& address, const QString& ifNotTaken, quint64 request);
    // The warning of a failed request; its end is that request's outcome.
    void warn(quint64 request, const QString& text);

    QWidget* m_boxParent;
    QString m_warningTitle;
    QString m_warningText;
    GeneratorHttp* m_http;
    quint64 m_current = 0; // serial number of the current request
    bool m_done = false;
    bool m_taken = false;
};
