#include "LensControllerSim.h"
#include "LensLink.h"
#include "ThreadLog.h"
#include "pingWorker.h"

#include <QtTest>

#include <atomic>
#include <memory>

namespace {
const QString ControllerAddress = QStringLiteral("127.0.16.2");
// The controller's keep-alive period.
constexpr int PeriodMs = 600;
// Bound of a wait for a few periods of the pinger, with room for a busy machine.
constexpr int WaitMs = 10000;
} // namespace

// The keep-alive thread against the simulated controller. What it emits is
// recorded on its own thread ("ping", "report", and "finished" as the thread
// ends), so order and times are the pinger's own.
class TestPingWorker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answeredPingsReportNothing();
    void silenceIsReportedEveryPeriod();
    void zoomRangeIsHalfAnAnswer();
    void pausedSendsNothing();
    void stopIsPrompt();
    void stopEndsASleep();

private:
    int pings() const { return sim_->commandTexts().count("ping"); }

    std::unique_ptr<LensControllerSim> sim_;
    std::unique_ptr<LensLink> link_;
    std::unique_ptr<pingWorker> pinger_;
    std::unique_ptr<ThreadLog> emitted_;
    // Asked of the pinger's thread as it emits: a pause at the next report,
    // a stop at the next ping.
    std::atomic<bool> pauseAtReport_{false};
    std::atomic<bool> stopAtPing_{false};
};

void TestPingWorker::init()
{
    sim_ = std::make_unique<LensControllerSim>();
    QVERIFY(sim_->start(ControllerAddress));
    link_ = std::make_unique<LensLink>();
    QVERIFY(link_->bind());
    QVERIFY(link_->setController(ControllerAddress));
    pinger_ = std::make_unique<pingWorker>(ControllerAddress, link_.get());
    // As the dialog does: an answer starts the miss count again.
    connect(link_.get(), &LensLink::replyReceived, this, [this](const QString&, const LensReplyEffects& e) {
        if (e.resumePinger)
            pinger_->resume();
    });
    emitted_ = std::make_unique<ThreadLog>();
    pauseAtReport_ = false;
    stopAtPing_ = false;
    pingWorker* pinger = pinger_.get();
    ThreadLog* log = emitted_.get();
    connect(pinger, &pingWorker::sendDatagram, this, [this, pinger, log] {
        log->add("ping");
        if (stopAtPing_.exchange(false))
            pinger->stop();
    }, Qt::DirectConnection);
    connect(pinger, &pingWorker::cantsendping, this, [this, pinger, log] {
        log->add("report");
        if (pauseAtReport_.exchange(false))
            pinger->pause();
    }, Qt::DirectConnection);
    connect(pinger, &QThread::finished, this, [log] { log->add("finished"); }, Qt::DirectConnection);
    connect(pinger, &pingWorker::cantsendping, this, [](const QString& reason) { QCOMPARE(reason, QString("ERROR")); });
}

void TestPingWorker::cleanup()
{
    pinger_.reset();
    link_.reset();
    sim_.reset();
    emitted_.reset();
}

void TestPingWorker::answeredPingsReportNothing()
{
    pinger_->start();
    QVERIFY(QTest::qWaitFor([&] { return pings() >= 4; }, WaitMs));
    QCOMPARE(emitted_->count("report"), 0);
}

