#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

// Polls one station for its status: keeps one connection to the station's
// remote-control port, sends "#status" every cycle and hands the reply texts
// of every read to the GUI thread through answerStatus (queued). A station
// that cannot be reached is reported as "Can't connect"; one that stays
// silent for SilenceMs, or closes or resets the connection, as "Not
// answering", and the worker connects afresh (a silent connection is
// dropped: its host may have gone and come back). The socket is created and
// used only on the worker's own thread. stop() ends the thread's event loop
// and waits for it; nothing blocks inside the loop, so that is prompt.
class statusWorker : public QThread
{
    Q_OBJECT

public:
    // `ip` is the address as listed (it names the station in answerStatus).
    statusWorker(const QString& ip, QObject* parent = nullptr);
    ~statusWorker() override;

    const QString& ip() const { return m_ip; }
    // Ends the polling; returns once the thread has finished.
    void stop();

    // Bounds of one poll cycle (the port is the station's remote-control port).
    static constexpr int ConnectWaitMs = 1000;
    static constexpr int PauseMs = 100;
    // A connected station that has not answered for this long does not answer.
    static constexpr int SilenceMs = 2000;
    // Received bytes without a terminating NUL beyond this are dropped.
    static constexpr int MaxPendingBytes = 1024;
    // Reply texts handed on per read (the latest ones); a peer that floods
    // gets the older ones dropped.
    static constexpr int MaxTextsPerRead = 16;

signals:
    // The texts of one read, oldest first: the last one is the station's
    // latest status.
    void answerStatus(const QString& ip, const QStringList& texts);

protected:
    void run() override;

private:
    const QString m_ip;
};
