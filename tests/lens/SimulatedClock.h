#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// A clock for the lens dialog's bounded waits (focusDlg::setClock), simulated:
// it stands still unless the test moves it, and it counts the dialog's reads.
struct SimulatedClock
{
    qint64 now = 0;
    int reads = 0;
};

// Shows that a wait keeps its bound on the simulated clock, without waiting
// it out. Once `started` holds (the wait has read its start), the clock moves
// to 1 ms short of the bound; once the wait has read it twice more (a whole
// slice of the wait seen short of the bound, with its events run), whether
// `ended` already holds is noted, and the clock moves onto the bound. A wait
// still running LetGoMs later is let go by a clock far past its bound.
class BoundDriver : public QObject
{
public:
    static constexpr int LetGoMs = 10000;

    BoundDriver(SimulatedClock& clock, qint64 boundMs, std::function<bool()> started, std::function<bool()> ended)
    {
        connect(&timer_, &QTimer::timeout, this, [=, &clock] {
            if (stage_ == 0 && started()) {
                mark_ = clock.reads;
                clock.now += boundMs - 1;
                stage_ = 1;
            } else if (stage_ == 1 && clock.reads >= mark_ + 2) {
                endedEarly = ended();
                clock.now += 1;
                reachedBound = true;
                sinceBound_.start();
                stage_ = 2;
            } else if (stage_ == 2 && !overran && sinceBound_.elapsed() > LetGoMs) {
                overran = true;
                clock.now += 100 * boundMs;
            }
        });
        timer_.start(5);
    }

    bool endedEarly = false;   // the wait ended before its bound
    bool reachedBound = false; // the clock was moved onto the bound
    bool overran = false;      // the wait went on past its bound

private:
    QTimer timer_;
    QElapsedTimer sinceBound_;
    int stage_ = 0;
    int mark_ = 0;
};
