#pragma once

#include <QString>
#include <QThread>

// Polls one pulse generator's status page. The polling is still to come; the
// main window keeps one worker for the master generator and never starts it.
class tmxWorker : public QThread
{
    Q_OBJECT

public:
    tmxWorker(const QString& address, QObject* parent = nullptr);
    ~tmxWorker() override;

    const QString& address() const { return m_address; }
    // Ends the polling; returns once the thread has finished.
    void stop();

signals:
    // Each generator output: 0 stopped, 1 running, 2 no answer.
    void answerStatus(const QString& address, int generator1, int generator2);

protected:
    void run() override;

private:
    const QString m_address;
};
