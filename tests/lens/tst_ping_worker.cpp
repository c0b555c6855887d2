#include "LensControllerSim.h"
#include "LensLink.h"
#include "pingWorker.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

namespace {
const QString ControllerAddress = QStringLiteral("127.0.16.2");
} // namespace

// The keep-alive thread against the simulated controller. Times are read on
// a loaded machine, so their bounds are generous.
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
    QElapsedTimer clock_;
    QList<qint64> pingTimes_;
    QList<qint64> reportTimes_;
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
    clock_.start();
    pingTimes_.clear();
    reportTimes_.clear();
    connect(sim_.get(), &LensControllerSim::commandReceived, this, [this] { pingTimes_.append(clock_.elapsed()); });
    connect(pinger_.get(), &pingWorker::cantsendping, this, [this](const QString& reason) {
        QCOMPARE(reason, QString("ERROR"));
        reportTimes_.append(clock_.elapsed());
    });
}

void TestPingWorker::cleanup()
{
    pinger_.reset();
    link_.reset();
    sim_.reset();
}

void TestPingWorker::answeredPingsReportNothing()
{
    pinger_->start();
    QVERIFY(QTest::qWaitFor([&] { return pings() >= 4; }, 5000));
    QVERIFY(reportTimes_.isEmpty());
}

void TestPingWorker::silenceIsReportedEveryPeriod()
{
    sim_->setSilent(true);
    pinger_->start();
    QVERIFY(QTest::qWaitFor([&] { return reportTimes_.size() >= 3; }, 6000));
    // The second ping (one period after the first) is the first report.
    const qint64 first = reportTimes_.at(0) - pingTimes_.at(0);
    // Times are taken as this thread gets the signals, which a loaded machine
    // delays: the lower bounds leave it a good part of the period.
    QVERIFY2(first >= pingWorker::PeriodMs / 4 && first < 1500, qPrintable(QString::number(first)));
    for (int i = 1; i < 3; ++i) {
        const qint64 gap = reportTimes_.at(i) - reportTimes_.at(i - 1);
        QVERIFY2(gap >= pingWorker::PeriodMs / 4 && gap < 1500, qPrintable(QString::number(gap)));
    }
    // An answer starts the count afresh: the next silent ping reports nothing.
    pinger_->pause();
    QTest::qWait(pingWorker::PeriodMs + 100);
    const int reports = reportTimes_.size();
    const int sent = pingTimes_.size();
    pinger_->resume();
    QVERIFY(QTest::qWaitFor([&] { return pingTimes_.size() == sent + 1; }, 3000));
    QTest::qWait(100);
    QCOMPARE(reportTimes_.size(), reports);
    // The second one reports again.
    QVERIFY(QTest::qWaitFor([&] { return pingTimes_.size() == sent + 2; }, 3000));
    QVERIFY(QTest::qWaitFor([&] { return reportTimes_.size() == reports + 1; }, 3000));
}

void TestPingWorker::pausedSendsNothing()
{
    pinger_->pause();
    pinger_->start();
    QTest::qWait(3 * pingWorker::PeriodMs / 2);
    QCOMPARE(pings(), 0);
    QVERIFY(reportTimes_.isEmpty());
    pinger_->resume();
    QVERIFY(QTest::qWaitFor([&] { return pings() >= 1; }, 2000));
}

void TestPingWorker::stopIsPrompt()
{
    // A stop asked before the thread runs is taken back; the thread ends at once.
    pinger_->stop();
    pinger_->start();
    QVERIFY(pinger_->wait(2000));
    QCOMPARE(pings(), 0);

    // A stop ends the period's sleep, and the pause's wait.
    pinger_->start();
    QVERIFY(QTest::qWaitFor([&] { return pings() >= 1; }, 2000));
    QElapsedTimer stopping;
    stopping.start();
    pinger_->stop();
    QVERIFY(pinger_->wait(2000));
    QVERIFY2(stopping.elapsed() < pingWorker::PeriodMs - 100, qPrintable(QString::number(stopping.elapsed())));

    pinger_->pause();
    pinger_->start();
    QTest::qWait(50);
    pinger_->stop();
    QVERIFY(pinger_->wait(2000));
}

QTEST_GUILESS_MAIN(TestPingWorker)
#include "tst_ping_worker.moc"
