#include "LensControllerSim.h"
#include "LensLink.h"
#include "ThreadLog.h"
#include "zoomWorker.h"

#include <QtTest>

#include <atomic>
#include <memory>

using namespace LensProtocol;
using Motor = zoomWorker::Motor;

namespace {
const QString ControllerAddress = QStringLiteral("127.0.16.3");
// The controller's pacing: a pause after each command and one between turns.
constexpr int CommandPauseMs = 200;
constexpr int TurnPauseMs = 10;
// Bound of a wait for a few turns of the worker, with room for a busy machine.
constexpr int WaitMs = 10000;
} // namespace

// The motor thread against the simulated controller: held flags repeat their
// commands, the target drive, the address change and the packet channel.
// The datagrams it hands the link are also recorded on its own thread, in
// its order and at the times it sent them.
class TestZoomWorker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void heldFlagRepeats();
    void pausedSendsNothing();
    void heldFlagsInListOrder();
    void targetsWithZeroPositions();
    void targetSpeedByRatio();
    void addressChange();
    void packetChannel();

private:
    bool waitForCommands(int count) { return QTest::qWaitFor([&] { return sim_->commands().size() >= count; }, WaitMs); }

    std::unique_ptr<LensControllerSim> sim_;
    std::unique_ptr<LensLink> link_;
    std::unique_ptr<zoomWorker> worker_;
    std::unique_ptr<ThreadLog> sent_;
};

void TestZoomWorker::init()
{
    sim_ = std::make_unique<LensControllerSim>();
    QVERIFY(sim_->start(ControllerAddress));
    sim_->setSilent(true);
    link_ = std::make_unique<LensLink>();
    QVERIFY(link_->bind());
    QVERIFY(link_->setController(ControllerAddress));
    worker_ = std::make_unique<zoomWorker>(ControllerAddress, link_.get());
    sent_ = std::make_unique<ThreadLog>();
    ThreadLog* log = sent_.get();
    connect(worker_.get(), &zoomWorker::sendDatagram, this,
            [log](const QString&, const QByteArray& datagram) { log->add(datagram); }, Qt::DirectConnection);
}

void TestZoomWorker::cleanup()
{
    worker_.reset();
    link_.reset();
    sim_.reset();
    sent_.reset();
}

void TestZoomWorker::heldFlagRepeats()
{
    worker_->setFocusStep(12);
    worker_->setMotor(Motor::FocusNearSlow, true);
    worker_->start();
    QVERIFY(waitForCommands(5));
    worker_->setMotor(Motor::FocusNearSlow, false);
    for (const QByteArray& text : sim_->commandTexts().mid(0, 5))
        QCOMPARE(text, QByteArray("moveFocus=12"));
    // The command pause follows each one, the turn's pause each turn: they
    // go out at least that far apart.
    const QList<ThreadLog::Entry> sent = sent_->entries().mid(0, 5);
    for (int i = 1; i < sent.size(); ++i) {
        const qint64 gap = sent.at(i).ms - sent.at(i - 1).ms;
        QVERIFY2(gap >= CommandPauseMs + TurnPauseMs, qPrintable(QString::number(gap)));
    }

    // Another flag held after the release: from its first command on, the
    // released one sends nothing.
    worker_->setMotor(Motor::FocusFarFast, true);
    QVERIFY(QTest::qWaitFor([&] { return sim_->commandTexts().count("moveFocus=-24") >= 2; }, WaitMs));
    worker_->setMotor(Motor::FocusFarFast, false);
    const QList<QByteArray> texts = sent_->whats();
    QVERIFY(!texts.mid(texts.indexOf("moveFocus=-24")).contains("moveFocus=12"));
}

void TestZoomWorker::pausedSendsNothing()
{
    // Paused before it starts (a pause takes effect at the loop's next
    // turn), a held flag sends nothing until the resume: once the thread
    // runs, where a running loop would send at once, more than a turn passes
    // without a command.
    std::atomic<bool> started{false};
    connect(worker_.get(), &QThread::started, this, [&] { started = true; }, Qt::DirectConnection);
    worker_->pause();
    worker_->setMotor(Motor::IrisCloseFast, true);
    worker_->start();
    QVERIFY(QTest::qWaitFor([&] { return bool(started); }, WaitMs));
    QTest::qWait((CommandPauseMs + TurnPauseMs) * 13 / 10);
    QCOMPARE(sent_->size(), 0);
    worker_->resume();
    QVERIFY(waitForCommands(1));
    QCOMPARE(sim_->commands().at(0).text, QByteArray("moveAper=-2"));
}

void TestZoomWorker::heldFlagsInListOrder()
{
    worker_->setMotor(Motor::IrisOpenSlow, true);
    worker_->setMotor(Motor::FocusFarFast, true);
    worker_->setMotor(Motor::FocusNearSlow, true);
    worker_->start();
    QVERIFY(waitForCommands(6));
    const QList<QByteArray> turn{"moveFocus=5", "moveFocus=-10", "moveAper=1"};
    QCOMPARE(sim_->commandTexts().mid(0, 6), turn + turn);
}

