#include "LensControllerSim.h"
#include "LensLink.h"
#include "ThreadLog.h"
#include "pingWorker.h"

#include <QtTest>

#include <atomic>
#include <memory>

namespace {
const QString ControllerAddress = QStringLiteral("127.0.16.2");
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
    void pausedSendsNothing();
    void stopIsPrompt();

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
        QVERIFY2(last < 0 || e.ms - last >= pingWorker::PeriodMs, qPrintable(QString::number(e.ms - last)));
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

void TestPingWorker::pausedSendsNothing()
{
    pinger_->pause();
    pinger_->start();
    QTest::qWait(3 * pingWorker::PeriodMs / 2);
    QCOMPARE(emitted_->size(), 0);
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

    // A stop ends the period's sleep: asked as a ping goes out, the thread
    // ends before that period is over (on its own clock; a sleep that a stop
    // does not end takes the whole period).
    stopAtPing_ = true;
    pinger_->start();
    QVERIFY(pinger_->wait(WaitMs));
    const QList<ThreadLog::Entry> run = emitted_->entries().mid(1);
    QCOMPARE(run.size(), 2);
    QCOMPARE(run.at(0).what, QByteArray("ping"));
    QCOMPARE(run.at(1).what, QByteArray("finished"));
    QVERIFY2(run.at(1).ms - run.at(0).ms < pingWorker::PeriodMs, qPrintable(QString::number(run.at(1).ms - run.at(0).ms)));

    // And the pause's wait.
    pinger_->pause();
    pinger_->start();
    QTest::qWait(50);
    pinger_->stop();
    QVERIFY(pinger_->wait(WaitMs));
}

QTEST_GUILESS_MAIN(TestPingWorker)
#include "tst_ping_worker.moc"
