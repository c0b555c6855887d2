#include "FakeStation.h"
#include "LogLines.h"
#include "RemoteClient.h"
#include "ScriptedPrompt.h"
#include "remote/RemoteServer.h"

#include <QtTest>

#include <memory>

using namespace RemoteProtocol;
using Commands = QList<RemoteCommand>;

Q_DECLARE_METATYPE(RemoteProtocol::StationState)
Q_DECLARE_METATYPE(RemoteProtocol::RemoteCommand)

namespace {

const QHostAddress Loopback(QHostAddress::LocalHost);
const QList<QByteArray> Ready{"Ready"};

} // namespace

class TestRemoteServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusReplies_data();
    void statusReplies();
    void captureDoneOnce();
    void roiRequest();
    void commandsInTableOrder();
    void replyComesFirst();
    void conditionsSeeEarlierCommands();
    void noCamera();
    void handlerEndsBlock();
    void longBlockIsDiscarded();
    void severalClients();
    void blocksWaitTheirTurn();
    void fullQueueClosesTheClientUnanswered();
    void floodOfSettingsEndsOnTheLastValue();
    void acquisitionCommandsWaitForTheCapture();
    void heldValueNeverReplacesANewerOne();
    void enableAndDisable();
    void portInUse();
    void defaultPort();
    void addressList();

private:
    std::unique_ptr<RemoteClient> connectedClient();
    QByteArray exchange(RemoteClient& client, const QByteArray& block, int replies = 1);
    // Sends a block and waits for its reply only.
    static QList<QByteArray> ask(RemoteClient& client, const QByteArray& block);
    // Sends "#normon" and waits until it has run: every block that came
    // before it has run by then, or never will.
    bool markerRan(RemoteClient& client);

    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<FakeStation> station_;
    std::unique_ptr<RemoteServer> server_;
};

void TestRemoteServer::init()
{
    prompt_ = std::make_unique<ScriptedPrompt>();
    station_ = std::make_unique<FakeStation>();
    server_ = std::make_unique<RemoteServer>(station_.get(), station_.get());
    server_->setListenAddress(Loopback, 0);
    QVERIFY(server_->enableRemoteControl(true));
}

void TestRemoteServer::cleanup()
{
    server_.reset();
    station_.reset();
    prompt_.reset();
}

std::unique_ptr<RemoteClient> TestRemoteServer::connectedClient()
{
    auto client = std::make_unique<RemoteClient>();
    if (!client->connectTo(Loopback, server_->serverPort()))
        return nullptr;
    return client;
}

QByteArray TestRemoteServer::exchange(RemoteClient& client, const QByteArray& block, int replies)
{
    client.sendRaw(block);
    client.waitForReplies(replies);
    QTest::qWait(20); // anything sent beyond the expected replies would show up here
    return client.takeReceivedBytes();
}

QList<QByteArray> TestRemoteServer::ask(RemoteClient& client, const QByteArray& block)
{
    client.sendRaw(block);
    return client.waitForReplies(1);
}

bool TestRemoteServer::markerRan(RemoteClient& client)
{
    client.sendRaw("#normon");
    return QTest::qWaitFor([this] { return station_->executed.contains({Command::NormOn, {}}); });
}

void TestRemoteServer::statusReplies_data()
{
    QTest::addColumn<StationState>("state");
    QTest::addColumn<QByteArray>("reply");

    StationState none;
    QTest::newRow("no camera") << none << QByteArray("No Camera\0", 10);
    StationState idle;
    idle.connected = true;
    QTest::newRow("ready") << idle << QByteArray("Ready\0", 6);
    StationState preview = idle;
    preview.previewing = true;
    QTest::newRow("preview") << preview << QByteArray("Preview\0", 8);
    StationState capture = idle;
    capture.capturing = true;
    capture.framesReceived = 12;
    capture.targetFrames = 40;
    QTest::newRow("capturing") << capture << QByteArray("Captured 12/40\0", 15);
}

