#include "LensControllerSim.h"
#include "LogLines.h"
#include "LensLink.h"
#include "LensProtocol.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <memory>
#include <numeric>
#include <utility>

namespace {
const QString ControllerAddress = QStringLiteral("127.0.16.1");
const QString StrangerAddress = QStringLiteral("127.0.16.99");
// Bound of a wait for datagrams on loopback, with room for a busy machine.
constexpr int WaitMs = 10000;
} // namespace

// The link's socket against the simulated controller: the handshake's
// replies in order, every datagram of a batch, nothing from elsewhere.
class TestLensLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void handshake();
    void everyDatagramOfABatch();
    void onlyTheControllerIsHeard();
    void floodIsReadInBoundedPasses();
    void sendsFromAnotherThreadKeepTheirOrder();
    void bindFailureIsReported();

private:
    struct Reply
    {
        QString text;
        LensReplyEffects effects;
    };
    bool waitForReplies(int count) { return QTest::qWaitFor([&] { return replies_.size() >= count; }, WaitMs); }

    std::unique_ptr<LensControllerSim> sim_;
    std::unique_ptr<LensLink> link_;
    QList<Reply> replies_;
};

void TestLensLink::init()
{
    sim_ = std::make_unique<LensControllerSim>();
    QVERIFY(sim_->start(ControllerAddress));
    link_ = std::make_unique<LensLink>();
    QVERIFY2(link_->bind(), qPrintable(link_->errorString()));
    QVERIFY(link_->localPort() >= 60000 && link_->localPort() <= 65000);
    QVERIFY(link_->setController(ControllerAddress));
    replies_.clear();
    connect(link_.get(), &LensLink::replyReceived, this,
            [this](const QString& text, const LensReplyEffects& effects) { replies_.append({text, effects}); });
}

void TestLensLink::cleanup()
{
    link_.reset();
    sim_.reset();
}

void TestLensLink::handshake()
{
    link_->send(LensProtocol::Ver);
    QVERIFY(waitForReplies(6));
    QCOMPARE(sim_->commandTexts(), QList<QByteArray>{"ver"});
    QCOMPARE(replies_.at(0).text, QString("Kessane Brevan=2.1d4"));
    QVERIFY(replies_.at(0).effects.identified);
    QCOMPARE(replies_.at(5).effects.controllerName, std::optional<QString>("LC Name: <b>BENCH<b>"));
    const LensState& state = link_->state();
    QCOMPARE(state.deviceName, QString("Kessane Brevan"));
    QCOMPARE(state.version, QString("2.14"));
    QCOMPARE(state.zoomLow, 24);
    QCOMPARE(state.zoomHigh, 70);
    QCOMPARE(state.smallestFNumber, 1.4f);
    QVERIFY(state.af);
    QCOMPARE(replies_.at(4).effects.deviceLabel,
             std::optional<QString>("Device: Kessane Brevan v.2.14 @127.0.16.1  Lens: <b>24-70mm f/1.4</b>"));
}

void TestLensLink::everyDatagramOfABatch()
{
    link_->send(LensProtocol::Ping); // the simulator answers the link's port
    QVERIFY(waitForReplies(1));
    replies_.clear();
    sim_->setBatched(true);
    sim_->reply("focusDone");
    sim_->reply("Current=10,200,4");
    sim_->flushBatch();
    QVERIFY(waitForReplies(2));
    QVERIFY(replies_.at(0).effects.focusDone);
    QCOMPARE(replies_.at(1).effects.focusUpdate, std::optional<int>(200));
}

void TestLensLink::onlyTheControllerIsHeard()
{
    link_->send(LensProtocol::Ping);
    QVERIFY(waitForReplies(1));
    replies_.clear();
    const LogLines log("kessane.lens.link");
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(StrangerAddress), 0));
    for (int i = 0; i < 2; ++i)
        stranger.writeDatagram("focusDone", QHostAddress(QHostAddress::LocalHost), link_->localPort());
    sim_->reply(QByteArray(LensProtocol::MaxReplySize + 1, 'F')); // too long for a reply
    sim_->reply(QByteArray(LensProtocol::MaxReplySize, 'F'));     // as long as a reply may be
    sim_->reply("irisDone");
    // The last one sent: once it is in, those before it were read.
    QVERIFY(QTest::qWaitFor([&] { return !replies_.isEmpty() && replies_.last().effects.irisDone; }, WaitMs));
    QCOMPARE(replies_.size(), 2);
    QCOMPARE(replies_.first().text.size(), 512);
    QCOMPARE(link_->droppedDatagrams(), quint64(1)); // the long one
    // Strangers never stop: the first is logged, the rest counted.
    QCOMPARE(log.count("ignored a datagram from 127.0.16.99"), 1);

    // Before any controller is set, nothing is taken in (the datagram is in
    // the socket as the send returns, and read in the wait's first pass).
    QVERIFY(!link_->setController("127.0.16.256"));
    sim_->reply("focusDone");
    QTest::qWait(200);
    QCOMPARE(replies_.size(), 2);
}

