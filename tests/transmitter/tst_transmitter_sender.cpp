// The user-mode sender's socket and thread, and the transmitter's handling of
// their failures, without the export boundary.
#include "GvspReceiver.h"
#include "GVSPSenderUserMode.h"
#include "GVSPStatistic.h"
#include "LogCapture.h"
#include "RecordingPacer.h"
#include "ResultCodes.h"
#include "TransmitterRaw.h"
#include "base/NqBuffer.h"
#include "base/NqPixelType.h"
#include "NzUtilsLib/Thread.h"

#include <QtTest>
#include <climits>
#include <netinet/in.h>
#include <set>
#include <sys/resource.h>
#include <sys/socket.h>

using namespace NqTransmitterRawLib;

namespace {

int SocketOption(int fd, int level, int name)
{
    int value = -1;
    socklen_t length = sizeof value;
    getsockopt(fd, level, name, &value, &length);
    return value;
}

// The nice value of the thread of this process that has the name (as far
// as the kernel keeps it, 15 characters); INT_MIN when there is none.
int NiceOfThread(const QString& name)
{
    const QString wanted = name.left(15).trimmed();
    for (const QString& id : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + id + "/comm");
        if (comm.open(QIODevice::ReadOnly) && QString::fromLatin1(comm.readAll()).trimmed() == wanted)
            return getpriority(PRIO_PROCESS, id_t(id.toInt()));
    }
    return INT_MIN;
}

// Makes every thread start fail for the scope.
struct RefusedThreads
{
    RefusedThreads() { NzUtilsLib::Thread::SetStartRefused(true); }
    ~RefusedThreads() { NzUtilsLib::Thread::SetStartRefused(false); }
};

} // namespace

class SenderTest : public QObject
{
    Q_OBJECT

private slots:
    void socketOptions_data();
    void socketOptions();
    void throughputReachesTheEngine();
    void settingsReachTheSender_data();
    void settingsReachTheSender();
    void imageBlockCarriesTheImage();
    void refusedBufferIsNotCounted();
    void threadsRunAtTheirPriority();
    void openStartsTheStatisticAgain();
    void reopenTakesThePoolsBuffersBack();
    void threadThatCannotStartFailsOpen_data();
    void threadThatCannotStartFailsOpen();
    void refusedPriorityIsLoggedFirst();
    void refusedPoolLoadIsReported();
    void poolRefusedWhileSenderHoldsBuffers();
    void abortOldestGivesTheFirstBuffer();
    void closeCompletesQueuedBuffers();
};

void SenderTest::socketOptions_data()
{
    QTest::addColumn<bool>("dontFragment");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<int>("multicastTtl");
    QTest::newRow("don't fragment") << true << "127.0.0.1" << 1;
    QTest::newRow("fragments allowed") << false << "127.0.0.1" << 1;
    QTest::newRow("multicast") << false << "239.1.2.3" << 255;
}