void TestRemoteServer::statusReplies()
{
    QFETCH(StationState, state);
    QFETCH(QByteArray, reply);
    station_->state = state;
    auto client = connectedClient();
    QVERIFY(client);
    // The console's poll: 7 bytes, no NUL.
    QCOMPARE(exchange(*client, "#status"), reply);
    QVERIFY(station_->executed.isEmpty());
}

void TestRemoteServer::captureDoneOnce()
{
    station_->state.connected = true;
    station_->state.captureDone = true;
    auto client = connectedClient();
    QVERIFY(client);
    QCOMPARE(exchange(*client, "#status", 2), QByteArray("ReadyDone\0Ready\0", 16));
    QCOMPARE(exchange(*client, "#status"), QByteArray("Ready\0", 6));
}

void TestRemoteServer::roiRequest()
{
    station_->state.connected = true;
    station_->roi = 4711;
    auto client = connectedClient();
    QVERIFY(client);
    // Only the value, and nothing else in the block runs.
    QCOMPARE(exchange(*client, QByteArray("#start#getroi\0", 14)), QByteArray("4711\0", 5));
    QVERIFY(station_->executed.isEmpty());
    // The next reply is the value again, but the commands of that block run.
    QCOMPARE(exchange(*client, QByteArray("#lut\0", 5)), QByteArray("4711\0", 5));
    QCOMPARE(station_->executed, (Commands{{Command::Lut, {}}}));
    QCOMPARE(exchange(*client, "#status"), QByteArray("Ready\0", 6));
}

void TestRemoteServer::commandsInTableOrder()
{
    station_->state.connected = true;
    station_->state.colourCamera = true;
    auto client = connectedClient();
    QVERIFY(client);
    exchange(*client, "#nolut#ref#stop#lcshow#normon#split#lcsave=Near");
    QCOMPARE(station_->executed, (Commands{{Command::NormOn, {}}, {Command::Stop, {}},
                                           {Command::Split, {}}, {Command::NoLut, {}},
                                           {Command::Reference, {}}}));
    QCOMPARE(station_->lens, (Commands{{Command::LensShow, {}}, {Command::LensSave, "Near"}}));
}

void TestRemoteServer::replyComesFirst()
{
    station_->state.connected = true;
    auto client = connectedClient();
    QVERIFY(client);
    // The reply tells the state from before the block's commands ran.
    QCOMPARE(exchange(*client, QByteArray("#start\0", 7)), QByteArray("Ready\0", 6));
    QCOMPARE(station_->executed, (Commands{{Command::Start, {}}}));
    QVERIFY(station_->state.capturing);
}

void TestRemoteServer::conditionsSeeEarlierCommands()
{
    station_->state.connected = true;
    auto client = connectedClient();
    QVERIFY(client);
    // "#preview" comes first in the table and starts the preview, so
    // "#nopreview" then finds it running; "#trig" is ignored by then.
    exchange(*client, "#nopreview#trig#preview");
    QCOMPARE(station_->executed, (Commands{{Command::Preview, {}}, {Command::NoPreview, {}},
                                           {Command::Trigger, {}}}));
    station_->executed.clear();
    station_->state.previewing = true;
    exchange(*client, "#start#split#preview#trig");
    // Mono camera: no split; the capture start ends the preview, so the
    // preview starts again and the trigger switch is skipped.
    QCOMPARE(station_->executed, (Commands{{Command::Start, {}}, {Command::Preview, {}}}));
}

void TestRemoteServer::noCamera()
{
    auto client = connectedClient();
    QVERIFY(client);
    QCOMPARE(exchange(*client, "#stop#start#preview#nopreview#camname=C1"),
             QByteArray("No Camera\0", 10));
    QVERIFY(station_->executed.isEmpty());
    exchange(*client, "#folder=/data/x");
    QCOMPARE(station_->executed, (Commands{{Command::Folder, "/data/x"}}));
}