// A flood from the controller's address is read a bounded batch at a time:
// the event loop comes round between batches, and what a batch cannot parse
// is counted and reported in the log.
void TestLensLink::floodIsReadInBoundedPasses()
{
    QUdpSocket flooder; // the controller's address, another port
    QVERIFY(flooder.bind(QHostAddress(ControllerAddress), 0));
    // Sent while no event runs: the link's socket holds as much as its
    // buffer takes (a few hundred) when the loop comes round.
    for (int i = 0; i < 2000; ++i)
        flooder.writeDatagram("Current=10,200,4", QHostAddress(QHostAddress::LocalHost), link_->localPort());

    // A round ends when an event posted during the previous one has run.
    QObject context;
    int round = 0;
    bool probePosted = false;
    QMap<int, int> repliesOfRound;
    QMap<int, quint64> droppedBeforeRound;
    connect(link_.get(), &LensLink::replyReceived, &context, [&] {
        ++repliesOfRound[round];
        if (std::exchange(probePosted, true))
            return;
        droppedBeforeRound.insert(round, link_->droppedDatagrams());
        QMetaObject::invokeMethod(&context, [&] {
            ++round;
            probePosted = false;
        }, Qt::QueuedConnection);
    });
    const LogLines log("kessane.lens.link");
    QVERIFY2(QTest::qWaitFor([&] { return repliesOfRound.size() >= 2; }, WaitMs), "one batch took the whole flood");

    // A pass takes 64 datagrams and parses 16 of them: the first pass, with
    // far more waiting, parsed 16 and dropped 48.
    QCOMPARE(repliesOfRound.first(), 16);
    QCOMPARE(droppedBeforeRound.value(1), quint64(48));
    for (int replies : repliesOfRound)
        QVERIFY(replies <= 16);
    // The first drop is logged at once, the rest counted.
    QCOMPARE(log.count("dropped datagrams of the controller 127.0.16.1"), 1);
    QVERIFY(log.has("the first;"));
    QCOMPARE(replies_.size(), std::accumulate(repliesOfRound.begin(), repliesOfRound.end(), 0));
    QCOMPARE(replies_.last().effects.focusUpdate, std::optional<int>(200));
}

void TestLensLink::sendsFromAnotherThreadKeepTheirOrder()
{
    std::unique_ptr<QThread> sender(QThread::create([this] {
        for (int i = 0; i < 20; ++i)
            link_->sendTo(ControllerAddress, LensProtocol::moveFocus(i));
    }));
    sender->start();
    QVERIFY(sender->wait(WaitMs));
    QVERIFY(QTest::qWaitFor([&] { return sim_->commands().size() == 20; }, WaitMs));
    for (int i = 0; i < 20; ++i)
        QCOMPARE(sim_->commandTexts().at(i), LensProtocol::moveFocus(i));
}

void TestLensLink::bindFailureIsReported()
{
    LensLink link;
    // An address this machine does not have: every attempt fails, and the
    // bind gives up after its bounded number of ports.
    QVERIFY(!link.bind(QHostAddress("192.0.2.1")));
    QVERIFY(!link.isBound());
    QVERIFY(link.errorString().contains("50 attempts"));

    // Every ping of such a link fails: the log hears of the first only.
    const LogLines log("kessane.lens.link");
    for (int i = 0; i < 100; ++i)
        link.sendTo(ControllerAddress, LensProtocol::Ping);
    QCOMPARE(log.count("the socket is not bound"), 1);
}

QTEST_GUILESS_MAIN(TestLensLink)
#include "tst_lens_link.moc"
