#pragma once

#include "ConsoleDriver.h"

#include <QObject>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

// The console's own time-outs checked without the clock. Timers of one
// thread fire in the order they are due, and the events a handler posts run
// before those posted after it. So a time-out that the console started before
// a test's timer and that is due sooner has fired, and what its handler
// queued (a warning box) has run, by the time the test's timer has posted a
// look and that look runs: a slow or busy machine delays both alike.
namespace TimerOrder {

// What `look` says once a precise timer, started now and due in `dueMs`,
// has fired and the events queued before its own look have run.
inline bool by(int dueMs, const std::function<bool()>& look)
{
    QObject context;
    std::optional<bool> said;
    QTimer::singleShot(dueMs, Qt::PreciseTimer, &context, [&] {
        QMetaObject::invokeMethod(&context, [&] { said = look(); }, Qt::QueuedConnection);
    });
    return QTest::qWaitFor([&] { return said.has_value(); }, dueMs + ConsoleDriver::WaitMs) && *said;
}

} // namespace TimerOrder