void TestRemoteServer::handlerEndsBlock()
{
    station_->state.connected = true;
    station_->refuse = Command::Lut;
    auto client = connectedClient();
    QVERIFY(client);
    exchange(*client, "#normon#lut#fr=5");
    QCOMPARE(station_->executed, (Commands{{Command::NormOn, {}}, {Command::Lut, {}}}));
}

void TestRemoteServer::longBlockIsDiscarded()
{
    station_->state.connected = true;
    auto client = connectedClient();
    QVERIFY(client);
    const QByteArray block = "#normon" + QByteArray(600 - 7 - 5, ' ') + "#stop";
    QCOMPARE(block.size(), 600);
    // One reply for the whole block; its tail is neither acted on nor read
    // as a block of its own.
    QCOMPARE(exchange(*client, block), QByteArray("Ready\0", 6));
    QCOMPARE(station_->executed, (Commands{{Command::NormOn, {}}}));
    QCOMPARE(exchange(*client, "#status"), QByteArray("Ready\0", 6));
}

void TestRemoteServer::severalClients()
{
    station_->state.connected = true;
    auto first = connectedClient();
    auto second = connectedClient();
    QVERIFY(first && second);
    QCOMPARE(exchange(*second, "#status"), QByteArray("Ready\0", 6));
    QCOMPARE(exchange(*first, "#status"), QByteArray("Ready\0", 6));
    // A client that leaves does not disturb the others.
    second->disconnectFromStation();
    QTRY_COMPARE(server_->clientCount(), 1);
    QCOMPARE(exchange(*first, QByteArray("#lut\0", 5)), QByteArray("Ready\0", 6));
    QCOMPARE(station_->executed, (Commands{{Command::Lut, {}}}));
}

// A command that runs events (a wait, a box) holds back the blocks behind
// it; status requests are answered meanwhile, and clients may leave.
void TestRemoteServer::blocksWaitTheirTurn()
{
    station_->state.connected = true;
    station_->slow = Command::Frames;
    auto first = connectedClient();
    auto second = connectedClient();
    auto third = connectedClient();
    QVERIFY(first && second && third);
    QByteArray lutReply, statusReply;
    Commands executedMeanwhile;
    station_->whileSlow = [&] {
        second->sendRaw("#fr=2");
        second->disconnectFromStation(); // gone before its command runs
        lutReply = exchange(*third, QByteArray("#lut\0", 5));
        statusReply = exchange(*third, "#status");
        executedMeanwhile = station_->executed;
    };
    first->sendRaw("#fr=1");
    QTRY_COMPARE(station_->executed.size(), 3);
    QCOMPARE(lutReply, QByteArray("Ready\0", 6));
    QCOMPARE(statusReply, QByteArray("Ready\0", 6));
    QCOMPARE(executedMeanwhile, (Commands{{Command::Frames, "1"}}));
    QCOMPARE(station_->executed, (Commands{{Command::Frames, "1"}, {Command::Frames, "2"}, {Command::Lut, {}}}));
    QCOMPARE(station_->mostRunning, 1);
}