void SenderTest::socketOptions()
{
    QFETCH(bool, dontFragment);
    QFETCH(QString, destination);
    QFETCH(int, multicastTtl);
    GVSPSenderUserMode sender(3);
    KyNetworkLib::IpAddress to;
    QVERIFY(to.Set(destination.toLatin1().constData()).IsSuccess());
    // Bound to 127.0.0.1, a multicast destination has a route in the test's namespace.
    const KyNetworkLib::IpAddress from(0x7F000001);
    QVERIFY(sender.Open(&to, 5000, &from, 0, dontFragment, false, 8, 64, false).IsSuccess());
    const int fd = sender.GetSocketHandle();
    QVERIFY(fd >= 0);
    // Not the system's default (which sets DF too) either way.
    QCOMPARE(SocketOption(fd, IPPROTO_IP, IP_MTU_DISCOVER), dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT);
    // The kernel reports twice the size it was given.
    QVERIFY(SocketOption(fd, SOL_SOCKET, SO_SNDBUF) >= 64 * 8192);
    QCOMPARE(SocketOption(fd, IPPROTO_IP, IP_MULTICAST_TTL), multicastTtl);
    QVERIFY(sender.GetSourcePort() != 0);
    QCOMPARE(QString::fromStdString(sender.GetSourceIPAddress()), QString("127.0.0.1"));
    QCOMPARE(sender.SetMaxPayloadThroughput(-5.0f).GetCode(), uint32_t(Code::InvalidParameter));
    QCOMPARE(sender.SetPacketSize(0).GetCode(), uint32_t(Code::InvalidParameter));
    // Opened once: a second Open is refused and leaves the first socket as it was.
    QCOMPARE(sender.Open(&to, 5000, &from, 0, false, false, 8, 64, false).GetCode(), uint32_t(Code::StateError));
    QCOMPARE(sender.GetSocketHandle(), fd);
    sender.Close();
    QCOMPARE(sender.GetSocketHandle(), -1);
    // No send record at all is refused.
    GVSPSenderUserMode unopened(3);
    QCOMPARE(unopened.Open(&to, 5000, &from, 0, false, false, 8, 0, false).GetCode(), uint32_t(Code::InvalidParameter));
    QCOMPARE(unopened.GetSocketHandle(), -1);
}

void SenderTest::throughputReachesTheEngine()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    RecordingPacer pacer;
    GVSPSenderUserMode sender(3, &pacer);
    KyNetworkLib::IpAddress destination(0x7F000001);
    QVERIFY(sender.Open(&destination, receiver.GetPort(), nullptr, 0, false, false, 8, 64, false).IsSuccess());
    QVERIFY(sender.SetMaxPayloadThroughput(3e8f).IsSuccess());
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(100000).IsOK());
    QVERIFY(sender.QueueBuffer(buffer.GetInternal()).IsSuccess());
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(sender.RetrieveFreeBuffer(&back, 10000).IsSuccess());
    QCOMPARE(back, buffer.GetInternal());
    // Every record of the block is paced at the rate set, in bits per second.
    uint64_t bytes = 0;
    for (const RecordingPacer::Reservation& reservation : pacer.Reservations()) {
        QCOMPARE(reservation.bitsPerSecond, uint64_t(300000000));
        bytes += reservation.payloadBytes;
    }
    QCOMPARE(bytes, uint64_t(100000));
    QVERIFY(receiver.WaitForBlocks(1, 10000));
}

void SenderTest::settingsReachTheSender_data()
{
    QTest::addColumn<bool>("withPool");
    QTest::newRow("sender") << false;
    QTest::newRow("through the pool") << true;
}

void SenderTest::settingsReachTheSender()
{
    QFETCH(bool, withPool);
    TransmitterRaw transmitter;
    NqBuffer buffer;
    NqBufferLib::Buffer* internal = buffer.GetInternal();
    if (withPool)
        QVERIFY(transmitter.LoadBufferPool(&internal, 1).IsSuccess());
    // Set while closed, they reach the sender the next Open makes...
    QVERIFY(transmitter.SetPacketSize(9000).IsSuccess());
    QVERIFY(transmitter.SetMaxPayloadThroughput(5e8f).IsSuccess());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    const auto* sender = dynamic_cast<GVSPSenderUserMode*>(transmitter.GetSender());
    QVERIFY(sender);
    QCOMPARE(sender->GetSettings().PacketSize(), 9000u);
    QCOMPARE(sender->GetSettings().MaxThroughput(), 500000000u);
    // ...and set while open, the sender at once.
    QVERIFY(transmitter.SetPacketSize(1500).IsSuccess());
    QVERIFY(transmitter.SetMaxPayloadThroughput(2e8f).IsSuccess());
    QCOMPARE(sender->GetSettings().PacketSize(), 1500u);
    QCOMPARE(sender->GetSettings().MaxThroughput(), 200000000u);
    QCOMPARE(transmitter.GetMaxPayloadThroughput(), 2e8f);
}

