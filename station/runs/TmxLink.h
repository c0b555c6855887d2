#pragma once

#include "RepeatedFailure.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QHash>
#include <QString>
#include <QTimer>

class QNetworkReply;
class QWidget;

// The station's link to its TMX pulse generator: the status probe, the run
// request and the program-and-run request, each an HTTP GET that must be
// answered (a success status) within 1000 ms of being sent, or the user is
// told that the generator is unreachable: once per run. The log hears of
// misses and failed replies as repeated failures (the first, then a count a
// minute, then their end): a run asks with every frame shown, and a
// generator that never answers must not fill the log of a station nobody
// watches. Reply bodies are thrown away as they arrive; one that runs past
// MaxBodyBytes is cut off.
class TmxLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int WatchdogMs = 1000;
    // The generator's pages are small; a longer body is not the generator's.
    static constexpr qint64 MaxBodyBytes = 1024 * 1024;

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
    // A preview or capture begins: a generator that does not answer is
    // reported again.
    void newRun();

    // Requests are numbered from 1 in the order they are made (a program
    // refused before it was sent counts too); this is the latest one.
    quint64 lastRequest() const { return requests_; }
    // Every request up to number `request` was answered or given up.
    bool settledUpTo(quint64 request) const;

signals:
    // A request was answered or given up.
    void settled();
    // Request number `request` went unanswered or could not be sent.
    void requestFailed(quint64 request);

public slots:
    // From the generator-IP dialog: an empty address turns control off;
    // otherwise the address is taken, probed and remembered.
    void setTMXIP(const QString& ip, bool externallyTriggered);
    // Restarts the watchdog: unless some request is answered within 1000 ms,
    // the generator is reported.
    void TryingTMX();

private:
    void send(const QString& pathAndQuery);
    // The generator answered a request: its deadline and the watchdog end.
    void answered(QTimer* deadline);
    // A request's deadline passed without an answer.
    void expired(QTimer* deadline);
    void finishedSlot(QNetworkReply* reply);
    void stopTryingTMX();
    // The generator answers, or another one is asked: the failures logged end.
    void endFailures();

    QNetworkAccessManager manager_;
    QTimer watchdog_;
    QWidget* boxParent_ = nullptr;
    QString address_;
    bool controlling_ = true;
    bool externallyTriggered_ = false;
    bool reported_ = false; // the user was told in this run
    RepeatedFailure unanswered_;    // requests whose second passed
    RepeatedFailure failedReplies_; // replies with a network or HTTP error
    quint64 requests_ = 0;
    // The deadlines of requests not answered yet, with their numbers.
    QHash<QTimer*, quint64> pending_;
};