// While a command runs events, the queue fills; a block that then finds no
// room is neither run nor answered: its client is closed.
void TestRemoteServer::fullQueueClosesTheClientUnanswered()
{
    station_->state.connected = true;
    station_->slow = Command::Frames;
    const LogLines log("kessane.station.remote");
    auto busy = connectedClient();
    auto filler = connectedClient();
    auto late = connectedClient();
    QVERIFY(busy && filler && late);
    const quint16 latePort = late->localPort();
    int answered = 0;
    bool lateClosed = false;
    int floodClosed = 0;
    station_->whileSlow = [&] {
        for (int i = 0; i < RemoteBlockQueue::MaxBlocks; ++i)
            answered += ask(*filler, QByteArray("#lut\0", 5)) == Ready;
        late->sendRaw(QByteArray("#nolut\0", 7));
        lateClosed = QTest::qWaitFor([&] { return !late->isConnected(); });
        // A flood of them is logged as a count.
        for (int i = 0; i < 20; ++i) {
            auto flood = connectedClient();
            flood->sendRaw(QByteArray("#nolut\0", 7));
            floodClosed += QTest::qWaitFor([&] { return !flood->isConnected(); }, 10000);
        }
    };
    busy->sendRaw("#fr=1");
    QTRY_COMPARE(station_->executed.size(), 1 + RemoteBlockQueue::MaxBlocks);
    // Nothing else runs before a block sent after them.
    QVERIFY(markerRan(*busy));
    QCOMPARE(station_->executed.size(), 2 + RemoteBlockQueue::MaxBlocks);
    QVERIFY(!station_->executed.contains({Command::NoLut, {}}));
    QCOMPARE(answered, RemoteBlockQueue::MaxBlocks);
    QVERIFY(lateClosed);
    QCOMPARE(late->takeReceivedBytes(), QByteArray());
    QVERIFY(log.has(QStringLiteral("closed the connection of 127.0.0.1:%1 unanswered").arg(latePort)));
    QCOMPARE(floodClosed, 20);
    // The first names its peer; the marker, queued, ends the count.
    QCOMPARE(log.count(QStringLiteral("closed the connection of")), 1);
    QVERIFY(log.has(QStringLiteral("closed unanswered, the queue full: over after 21 times")));
}

// The console's way, a connection per command: far more values than the
// queue holds arrive while a command runs events, and the last one wins.
void TestRemoteServer::floodOfSettingsEndsOnTheLastValue()
{
    station_->state.connected = true;
    station_->slow = Command::Frames;
    auto busy = connectedClient();
    QVERIFY(busy);
    const int flood = 4 * RemoteBlockQueue::MaxBlocks;
    int answered = 0;
    station_->whileSlow = [&] {
        for (int value = 1; value <= flood; ++value) {
            auto client = connectedClient();
            if (!client || ask(*client, "#exp=" + QByteArray::number(value)) != Ready)
                break;
            ++answered;
        }
    };
    busy->sendRaw("#fr=1");
    QTRY_COMPARE(station_->executed.size(), 2);
    QVERIFY(markerRan(*busy));
    QCOMPARE(answered, flood);
    QCOMPARE(station_->executed, (Commands{{Command::Frames, "1"}, {Command::Exposure, QString::number(flood)},
                                           {Command::NormOn, {}}}));
}

// During a capture the exposure and the trigger switch wait for its end, the
// rest acts at once; each kind held is logged once. At the end the last value
// of each runs, with no other command to bring it, and before any block that
// comes later.
void TestRemoteServer::acquisitionCommandsWaitForTheCapture()
{
    station_->state.connected = true;
    station_->state.capturing = true;
    const LogLines log("kessane.station.remote");
    auto client = connectedClient();
    QVERIFY(client);
    exchange(*client, "#exp=5#trig#lut");
    exchange(*client, "#notrig#exp=7");
    exchange(*client, "#fr=3");
    QCOMPARE(station_->executed, (Commands{{Command::Lut, {}}, {Command::Frames, "3"}}));
    QCOMPARE(log.count(QStringLiteral("waits for the end of the capture")), 2);
    station_->executed.clear();

    station_->state.capturing = false;
    server_->captureEnded();
    QTRY_COMPARE(station_->executed, (Commands{{Command::NoTrigger, {}}, {Command::Exposure, "7"}}));
    server_->captureEnded(); // nothing held any more
    station_->executed.clear();
    QVERIFY(markerRan(*client));
    QCOMPARE(station_->executed, (Commands{{Command::NormOn, {}}}));
}

