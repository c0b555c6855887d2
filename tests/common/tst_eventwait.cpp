#include "EventWait.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

class TestEventWait : public QObject
{
    Q_OBJECT

private slots:
    void waitsAndRunsEvents();
    void nothingToWait();
    void cancelEndsNestedWaits();
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
        innerResult = waiter.wait(10000);
    });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!waiter.wait(10000));
    QVERIFY(!innerResult);
    QCOMPARE(innerDepth, 2);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(waiter.depth(), 0);

    // A later wait is not affected by the earlier cancel.
    QVERIFY(waiter.wait(5));
}

QTEST_GUILESS_MAIN(TestEventWait)
#include "tst_eventwait.moc"
