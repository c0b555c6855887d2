// The simulated camera's stream schedule, in simulated time: packets follow
// the link from the moment their frame is ready, a late wake-up never turns
// into a rush faster than the link, and frames keep their rate where the link
// carries them.
#include "LinkPace.h"
#include "StreamClock.h"

#include <QtTest>

#include <functional>
#include <vector>

using namespace std::chrono;
using Clock = StreamClock::Clock;

namespace {

constexpr size_t datagram = 8934;           // 9000 bytes on the wire
constexpr auto wireTime = microseconds(72); // at 1 Gb/s
const Clock::time_point t0 = Clock::time_point() + seconds(100);

double secondsSince(Clock::time_point from, Clock::time_point t)
{
    return duration<double>(t - from).count();
}

// The camera's stream thread against the clock: books each datagram, sleeps
// when told to (oversleeping at the sleeps `late` names), and spends 1 us on
// each send. Keeps when each datagram was handed to the socket.
struct Sender
{
    StreamClock& clock;
    Clock::time_point now;
    std::function<Clock::duration(int sleep)> late = [](int) { return Clock::duration::zero(); };
    int sleeps = 0;
    std::vector<Clock::time_point> sent = {};

    void send(int count)
    {
        for (int i = 0; i < count; ++i) {
            const Clock::time_point at = clock.book(datagram, now);
            if (at > now)
                now = at + late(sleeps++);
            sent.push_back(now);
            now += microseconds(1);
        }
    }

    // How far the datagrams sent since `first` ran ahead of a 1 Gb/s link.
    Clock::duration aheadOfLink(size_t first = 0) const
    {
        std::vector<PacedDatagram> stretch;
        for (size_t i = first; i < sent.size(); ++i) {
            const double start = duration<double>(wireTime).count() * double(i - first);
            stretch.push_back({secondsSince(t0, sent[i]), start, start + duration<double>(wireTime).count()});
        }
        return duration_cast<Clock::duration>(duration<double>(::aheadOfLink(stretch)));
    }
};

} // namespace

class StreamClockTest : public QObject
{
    Q_OBJECT

private slots:
    // A frame is due at t0; its thread wakes `wakeUs` late and fills it in
    // `fillUs`; some of the sleeps between bursts oversleep.
    void packetsFollowTheLinkFromTheFrameReady_data()
    {
        QTest::addColumn<int>("wakeUs");
        QTest::addColumn<int>("fillUs");
        QTest::addColumn<int>("lateSleep"); // -1: none
        QTest::addColumn<int>("lateUs");
        QTest::newRow("on time") << 0 << 0 << -1 << 0;
        QTest::newRow("full-sensor fill") << 0 << 12000 << -1 << 0;
        QTest::newRow("late wake-up and fill") << 3000 << 12000 << -1 << 0;
        QTest::newRow("first sleep 100 us late") << 0 << 2000 << 0 << 100;
        QTest::newRow("a middle sleep 3 ms late") << 0 << 2000 << 10 << 3000;
    }
    void packetsFollowTheLinkFromTheFrameReady()
    {
        QFETCH(int, wakeUs);
        QFETCH(int, fillUs);
        QFETCH(int, lateSleep);
        QFETCH(int, lateUs);
        StreamClock clock(1e9);
        clock.startFrames(t0);
        const Clock::time_point ready = t0 + microseconds(wakeUs + fillUs);
        clock.beginFrame(milliseconds(100), ready);
        Sender sender{clock, ready};
        sender.late = [&](int sleep) { return sleep == lateSleep ? microseconds(lateUs) : microseconds(0); };
        sender.send(1000);
        QVERIFY(sender.sleeps > 100); // it did pace
        // The first burst leaves as the frame is ready, not before.
        QCOMPARE(sender.sent.front(), ready);
        // Never more than a burst ahead of the link, plus the one burst of a
        // late wake-up's deficit that may be made up.
        const Clock::duration ahead = sender.aheadOfLink();
        QVERIFY2(ahead <= (lateSleep < 0 ? 1 : 2) * StreamClock::Burst,
                 qPrintable(QString("%1 us ahead").arg(duration_cast<microseconds>(ahead).count())));
        // The frame takes the link time of what was booked, and what a late
        // wake-up lost beyond one burst is not made up.
        const Clock::duration took = clock.linkFree() - ready;
        QVERIFY(took >= 1000 * wireTime);
        QVERIFY(took <= 1000 * wireTime + microseconds(lateUs));
        if (lateUs > 1000)
            QVERIFY(took >= 1000 * wireTime + microseconds(lateUs) - 2 * StreamClock::Burst);
        QVERIFY(sender.now <= clock.linkFree() + microseconds(10));
        QVERIFY(sender.now >= clock.linkFree() - StreamClock::Burst - wireTime);
    }

    // Wake-ups late by anything from nothing to 2 ms, in every sleep.
    void lateWakeUpsNeverOutrunTheLink()
    {
        StreamClock clock(1e9);
        clock.startFrames(t0);
        clock.beginFrame(milliseconds(100), t0);
        Sender sender{clock, t0};
        sender.late = [](int sleep) { return microseconds((sleep * 7919) % 2000); };
        sender.send(3000);
        QVERIFY(sender.aheadOfLink() <= 2 * StreamClock::Burst);
        // Nor does it fall behind by more than the time the wake-ups lost.
        QVERIFY(sender.now - t0 >= 3000 * wireTime - StreamClock::Burst);
    }

