#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

// Polls one station for its status on a thread of its own, through a
// StationPoll, every PauseMs. The reply texts reach the GUI thread through
// answerStatus (queued), only when they differ from the last ones. stop()
// ends the thread's event loop and waits for it; nothing blocks inside the
// loop, so that is prompt.
class statusWorker : public QThread
{
    Q_OBJECT

public:
    // `ip` is the address as listed (it names the station in answerStatus).
    statusWorker(const QString& ip, QObject* parent = nullptr);
    ~statusWorker() override;

    // Ends the polling; returns once the thread has finished.
    void stop();

    static constexpr int PauseMs = 100;

signals:
    // The texts of one read of the station, oldest first (the last one is
    // its latest status); only texts that differ from its last ones.
    void answerStatus(const QString& ip, const QStringList& texts);

protected:
    void run() override;

private:
    const QString m_ip;
};