// A capture's held values run as soon as it no longer acquires, before
// anything that comes after its end: "#stop" and a newer value in one block,
// a value that arrives before the window reports the end, or nothing at all
// after a block that ends with "#stop".
void TestRemoteServer::heldValueNeverReplacesANewerOne()
{
    station_->state.connected = true;
    station_->state.capturing = true;
    auto client = connectedClient();
    QVERIFY(client);
    ask(*client, "#trig");
    ask(*client, "#exp=300");
    ask(*client, "#stop#exp=500");
    QTRY_COMPARE(station_->executed,
                 (Commands{{Command::Stop, {}}, {Command::Trigger, {}}, {Command::Exposure, "300"},
                           {Command::Exposure, "500"}}));

    station_->executed.clear();
    QCOMPARE(ask(*client, "#start"), Ready);
    ask(*client, "#exp=300");
    station_->state.capturing = false; // the target is reached; its end is not reported yet
    QCOMPARE(ask(*client, "#exp=500"), Ready);
    QTRY_COMPARE(station_->executed,
                 (Commands{{Command::Start, {}}, {Command::Exposure, "300"}, {Command::Exposure, "500"}}));
    server_->captureEnded();
    QCOMPARE(ask(*client, "#lut"), Ready); // runs after whatever the end could still have run
    QTRY_COMPARE(station_->executed.size(), 4);
    QCOMPARE(station_->executed.last(), (RemoteCommand{Command::Lut, {}}));

    station_->executed.clear();
    QCOMPARE(ask(*client, "#start"), Ready);
    ask(*client, "#exp=300");
    ask(*client, "#normon#stop"); // "#stop" comes last in the table's order
    QTRY_COMPARE(station_->executed, (Commands{{Command::Start, {}}, {Command::NormOn, {}}, {Command::Stop, {}},
                                               {Command::Exposure, "300"}}));
}

void TestRemoteServer::enableAndDisable()
{
    QCOMPARE(prompt_->titles(), QStringList{"Remote Control Network's"});
    QVERIFY(prompt_->shown.first().text.startsWith("Remote Control available for IP's:<br> <br>"));
    station_->state.connected = true;
    auto client = connectedClient();
    QVERIFY(client);
    QCOMPARE(exchange(*client, "#status"), QByteArray("Ready\0", 6)); // accepted by now
    const quint16 port = server_->serverPort();
    QVERIFY(server_->enableRemoteControl(false));
    QVERIFY(!server_->isListening());
    RemoteClient late;
    QVERIFY(!late.connectTo(Loopback, port, 500));
    // An accepted connection outlives the listening.
    QCOMPARE(exchange(*client, "#status"), QByteArray("Ready\0", 6));
}

void TestRemoteServer::portInUse()
{
    FakeStation other;
    RemoteServer second(&other, &other);
    second.setListenAddress(Loopback, server_->serverPort());
    prompt_->shown.clear();
    QVERIFY(!second.enableRemoteControl(true));
    QVERIFY(!second.isListening());
    QCOMPARE(prompt_->titles(), QStringList{"Lumivar Server"});
    QCOMPARE(prompt_->shown.first().kind, QStringLiteral("critical"));
    QVERIFY(prompt_->shown.first().text.startsWith("Unable to start the server: "));
    QVERIFY(prompt_->shown.first().text.endsWith("."));
}

void TestRemoteServer::defaultPort()
{
    FakeStation station;
    station.state.connected = true;
    RemoteServer server(&station, &station);
    QVERIFY(server.enableRemoteControl(true));
    QCOMPARE(server.serverPort(), quint16(1910));
    RemoteClient client;
    QVERIFY(client.connectTo(Loopback, 1910));
    QCOMPARE(exchange(client, "#status"), QByteArray("Ready\0", 6));
}

void TestRemoteServer::addressList()
{
    const QList<QHostAddress> addresses{QHostAddress("127.0.0.1"), QHostAddress("192.168.1.5"),
                                        QHostAddress("::1"), QHostAddress("10.0.0.2"),
                                        QHostAddress("127.0.0.2")};
    QCOMPARE(RemoteServer::addressListText(addresses),
             QStringLiteral("Remote Control available for IP's:<br> <br><b>192.168.1.5</b><br>"
                            "<b>10.0.0.2</b><br><b>127.0.0.2</b><br>"));
    QCOMPARE(RemoteServer::addressListText({}), QStringLiteral("Remote Control available for IP's:<br> <br>"));
}

QTEST_MAIN(TestRemoteServer)
#include "tst_remote_server.moc"
