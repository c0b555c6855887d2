#include "LoopControl.h"

#include <QDeadlineTimer>

void LoopControl::pause()
{
    paused_ = true;
}

void LoopControl::resume()
{
    QMutexLocker lock(&mutex_);
    paused_ = false;
    wake_.wakeAll();
}

void LoopControl::stop()
{
    QMutexLocker lock(&mutex_);
    stop_ = true;
    wake_.wakeAll();
}

bool LoopControl::waitWhilePaused()
{
    QMutexLocker lock(&mutex_);
    while (paused_ && !stop_)
        wake_.wait(&mutex_);
    return !stop_;
}

bool LoopControl::sleep(int ms)
{
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    QMutexLocker lock(&mutex_);
    while (!stop_ && !deadline.hasExpired())
        wake_.wait(&mutex_, deadline);
    return !stop_;
}
