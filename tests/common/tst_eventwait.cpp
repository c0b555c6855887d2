#include "EventWait.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

namespace {

// Longer than the test may run (ctest gives it two minutes): a wait of this
// length that returns was cut short, however slow the machine.
constexpr int hourMs = 60 * 60 * 1000;

} // namespace

class TestEventWait : public QObject
{
    Q_OBJECT

private slots:
    void waitsAndRunsEvents();
    void nothingToWait();
    void cancelEndsNestedWaits();
    void quittingEndsWaits();
    void waitUntilTellsHowItEnded();
};

void TestEventWait::waitsAndRunsEvents()
{
    EventWait waiter;
    bool ran = false;
    QTimer::singleShot(10, this, [&] { ran = true; });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(waiter.wait(120));
    QVERIFY(clock.elapsed() >= 120);
    QVERIFY(ran);
    QCOMPARE(waiter.depth(), 0);
}

void TestEventWait::nothingToWait()
{
    EventWait waiter;
    QVERIFY(waiter.wait(0));
    QVERIFY(waiter.wait(-5));
}

// A slot run inside a wait waits itself; cancelling ends both at once.
void TestEventWait::cancelEndsNestedWaits()
{
    EventWait waiter;
    int innerDepth = 0;
    bool innerResult = true;
    QTimer::singleShot(10, this, [&] {
        QTimer::singleShot(20, this, [&] {
            innerDepth = waiter.depth();
            waiter.cancel();
        });
        innerResult = waiter.wait(hourMs);
    });
    QVERIFY(!waiter.wait(hourMs));
    QVERIFY(!innerResult);
    QCOMPARE(innerDepth, 2);
    QCOMPARE(waiter.depth(), 0);

    // A later wait is not affected by the earlier cancel.
    QVERIFY(waiter.wait(5));
}

// When the program quits inside a wait, that wait and every later one report
// that their time has not passed, at once (so a sequence of waits stops).
void TestEventWait::quittingEndsWaits()
{
    EventWait waiter;
    bool inner = true;
    bool later = true;
    QTimer::singleShot(0, this, [&] {
        QTimer::singleShot(20, this, [] { QCoreApplication::exit(0); });
        inner = waiter.wait(hourMs);
        later = waiter.wait(hourMs);
    });
    QCoreApplication::exec(); // ends with the exit; the next exec starts afresh
    QVERIFY(!inner);
    QVERIFY(!later);
    QCOMPARE(waiter.depth(), 0);
}

// Done as soon as the condition holds, TimedOut when the bound passes first,
// Cancelled when a cancel cuts it short.
void TestEventWait::waitUntilTellsHowItEnded()
{
    EventWait waiter;
    bool flag = false;
    QTimer::singleShot(20, this, [&] { flag = true; });
    QCOMPARE(waiter.waitUntil([&] { return flag; }, hourMs), EventWait::Until::Done);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(waiter.waitUntil([] { return false; }, 30), EventWait::Until::TimedOut);
    QVERIFY(clock.elapsed() >= 30);

    QTimer::singleShot(20, this, [&] { waiter.cancel(); });
    QCOMPARE(waiter.waitUntil([] { return false; }, hourMs), EventWait::Until::Cancelled);
    QCOMPARE(waiter.depth(), 0);
}

QTEST_GUILESS_MAIN(TestEventWait)
#include "tst_eventwait.moc"
