#pragma once

#include "LoopControl.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <mutex>

class LensLink;

// The keep-alive thread of the lens link: sends "ping" to the controller
// every period and counts the pings that got no answer; from the second one
// on, each ping reports the controller as lost. The dialog resets the count
// (resume()) whenever the controller answers, and pauses the pinger while it
// drives the lens itself.
class pingWorker : public QThread
{
    Q_OBJECT

public:
    static constexpr int PeriodMs = 600;

    // Sends through `link` (queued from the loop's thread).
    pingWorker(const QString& host, LensLink* link, QObject* parent = nullptr);
    ~pingWorker() override; // stops the thread and waits for it

    void pause();
    // Also starts the miss count again.
    void resume();
    // Ends the loop at once (even in a pause or a sleep); returns without
    // waiting: wait() for the thread.
    void stop();
    void setHost(const QString& host);
    // One ping without the sleep: send, count, report.
    void pingOnce();
    // A zoom-range reply counts as half an answer: one miss less.
    void missBack() { --missCount_; }

    bool isPaused() const { return loop_.isPaused(); }
    int missCount() const { return missCount_; }

signals:
    void cantsendping(const QString& reason);
    // To the link's sendTo(), queued when sent from the loop.
    void sendDatagram(const QString& host, const QByteArray& datagram);

protected:
    void run() override;

private:
    QString host() const;

    mutable std::mutex hostLock_;
    QString host_;
    std::atomic<int> missCount_{0};
    LoopControl loop_;
};
