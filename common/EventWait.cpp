#include "EventWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

EventWait::EventWait(QObject* parent) : QObject(parent) {}

bool EventWait::wait(int milliseconds)
{
    if (milliseconds <= 0)
        return true;
    QEventLoop loop;
    Pending pending{&loop, false};
    m_waits.append(&pending);
    bool elapsed = false;
    // A precise timer: a coarse one may end a long wait a few percent early.
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, [&] {
        elapsed = true;
        loop.quit();
    });
    // Once the program quits, every event loop ends at once (and a new one
    // does not run): the time has not passed then.
    loop.exec();
    m_waits.removeOne(&pending);
    return elapsed && !pending.cancelled;
}

void EventWait::cancel()
{
    for (Pending* pending : qAsConst(m_waits)) {
        pending->cancelled = true;
        pending->loop->quit();
    }
}

EventWait::Until EventWait::waitUntil(const std::function<bool()>& done, int boundMs)
{
    // Short slices: `done` is seen soon after the event that made it hold.
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() >= boundMs)
            return Until::TimedOut;
        if (!wait(10))
            return done() ? Until::Done : Until::Cancelled;
    }
    return Until::Done;
}