    void idleLinkSavesNoCredit()
    {
        StreamClock clock(1e9);
        clock.startFrames(t0);
        clock.beginFrame(milliseconds(10), t0);
        Sender first{clock, t0};
        first.send(10);
        // The next frame is due 10 ms later and is ready 50 us after that:
        // its link starts then, not at its due time nor with the idle spell.
        const Clock::time_point due = clock.frameDue();
        QCOMPARE(due, t0 + milliseconds(10));
        const Clock::time_point ready = due + microseconds(50);
        clock.beginFrame(milliseconds(10), ready);
        QCOMPARE(clock.book(datagram, ready), ready);
        QCOMPARE(clock.linkFree(), ready + wireTime);
        Sender second{clock, ready};
        second.send(100);
        QVERIFY(second.sleeps > 10);
        QVERIFY(second.aheadOfLink() <= StreamClock::Burst);
    }

    // The camera's loop: wait for the frame's due time (waking up to `wakeUs`
    // late), fill the frame in 1 ms, send its 1000 packets (72 ms of the
    // link). Where the link carries a frame within the period, every frame
    // starts at its due time (plus the wake-up and the fill); where it cannot,
    // frames follow each other with only the fill between them.
    void framePeriodHoldsWhereTheLinkAllows_data()
    {
        QTest::addColumn<int>("periodMs");
        QTest::addColumn<int>("wakeUs");
        QTest::newRow("link carries the rate") << 100 << 0;
        QTest::newRow("link carries the rate, late wake-ups") << 100 << 800;
        QTest::newRow("link too slow for the rate") << 50 << 0;
    }
    void framePeriodHoldsWhereTheLinkAllows()
    {
        QFETCH(int, periodMs);
        QFETCH(int, wakeUs);
        const auto fill = milliseconds(1);
        const auto frameLink = 1000 * wireTime;
        const bool linkCarries = milliseconds(periodMs) > frameLink + fill;
        StreamClock clock(1e9);
        clock.startFrames(t0);
        Sender sender{clock, t0};
        Clock::time_point due = t0;
        Clock::time_point previous{};
        for (int i = 0; i < 50; ++i) {
            if (linkCarries)
                QCOMPARE(clock.frameDue(), due);
            const auto wake = microseconds(wakeUs * (i % 3) / 2);
            sender.now = std::max(sender.now, clock.frameDue() + wake) + fill;
            const Clock::time_point ready = sender.now;
            clock.beginFrame(milliseconds(periodMs), ready);
            const size_t first = sender.sent.size();
            sender.send(1000);
            QCOMPARE(sender.sent[first], ready);
            QVERIFY(sender.aheadOfLink(first) <= StreamClock::Burst);
            if (linkCarries) {
                QCOMPARE(ready, due + wake + fill);
                QVERIFY(clock.linkFree() < clock.frameDue());
            } else if (i > 0) {
                // The link's time, less the last burst, and the fill.
                QVERIFY(ready - previous <= frameLink + fill);
                QVERIFY(ready - previous >= frameLink + fill - 2 * StreamClock::Burst);
            }
            previous = ready;
            due += milliseconds(periodMs);
        }
    }

    void frameScheduleKeepsItsDeficit()
    {
        StreamClock clock(0);
        const auto period = microseconds(200); // 5000 frames/s
        clock.startFrames(t0);
        // Every frame is ready late by up to 1.5 periods; the schedule keeps its pace.
        for (int i = 0; i < 5000; ++i) {
            const Clock::time_point ready = clock.frameDue() + microseconds((i * 37) % 300);
            clock.beginFrame(period, ready);
        }
        QCOMPARE(clock.frameDue(), t0 + 5000 * period);
        // A thread held up beyond the longest lag restarts the schedule.
        const Clock::time_point ready = clock.frameDue() + StreamClock::MaxFrameLag + milliseconds(1);
        clock.beginFrame(period, ready);
        QCOMPARE(clock.frameDue(), ready);
    }

    void unpacedAndRateChanges()
    {
        StreamClock clock(0);
        clock.startFrames(t0);
        clock.beginFrame(milliseconds(1), t0);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(clock.book(datagram, t0), t0);
        // A new rate applies from the next frame.
        clock.setLinkRate(1e9);
        QCOMPARE(clock.book(datagram, t0), t0);
        clock.beginFrame(milliseconds(1), t0 + milliseconds(1));
        clock.book(datagram, t0 + milliseconds(1));
        QCOMPARE(clock.linkFree(), t0 + milliseconds(1) + wireTime);
        // A frame ready while the link still carries the one before at the
        // old rate follows it at the new rate.
        clock.book(datagram, t0 + milliseconds(1));
        const Clock::time_point busyUntil = clock.linkFree();
        clock.setLinkRate(5e8);
        clock.beginFrame(milliseconds(1), t0 + milliseconds(1));
        clock.book(datagram, t0 + milliseconds(1));
        QCOMPARE(clock.linkFree(), busyUntil + 2 * wireTime);
    }
};

QTEST_APPLESS_MAIN(StreamClockTest)
#include "tst_streamclock.moc"