void TestZoomWorker::targetsWithZeroPositions()
{
    // The worker's signals come from its thread: they are received queued,
    // on this one, through a receiver that ends with the test.
    QObject receiver;
    int focusDone = 0;
    int irisDone = 0;
    QList<int> zoomSteps;
    connect(worker_.get(), &zoomWorker::setFocusDone, &receiver, [&] { ++focusDone; });
    connect(worker_.get(), &zoomWorker::setIrisDone, &receiver, [&] { ++irisDone; });
    connect(worker_.get(), &zoomWorker::changeZoomStep, &receiver, [&](int step) { zoomSteps.append(step); });
    // Position and target 0: no ratio to compare, the slow speed; the drive
    // ends after one command toward the low end (d < 3 and d <= 3 both hold).
    worker_->setTarget(zoomWorker::Axis::Focus, 0);
    worker_->setTarget(zoomWorker::Axis::Iris, 0);
    // 0 of 100 is below the zoom's ratio: the fast speed toward narrow.
    worker_->setTarget(zoomWorker::Axis::Zoom, 100);
    worker_->start();
    QVERIFY(waitForCommands(3));
    QCOMPARE(sim_->commandTexts().mid(0, 3), (QList<QByteArray>{"ZoomN=5", "FocusF=2", "IrisC=2"}));
    QVERIFY(QTest::qWaitFor([&] { return focusDone == 1 && irisDone == 1; }, WaitMs));
    QCOMPARE(zoomSteps.first(), 5);
    QCOMPARE(worker_->step(zoomWorker::Axis::Zoom), 5);
    QVERIFY(worker_->isTargetPending(zoomWorker::Axis::Zoom));
    QVERIFY(!worker_->isTargetPending(zoomWorker::Axis::Focus));
    worker_.reset(); // before the receiver's counters go
}

// The speed of a drive comes from the ratio of position and target: below
// 2.0 for the focus, below 0.1 for zoom and iris, the fast one (5).
void TestZoomWorker::targetSpeedByRatio()
{
    worker_->setZoomPosition(50);
    worker_->setTarget(zoomWorker::Axis::Zoom, 100);  // 0.5: slow
    worker_->setFocusPosition(100);
    worker_->setTarget(zoomWorker::Axis::Focus, 150); // 0.67: fast
    worker_->setAperture(2);
    worker_->setTarget(zoomWorker::Axis::Iris, 32);   // 0.0625: fast
    worker_->start();
    QVERIFY(waitForCommands(3));
    QCOMPARE(sim_->commandTexts().mid(0, 3), (QList<QByteArray>{"ZoomN=2", "FocusN=5", "IrisO=5"}));
}

void TestZoomWorker::addressChange()
{
    QVERIFY(!worker_->changeAddress("10.0.0.256"));
    QObject receiver;
    QString changed;
    connect(worker_.get(), &zoomWorker::ipSettingChanged, &receiver, [&](const QString& a) { changed = a; });
    ThreadLog* log = sent_.get();
    connect(worker_.get(), &zoomWorker::ipSettingChanged, this, [log] { log->add("changed"); },
            Qt::DirectConnection);
    QVERIFY(worker_->changeAddress("10.0.0.007"));
    worker_->start();
    QVERIFY(waitForCommands(1));
    QCOMPARE(sim_->commandTexts(), QList<QByteArray>{"ChangeIP=10.0.0.7"});
    QVERIFY(QTest::qWaitFor([&] { return !changed.isEmpty(); }, WaitMs));
    QCOMPARE(changed, QString("10.0.0.7"));
    // The controller is given a second to take its new address before it is
    // told (on the worker's own clock).
    const QList<ThreadLog::Entry> sent = sent_->entries();
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.at(1).what, QByteArray("changed"));
    QVERIFY2(sent.at(1).ms - sent.at(0).ms >= 1000, qPrintable(QString::number(sent.at(1).ms - sent.at(0).ms)));
    worker_.reset();
}

void TestZoomWorker::packetChannel()
{
    QVERIFY(sim_->startPacketPeer());
    sim_->lens().zoom = 0x1234;
    worker_->setPacketPort(sim_->packetPort());
    QVERIFY(!worker_->tcpMoveFor("Pan", 30));
    QObject receiver;
    QList<int> zoom;
    connect(worker_.get(), &zoomWorker::zoomValue, &receiver, [&](int position) { zoom.append(position); });
    worker_->start();
    QVERIFY(worker_->tcpMoveFor("ZoomWide", 30));
    QVERIFY(QTest::qWaitFor([&] { return !zoom.isEmpty(); }, WaitMs));
    QCOMPARE(zoom.first(), 0x1234);
    QCOMPARE(worker_->zoomPosition(), 0x1234);
    QCOMPARE(sim_->packets(), (QList<QByteArray>{movePacket(PacketMove::ZoomWide, 1), movePacket(PacketMove::ZoomWide, 0),
                                                queryPacket(PacketQuery::Zoom)}));
    worker_.reset();
}

QTEST_GUILESS_MAIN(TestZoomWorker)
#include "tst_zoom_worker.moc"
