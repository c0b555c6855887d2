#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QEventLoop;

// Waits that keep a window responsive: an event loop that
// runs until a timer ends it, so other slots (remote commands included) run
// during the wait. Waits nest (a slot run inside a wait may wait itself), and
// every wait in progress can be cancelled at once, e.g. when the camera goes
// away. Must outlive the waits it runs.
class EventWait : public QObject
{
    Q_OBJECT

public:
    explicit EventWait(QObject* parent = nullptr);

    // Runs events for `milliseconds` (at least). False when cancelled or
    // cut short because the program is quitting.
    bool wait(int milliseconds);

    // Runs events until `done` holds, for at most `boundMs`.
    enum class Until { Done, TimedOut, Cancelled };
    Until waitUntil(const std::function<bool()>& done, int boundMs);

    // Ends every wait in progress; each returns false.
    void cancel();

    // Number of waits in progress (nested waits count one each).
    int depth() const { return m_waits.size(); }

private:
    struct Pending
    {
        QEventLoop* loop;
        bool cancelled;
    };
    QList<Pending*> m_waits;
};
