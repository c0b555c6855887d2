#pragma once

#include <QObject>
#include <QString>

class EventWait;
class GeneratorHttp;
class QNetworkReply;
class QWidget;

// A generator dialog's requests: one current request at a time, given up
// after 2000 ms of silence; an HTTP error or redirect is a refusal. The
// connection warning names the generator and what went wrong in a line
// after the dialog's own text. The done flag follows the current request only:
// it is cleared when a request starts and set when that request was answered,
// or, when it failed, once the user has closed the connection warning. The
// warning is shown from the event loop, never from the reply's handler.
class TmxApply : public QObject
{
    Q_OBJECT

public:
    static constexpr int WatchdogMs = 2000;

    TmxApply(QWidget* boxParent, const QString& warningTitle, const QString& warningText);

    // Starts the GET; it becomes the current request. An empty address
    // fails at once.
    void send(const QString& address, const QString& pathAndQuery);
    bool isDone() const { return m_done; }
    void clearDone() { m_done = false; }
    // Runs events until the done flag is set. The watchdog bounds the
    // request; the bound here only guards against a reply that never ends.
    // False when the wait was cut short because the program is quitting.
    bool waitForDone(EventWait& wait);

private:
    void finished(QNetworkReply* reply, const QString& address, quint64 request);
    // The connection warning of a failed request; its end is that request's outcome.
    void warn(quint64 request, const QString& detail);

    QWidget* m_boxParent;
    QString m_warningTitle;
    QString m_warningText;
    GeneratorHttp* m_http;
    quint64 m_current = 0; // serial number of the current request
    bool m_done = false;
};
