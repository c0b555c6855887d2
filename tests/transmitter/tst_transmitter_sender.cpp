// The user-mode sender's socket and thread, and the transmitter's handling of
// their failures, without the export boundary.
#include "GvspReceiver.h"
#include "GVSPSenderUserMode.h"
#include "LogCapture.h"
#include "RecordingPacer.h"
#include "ResultCodes.h"
#include "TransmitterRaw.h"
#include "base/NqBuffer.h"

#include <QtTest>
#include <netinet/in.h>
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
    QTest::newRow("don't fragment") << true;
    QTest::newRow("fragments allowed") << false;
}

void SenderTest::socketOptions()
{
    QFETCH(bool, dontFragment);
    GVSPSenderUserMode sender(3);
    KyNetworkLib::IpAddress destination(0x7F000001);
    QVERIFY(sender.Open(&destination, 5000, nullptr, 0, dontFragment, false, 8, 64, false).IsSuccess());
    const int fd = sender.GetSocketHandle();
    QVERIFY(fd >= 0);
    // Not the system's default (which sets DF too) either way.
    QCOMPARE(SocketOption(fd, IPPROTO_IP, IP_MTU_DISCOVER), dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT);
    // The kernel reports twice the size it was given.
    QVERIFY(SocketOption(fd, SOL_SOCKET, SO_SNDBUF) >= 64 * 8192);
    QCOMPARE(SocketOption(fd, IPPROTO_IP, IP_MULTICAST_TTL), 1);
    QVERIFY(sender.GetSourcePort() != 0);
    QCOMPARE(QString::fromStdString(sender.GetSourceIPAddress()), QString("127.0.0.1"));
    QCOMPARE(sender.SetMaxPayloadThroughput(-5.0f).GetCode(), uint32_t(Code::InvalidParameter));
    QCOMPARE(sender.SetPacketSize(0).GetCode(), uint32_t(Code::InvalidParameter));
    QCOMPARE(sender.Open(&destination, 5000, nullptr, 0, false, false, 8, 64, false).GetCode(),
             uint32_t(Code::StateError));
    sender.Close();
    QCOMPARE(sender.GetSocketHandle(), -1);
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
    NqBufferLib::Buffer* taken = nullptr;
    QVERIFY(transmitter.RetrieveFreeBuffer(&taken, 0).IsSuccess());
    const NzUtilsLib::Result refused = transmitter.LoadBufferPool(internals, 2);
    QCOMPARE(refused.GetCode(), uint32_t(Code::PoolInUse));
    // The pool still works after the refusal.
    QVERIFY(transmitter.RetrieveFreeBuffer(&taken, 0).IsSuccess());
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
