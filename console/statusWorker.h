#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

// Polls the stations for their status, all on one thread of its own, each
// through a StationPoll, on one beat every PauseMs: the stations' polls go
// out together and their replies come back together, so the thread wakes a
// few times per beat rather than twice per station. The reply texts reach
// the GUI thread through answerStatus (queued). stop() ends the thread's
// event loop and waits for it; nothing blocks inside the loop, so that is
// prompt.
class statusWorker : public QThread
{
    Q_OBJECT

public:
    // `ips` are the addresses as listed (they name the stations in answerStatus).
    statusWorker(const QStringList& ips, QObject* parent = nullptr);
    ~statusWorker() override;

    // Ends the polling; returns once the thread has finished.
    void stop();

    static constexpr int PauseMs = 100;

signals:
    // The texts of one read of the station at `ip`, oldest first (the last
    // one is its latest status); only texts that differ from its last ones.
    void answerStatus(const QString& ip, const QStringList& texts);

protected:
    void run() override;

private:
    const QStringList m_ips;
};