void SenderTest::imageBlockCarriesTheImage()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    GVSPSenderUserMode sender(3);
    KyNetworkLib::IpAddress destination(0x7F000001);
    QVERIFY(sender.Open(&destination, receiver.GetPort(), nullptr, 0, false, false, 8, 64, false).IsSuccess());
    // The image in a larger allocation.
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(40 * 30 * 2 + 100).IsOK());
    QVERIFY(buffer.GetImage()->Attach(40, 30, NqPixelType::Mono16).IsOK());
    const uint64_t before = NzUtilsLib::Thread::GetTickCount();
    QVERIFY(sender.QueueBuffer(buffer.GetInternal()).IsSuccess());
    const uint64_t after = NzUtilsLib::Thread::GetTickCount();
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(sender.RetrieveFreeBuffer(&back, 10000).IsSuccess());
    QVERIFY(receiver.WaitForBlocks(1, 10000));
    const std::vector<GvspReceiver::Block> blocks = receiver.TakeBlocks();
    QCOMPARE(receiver.GetErrors(), std::vector<std::string>());
    // Only the image goes, and the leader carries when it was queued.
    QCOMPARE(blocks.at(0).payload.size(), size_t(2400));
    QCOMPARE(blocks.at(0).leader.sizeX, 40u);
    QVERIFY(blocks.at(0).leader.timestamp >= before && blocks.at(0).leader.timestamp <= after);
}

void SenderTest::refusedBufferIsNotCounted()
{
    // The buffers outlive the sender, which sends from them until it is closed.
    NqBuffer buffers[3];
    for (NqBuffer& buffer : buffers)
        QVERIFY(buffer.Alloc(1000000).IsOK());
    GVSPSenderUserMode sender(3);
    KyNetworkLib::IpAddress destination(0x7F000001);
    QVERIFY(sender.Open(&destination, 5000, nullptr, 0, false, false, 2, 64, false).IsSuccess());
    // Eight seconds a buffer: both stay in the sender.
    QVERIFY(sender.SetMaxPayloadThroughput(1e6f).IsSuccess());
    QVERIFY(sender.QueueBuffer(buffers[0].GetInternal()).IsSuccess());
    QVERIFY(sender.QueueBuffer(buffers[1].GetInternal()).IsSuccess());
    QCOMPARE(sender.QueueBuffer(buffers[2].GetInternal()).GetCode(), uint32_t(Code::NoFreeRecord));
    QCOMPARE(sender.GetQueuedBufferCount(), 2u);
}

void SenderTest::threadsRunAtTheirPriority()
{
    // Only lower priorities (higher nice values), which any process may take.
    if (getpriority(PRIO_PROCESS, 0) > 10)
        QSKIP("the test runs at a nice value above 10");
    const int callerNice = getpriority(PRIO_PROCESS, 0);
    NqBuffer buffer;
    NqBufferLib::Buffer* internal = buffer.GetInternal();
    TransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(&internal, 1).IsSuccess());
    using NzUtilsLib::Thread;
    QVERIFY(transmitter.SetUserModeTransmitterThreadPriority(Thread::InternalPriorityLowest).IsSuccess());
    QVERIFY(transmitter.SetBufferPoolThreadPriority(Thread::InternalPriorityLowest).IsSuccess());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    const QString sender = "Kyvo User Mode GVSP Sender Thread";
    const QString pool = "Kyvo Transmitter Memory Buffer Thread";
    QTRY_COMPARE_WITH_TIMEOUT(NiceOfThread(sender), 10, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(NiceOfThread(pool), 10, 10000);
    // Changed while they run.
    QVERIFY(transmitter.SetUserModeTransmitterThreadPriority(Thread::InternalPriorityIdle).IsSuccess());
    QVERIFY(transmitter.SetBufferPoolThreadPriority(Thread::InternalPriorityIdle).IsSuccess());
    QCOMPARE(NiceOfThread(sender), 19);
    QCOMPARE(NiceOfThread(pool), 19);
    QCOMPARE(transmitter.GetUserModeTransmitterThreadPriority(), uint32_t(Thread::InternalPriorityIdle));
    QCOMPARE(transmitter.GetBufferPoolThreadPriority(), uint32_t(Thread::InternalPriorityIdle));
    // The caller's thread keeps its own.
    QCOMPARE(getpriority(PRIO_PROCESS, 0), callerNice);
}

