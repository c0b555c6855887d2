#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkReply;
class QWidget;

// The station's link to its TMX pulse generator: the status probe, the run
// request and the program-and-run request, each an HTTP GET whose answer
// must come within 1000 ms of the last request, or the user is told that the
// generator is unreachable. The reply bodies are never read.
class TmxLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int WatchdogMs = 1000;

    explicit TmxLink(QObject* parent = nullptr);

    // Parent of the boxes this link shows.
    void setBoxParent(QWidget* parent);

    // A generator is controlled from this station (on from start-up).
    bool isControlling() const { return controlling_; }
    bool isExternallyTriggered() const { return externallyTriggered_; }
    QString address() const { return address_; }

    // Program-and-run; all times in microseconds. Returns false, sends
    // nothing and warns the user when the values cannot be sent as they are
    // (see TmxRequest::programPathAndQuery).
    bool sendTMXProgram(double period, quint64 pulses, double ledStart, double ledWidth,
                        double delay, double exposure);
    void sendTMXRun();

public slots:
    // From the generator-IP dialog: an empty address turns control off;
    // otherwise the address is taken, probed and remembered.
    void setTMXIP(const QString& ip, bool externallyTriggered);
    // Restarts the watchdog.
    void TryingTMX();

private:
    void send(const QString& pathAndQuery);
    void finishedSlot(QNetworkReply* reply);
    void stopTryingTMX();

    QNetworkAccessManager manager_;
    QTimer watchdog_;
    QWidget* boxParent_ = nullptr;
    QString address_;
    bool controlling_ = true;
    bool externallyTriggered_ = false;
};