void TestPingWorker::silenceIsReportedEveryPeriod()
{
    sim_->setSilent(true);
    pinger_->start();
    QVERIFY(QTest::qWaitFor([&] { return emitted_->count("report") >= 3; }, WaitMs));
    // From the second ping on, each ping reports the controller lost.
    QCOMPARE(emitted_->whats().mid(0, 7),
             (QList<QByteArray>{"ping", "ping", "report", "ping", "report", "ping", "report"}));
    // The pings are at least a period apart: the loop sleeps it after each.
    qint64 last = -1;
    for (const ThreadLog::Entry& e : emitted_->entries()) {
        if (e.what != "ping")
            continue;
        QVERIFY2(last < 0 || e.ms - last >= PeriodMs, qPrintable(QString::number(e.ms - last)));
        last = e.ms;
    }

    // An answer starts the count afresh: the next silent ping reports
    // nothing, the one after it does. Paused as a report goes out, the loop
    // sends nothing more until the resume.
    pauseAtReport_ = true;
    QVERIFY(QTest::qWaitFor([&] { return pinger_->isPaused(); }, WaitMs));
    const int before = emitted_->size();
    pinger_->resume();
    QVERIFY(QTest::qWaitFor([&] { return emitted_->size() >= before + 3; }, WaitMs));
    QCOMPARE(emitted_->whats(before).mid(0, 3), (QList<QByteArray>{"ping", "ping", "report"}));
}

// Between two unanswered pings, a zoom-range reply takes one miss back: the
// report comes a ping later. (Pings sent one at a time, without the thread.)
void TestPingWorker::zoomRangeIsHalfAnAnswer()
{
    sim_->setSilent(true);
    pinger_->pingOnce();
    pinger_->missBack();
    pinger_->pingOnce();
    QCOMPARE(emitted_->count("report"), 0);
    pinger_->pingOnce();
    QCOMPARE(emitted_->whats(), (QList<QByteArray>{"ping", "ping", "ping", "report"}));
}

void TestPingWorker::pausedSendsNothing()
{
    // Paused before it starts: once its thread runs, where a running loop
    // would ping at once, a period and more passes without a ping.
    connect(pinger_.get(), &QThread::started, this, [log = emitted_.get()] { log->add("started"); },
            Qt::DirectConnection);
    pinger_->pause();
    pinger_->start();
    QVERIFY(QTest::qWaitFor([&] { return emitted_->size() > 0; }, WaitMs));
    QTest::qWait(PeriodMs * 13 / 10);
    QCOMPARE(emitted_->whats(), QList<QByteArray>{"started"});
    pinger_->resume();
    QVERIFY(QTest::qWaitFor([&] { return pings() >= 1; }, WaitMs));
}

void TestPingWorker::stopIsPrompt()
{
    // A stop asked before the thread runs is taken back; the thread ends at once.
    pinger_->stop();
    pinger_->start();
    QVERIFY(pinger_->wait(WaitMs));
    QCOMPARE(emitted_->whats(), QList<QByteArray>{"finished"});

    // Asked as a ping goes out, a stop ends the thread with no further ping.
    stopAtPing_ = true;
    pinger_->start();
    QVERIFY(pinger_->wait(WaitMs));
    QCOMPARE(emitted_->whats(1), (QList<QByteArray>{"ping", "finished"}));

    // And the pause's wait.
    pinger_->pause();
    pinger_->start();
    QTest::qWait(50);
    pinger_->stop();
    QVERIFY(pinger_->wait(WaitMs));
}

// The workers' loops sleep on LoopControl, and a stop ends their sleep at
// once: a sleep of an hour ends as soon as the stop is asked.
void TestPingWorker::stopEndsASleep()
{
    LoopControl loop;
    std::atomic<bool> sleeping{false};
    std::atomic<bool> slept{false};
    std::unique_ptr<QThread> sleeper(QThread::create([&] {
        sleeping = true;
        slept = !loop.sleep(3600 * 1000);
    }));
    sleeper->start();
    // The stop is asked well into the sleep.
    QVERIFY(QTest::qWaitFor([&] { return bool(sleeping); }, WaitMs));
    QTest::qWait(200);
    loop.stop();
    QVERIFY2(sleeper->wait(WaitMs), "the sleep went on after the stop");
    QVERIFY(slept); // and told that it was stopped
    QVERIFY(!loop.sleep(3600 * 1000)); // a stop asked before a sleep ends it too
}

QTEST_GUILESS_MAIN(TestPingWorker)
#include "tst_ping_worker.moc"
