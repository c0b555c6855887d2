// The simulated camera's stream schedule: a late wake-up is made up, never lost,
// and an idle link saves up no credit.
#include "StreamClock.h"

#include <QtTest>

using namespace std::chrono;
using Clock = StreamClock::Clock;

namespace {

constexpr size_t datagram = 8934;         // 9000 bytes on the wire
constexpr auto wireTime = microseconds(72); // at 1 Gb/s
const Clock::time_point t0 = Clock::time_point() + seconds(100);

// Sends `count` datagrams as the camera's thread does: books each one, sleeps
// when told to, oversleeping by `late` at the sleep number `lateSleep`; each
// send costs 1 us. Returns when the last one was handed to the socket.
Clock::time_point sendDatagrams(StreamClock& clock, Clock::time_point now, int count, int lateSleep,
                                Clock::duration late, int* sleeps = nullptr)
{
    int slept = 0;
    for (int i = 0; i < count; ++i) {
        const Clock::time_point at = clock.book(datagram, now);
        if (at > now)
            now = at + (slept++ == lateSleep ? late : Clock::duration::zero());
        now += microseconds(1);
    }
    if (sleeps)
        *sleeps = slept;
    return now;
}

} // namespace

class StreamClockTest : public QObject
{
    Q_OBJECT

private slots:
    void linkMakesUpAnOversleep_data()
    {
        QTest::addColumn<int>("lateSleep");
        QTest::addColumn<int>("lateUs");
        QTest::newRow("on time") << -1 << 0;
        QTest::newRow("first sleep 500 us late") << 0 << 500;
        QTest::newRow("a middle sleep 3 ms late") << 10 << 3000;
    }
    void linkMakesUpAnOversleep()
    {
        QFETCH(int, lateSleep);
        QFETCH(int, lateUs);
        StreamClock clock(1e9);
        clock.startFrames(t0);
        clock.beginFrame(milliseconds(100), t0);
        int sleeps = 0;
        const Clock::time_point done = sendDatagrams(clock, t0, 1000, lateSleep, microseconds(lateUs), &sleeps);
        QVERIFY(sleeps > 100); // it did pace
        // Exactly the link time of what was booked, however late a wake-up was.
        QCOMPARE(duration_cast<microseconds>(clock.linkFree() - t0).count(), 1000 * wireTime.count());
        // And the sender kept up with it: it ends within a burst of the link.
        QVERIFY(done <= clock.linkFree() + microseconds(10));
        QVERIFY(done >= clock.linkFree() - StreamClock::Burst - wireTime);
    }

    void idleLinkSavesNoCredit()
    {
        StreamClock clock(1e9);
        clock.startFrames(t0);
        clock.beginFrame(milliseconds(10), t0);
        sendDatagrams(clock, t0, 10, -1, {});
        // The next frame is due 10 ms later and its thread wakes 50 us late:
        // the link starts with the frame's due time, not with the idle spell.
        const Clock::time_point due = clock.frameDue();
        QCOMPARE(due, t0 + milliseconds(10));
        const Clock::time_point now = due + microseconds(50);
        clock.beginFrame(milliseconds(10), now);
        QCOMPARE(clock.book(datagram, now), now);
        QCOMPARE(clock.linkFree(), due + wireTime);
        int sleeps = 0;
        sendDatagrams(clock, now, 100, -1, {}, &sleeps);
        QVERIFY(sleeps > 10);
    }

    void frameScheduleKeepsItsDeficit()
    {
        StreamClock clock(0);
        const auto period = microseconds(200); // 5000 frames/s
        clock.startFrames(t0);
        // Every wake-up is late by up to 1.5 periods; the schedule keeps its pace.
        for (int i = 0; i < 5000; ++i) {
            const Clock::time_point now = clock.frameDue() + microseconds((i * 37) % 300);
            clock.beginFrame(period, now);
        }
        QCOMPARE(clock.frameDue(), t0 + 5000 * period);
        // A thread held up beyond the longest lag restarts the schedule.
        const Clock::time_point now = clock.frameDue() + StreamClock::MaxFrameLag + milliseconds(1);
        clock.beginFrame(period, now);
        QCOMPARE(clock.frameDue(), now);
    }

    void unpacedAndRateChanges()
    {
        StreamClock clock(0);
        clock.startFrames(t0);
        clock.beginFrame(milliseconds(1), t0);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(clock.book(datagram, t0), t0);
        // A new rate applies from the next frame, with the link as it stands.
        clock.setLinkRate(1e9);
        QCOMPARE(clock.book(datagram, t0), t0);
        clock.beginFrame(milliseconds(1), t0 + milliseconds(1));
        clock.book(datagram, t0 + milliseconds(1));
        QCOMPARE(clock.linkFree(), t0 + milliseconds(1) + wireTime);
    }
};

QTEST_APPLESS_MAIN(StreamClockTest)
#include "tst_streamclock.moc"