void SenderTest::openStartsTheStatisticAgain()
{
    TransmitterRaw transmitter;
    transmitter.GetStatistic().Report(NzUtilsLib::Result(0), 3, 1000);
    QCOMPARE(transmitter.GetStatistic().GetBlocksTransmitted(), 1ull);
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    QCOMPARE(transmitter.GetStatistic().GetBlocksTransmitted(), 0ull);
    QCOMPARE(transmitter.GetStatistic().GetPayloadBytesTransmitted(), 0ull);
}

void SenderTest::reopenTakesThePoolsBuffersBack()
{
    NqBuffer buffers[2];
    NqBufferLib::Buffer* internals[2];
    for (int i = 0; i < 2; ++i) {
        QVERIFY(buffers[i].Alloc(1000000).IsOK());
        internals[i] = buffers[i].GetInternal();
    }
    TransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(internals, 2).IsSuccess());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    // Eight seconds a buffer: the queued one is still in the sender at the next Open.
    QVERIFY(transmitter.SetMaxPayloadThroughput(1e6f).IsSuccess());
    NqBufferLib::Buffer* taken = nullptr;
    QVERIFY(transmitter.RetrieveFreeBuffer(&taken, 0).IsSuccess());
    QVERIFY(transmitter.QueueBuffer(taken).IsSuccess());
    // Opening an open transmitter closes it first: the pool gets the queued buffer back.
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    std::set<NqBufferLib::Buffer*> back;
    for (int i = 0; i < 2; ++i) {
        NqBufferLib::Buffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 10000).IsSuccess());
        back.insert(buffer);
    }
    QCOMPARE(back, (std::set<NqBufferLib::Buffer*>{internals[0], internals[1]}));
}

void SenderTest::threadThatCannotStartFailsOpen_data()
{
    QTest::addColumn<bool>("withPool");
    QTest::newRow("sender thread") << false;
    QTest::newRow("pool thread") << true;
}

void SenderTest::threadThatCannotStartFailsOpen()
{
    QFETCH(bool, withPool);
    TransmitterRaw transmitter;
    NqBuffer buffer;
    NqBufferLib::Buffer* internal = buffer.GetInternal();
    if (withPool)
        QVERIFY(transmitter.LoadBufferPool(&internal, 1).IsSuccess());
    RefusedThreads refused;
    const NzUtilsLib::Result result = transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false);
    QVERIFY(result.IsFailure());
    QCOMPARE(QString::fromStdString(result.GetDescription()), QString(Message::SenderOpen));
    QVERIFY(!transmitter.IsOpen());
    QVERIFY(!transmitter.GetSender());
}

void SenderTest::refusedPriorityIsLoggedFirst()
{
    TransmitterRaw transmitter;
    LogCapture log;
    const NzUtilsLib::Result result = transmitter.SetUserModeTransmitterThreadPriority(9);
    QCOMPARE(result.GetCode(), uint32_t(Code::InvalidParameter));
    const std::vector<LogCapture::Line> lines = log.Lines();
    QCOMPARE(lines.size(), size_t(2));
    QCOMPARE(lines[0].level, uint32_t(NzUtilsLib::Logger::Information));
    QCOMPARE(QString::fromStdString(lines[0].message),
             QString("**** The priority of the transmitter thread has been changed to 9 ****"));
    QCOMPARE(QString::fromStdString(lines[0].function),
             QString("NqTransmitterRawLib::TransmitterRaw::SetUserModeTransmitterThreadPriority"));
    QCOMPARE(lines[1].level, uint32_t(NzUtilsLib::Logger::Warning));
    QCOMPARE(transmitter.GetUserModeTransmitterThreadPriority(), uint32_t(NzUtilsLib::Thread::InternalPriorityTimeCritical));
}

