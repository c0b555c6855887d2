#pragma once

#include <QString>
#include <QThread>

#include <atomic>

// Polls one pulse generator's status page every 2000 ms on a thread of its
// own and reports whether each of its two outputs runs. One request at a
// time, given up after 2000 ms of silence. The console keeps one worker for
// the master generator and does not start it.
class tmxWorker : public QThread
{
    Q_OBJECT

public:
    static constexpr int PollMs = 2000;

    tmxWorker(const QString& address, QObject* parent = nullptr);
    ~tmxWorker() override;

    const QString& address() const { return m_address; }
    // While paused nothing is sent.
    void setPaused(bool paused) { m_paused = paused; }
    // Ends the polling (a request under way is dropped); returns once the
    // thread has finished.
    void stop();

signals:
    // Each generator output: 0 stopped, 1 running, 2 no answer.
    void answerStatus(const QString& address, int generator1, int generator2);

protected:
    void run() override;

private:
    const QString m_address;
    std::atomic<bool> m_paused{false};
};