void SenderTest::refusedPoolLoadIsReported()
{
    TransmitterRaw transmitter;
    NqBuffer buffers[2];
    NqBufferLib::Buffer* internals[2] = {buffers[0].GetInternal(), buffers[1].GetInternal()};
    QVERIFY(transmitter.LoadBufferPool(internals, 2).IsSuccess());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    NqBufferLib::Buffer* taken[2] = {nullptr, nullptr};
    QVERIFY(transmitter.RetrieveFreeBuffer(&taken[0], 0).IsSuccess());
    const NzUtilsLib::Result refused = transmitter.LoadBufferPool(internals, 2);
    QCOMPARE(refused.GetCode(), uint32_t(Code::PoolInUse));
    // The pool still works after the refusal, its thread included: sent
    // buffers come back.
    QVERIFY(transmitter.RetrieveFreeBuffer(&taken[1], 0).IsSuccess());
    for (NqBufferLib::Buffer* buffer : taken)
        QVERIFY(transmitter.QueueBuffer(buffer).IsSuccess());
    for (int i = 0; i < 2; ++i) {
        NqBufferLib::Buffer* back = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&back, 10000).IsSuccess());
    }
}

void SenderTest::poolRefusedWhileSenderHoldsBuffers()
{
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(1000000).IsOK());
    TransmitterRaw transmitter;
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    QVERIFY(transmitter.SetMaxPayloadThroughput(1e6f).IsSuccess());
    QVERIFY(transmitter.QueueBuffer(buffer.GetInternal()).IsSuccess());
    NqBufferLib::Buffer* internal = buffer.GetInternal();
    const NzUtilsLib::Result refused = transmitter.LoadBufferPool(&internal, 1);
    QCOMPARE(refused.GetCode(), uint32_t(Code::Failed));
    QCOMPARE(QString::fromStdString(refused.GetDescription()), QString(Message::BuffersQueued));
}

void SenderTest::abortOldestGivesTheFirstBuffer()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqBuffer buffers[2];
    GVSPSenderUserMode sender(3);
    KyNetworkLib::IpAddress destination(0x7F000001);
    QVERIFY(sender.Open(&destination, receiver.GetPort(), nullptr, 0, false, false, 8, 64, false).IsSuccess());
    QVERIFY(sender.SetMaxPayloadThroughput(1e6f).IsSuccess());
    for (NqBuffer& buffer : buffers) {
        QVERIFY(buffer.Alloc(1000000).IsOK());
        QVERIFY(sender.QueueBuffer(buffer.GetInternal()).IsSuccess());
    }
    NqBufferLib::Buffer* oldest = nullptr;
    QVERIFY(sender.AbortOldestQueuedBuffer(&oldest).IsSuccess());
    QCOMPARE(oldest, buffers[0].GetInternal());
    QCOMPARE(oldest->GetOperationResult().GetCode(), 1u);
    QCOMPARE(sender.GetQueuedBufferCount(), 1u);
}

void SenderTest::closeCompletesQueuedBuffers()
{
    GVSPSenderUserMode sender(3);
    KyNetworkLib::IpAddress destination(0x7F000001);
    QVERIFY(sender.Open(&destination, 5000, nullptr, 0, false, false, 8, 64, false).IsSuccess());
    QVERIFY(sender.SetMaxPayloadThroughput(1e6f).IsSuccess());
    NqBuffer buffers[3];
    for (NqBuffer& buffer : buffers) {
        QVERIFY(buffer.Alloc(1000000).IsOK());
        buffer.GetInternal()->SetOperationResult(NqResult(NqResult::Code::PENDING));
        QVERIFY(sender.QueueBuffer(buffer.GetInternal()).IsSuccess());
    }
    QTest::qSleep(20);
    sender.Close();
    // The waiting ones were completed as aborted; the one on the wire may finish either way.
    QCOMPARE(buffers[1].GetOperationResult().GetCode(), 1u);
    QCOMPARE(buffers[2].GetOperationResult().GetCode(), 1u);
}

QTEST_GUILESS_MAIN(SenderTest)
#include "tst_transmitter_sender.moc"
