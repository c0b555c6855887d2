// The exported NqTransmitterRaw sending to our GVSP receiver on 127.0.0.1.
#include "GvspReceiver.h"
#include "NqTransmitterRaw.h"
#include "base/NqPixelType.h"

#include <QtTest>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace Gvsp = KyNetworkLib::Gvsp;

namespace {

const unsigned int kAll = 0xFFFFFFFF;

// Bytes that differ between blocks and positions, so a misplaced packet shows.
void Fill(NqBuffer& buffer, uint32_t seed)
{
    uint8_t* data = buffer.GetDataPointer();
    for (uint32_t i = 0; i < buffer.GetSize(); ++i)
        data[i] = uint8_t((i * 131u) ^ (i >> 8) ^ (seed * 29u));
}

// A port on 127.0.0.1 that nobody listens on.
uint16_t ClosedPort()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    close(fd);
    return ntohs(local.sin_port);
}

NqResult OpenTo(NqTransmitterRaw& transmitter, uint16_t port, bool extended = false, unsigned int capability = 16)
{
    return transmitter.Open("127.0.0.1", port, "", 0, false, extended, capability, false);
}

// Queues a buffer and waits until it is handed back.
bool SendOne(NqTransmitterRaw& transmitter, NqBuffer& buffer)
{
    if (!transmitter.QueueBuffer(&buffer).IsOK())
        return false;
    NqBuffer* back = nullptr;
    return transmitter.RetrieveFreeBuffer(&back, 10000).IsOK() && back == &buffer;
}

} // namespace

class TransmitterLoopbackTest : public QObject
{
    Q_OBJECT

private slots:
    void sendsEveryByte_data();
    void sendsEveryByte();
    void imageBlocksDecodeInTshark_data();
    void imageBlocksDecodeInTshark();
    void poolKeepsEveryBufferAcrossReopen();
    void abortsQueuedBlocks();
    void closeAbortsQueuedBlocks();
    void closedTransmitterAnswers();
    void openRefusals_data();
    void openRefusals();
    void capabilityBounds_data();
    void capabilityBounds();
    void argumentRefusals();
    void settingsWhileClosedReachTheSender();
    void copiesShareOneTransmitter();
    void lateReceiverDoesNotFailBlocks();
    void statisticsCountBlocks();
    void throughputLimitPacesBlocks();
    void reportsSourceAndDestination();
};

void TransmitterLoopbackTest::sendsEveryByte_data()
{
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint32>("size");
    QTest::addColumn<quint32>("packetSize");
    for (bool extended : {false, true}) {
        const char* mode = extended ? "extended" : "standard";
        const quint32 perPacket = Gvsp::DataBytesPerPacket(1440, extended);
        QTest::addRow("%s 1 byte", mode) << extended << 1u << 1440u;
        QTest::addRow("%s k packets", mode) << extended << 7 * perPacket << 1440u;
        QTest::addRow("%s k packets + 1", mode) << extended << 7 * perPacket + 1 << 1440u;
        QTest::addRow("%s 8 MiB", mode) << extended << (8u << 20) << 1440u;
        QTest::addRow("%s 8 MiB jumbo", mode) << extended << (8u << 20) << 9000u;
    }
}

void TransmitterLoopbackTest::sendsEveryByte()
{
    QFETCH(bool, extended);
    QFETCH(quint32, size);
    QFETCH(quint32, packetSize);
    GvspReceiver receiver(packetSize, extended);
    QVERIFY(receiver.Start());
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.SetPacketSize(packetSize).IsOK());
    QVERIFY(OpenTo(transmitter, receiver.GetPort(), extended).IsOK());
    NqBuffer buffers[2];
    for (uint32_t i = 0; i < 2; ++i) {
        QVERIFY(buffers[i].Alloc(size).IsOK());
        Fill(buffers[i], i + 1);
        QVERIFY(SendOne(transmitter, buffers[i]));
        QCOMPARE(buffers[i].GetOperationResult().GetCode(), uint32_t(NqResult::Code::OK));
    }
    QVERIFY(receiver.WaitForBlocks(2, 10000));
    const std::vector<GvspReceiver::Block> blocks = receiver.TakeBlocks();
    QCOMPARE(receiver.GetErrors(), std::vector<std::string>());
    QCOMPARE(blocks.size(), size_t(2));
    for (uint32_t i = 0; i < 2; ++i) {
        QCOMPARE(blocks[i].blockId, uint64_t(i + 1));
        QCOMPARE(blocks[i].leader.payloadType, uint16_t(Gvsp::PayloadRawData));
        QCOMPARE(blocks[i].leader.payloadSize, uint64_t(size));
        QCOMPARE(uint64_t(blocks[i].packets),
                 Gvsp::DataPacketCount(size, Gvsp::DataBytesPerPacket(packetSize, extended)) + 2);
        const std::vector<uint8_t>& payload = blocks[i].payload;
        QVERIFY(payload.size() == size && std::equal(payload.begin(), payload.end(), buffers[i].GetDataPointer()));
    }
    QCOMPARE(transmitter.GetBlocksTransmitted(), 2ull);
    QCOMPARE(transmitter.GetPayloadBytesTransmitted(), 2ull * size);
}

void TransmitterLoopbackTest::imageBlocksDecodeInTshark_data()
{
    QTest::addColumn<bool>("extended");
    QTest::newRow("standard header") << false;
    QTest::newRow("extended-id header") << true;
}

void TransmitterLoopbackTest::imageBlocksDecodeInTshark()
{
    QFETCH(bool, extended);
    const QString tshark = QStandardPaths::findExecutable("tshark");
    if (tshark.isEmpty())
        QSKIP("tshark is not installed (scripts/install-deps.sh installs it); the decode check needs it");
    GvspReceiver receiver(1440, extended, true);
    QVERIFY(receiver.Start());
    NqTransmitterRaw transmitter;
    QVERIFY(OpenTo(transmitter, receiver.GetPort(), extended).IsOK());
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(40 * 30 * 2).IsOK());
    QVERIFY(buffer.GetImage()->Attach(40, 30, NqPixelType::Mono16).IsOK());
    Fill(buffer, 9);
    QVERIFY(SendOne(transmitter, buffer));
    QVERIFY(SendOne(transmitter, buffer));
    QVERIFY(receiver.WaitForBlocks(2, 10000));
    const QString pcap = QDir::current().absoluteFilePath("gvsp.pcap");
    QVERIFY(receiver.WritePcap(pcap.toStdString()));

    const QString blockField = extended ? "gvsp.blockid64" : "gvsp.blockid16";
    const QString packetField = extended ? "gvsp.packetid32" : "gvsp.packetid24";
    QProcess process;
    process.start(tshark, {"-r", pcap, "-d", QString("udp.port==%1,gvsp").arg(receiver.GetPort()), "-T", "fields",
                           "-E", "separator=;", "-e", "gvsp.format", "-e", blockField, "-e", packetField, "-e",
                           "gvsp.payloadtype", "-e", "gvsp.pixel", "-e", "gvsp.sizex", "-e", "gvsp.sizey"});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QStringList rows = QString::fromLatin1(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    // 2400 bytes in 1404- or 1392-byte packets: leader, 2 data packets, trailer.
    QCOMPARE(rows.size(), 8);
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList f = rows[i].split(';');
        QCOMPARE(f.size(), 7);
        const int packetId = i % 4;
        const int format = packetId == 0 ? 1 : packetId == 3 ? 2 : 3;
        // tshark shows the format byte whole: the extended-id flag is its top bit.
        QCOMPARE(f[0].toUInt(nullptr, 0), uint(format | (extended ? Gvsp::ExtendedIdFlag : 0)));
        QCOMPARE(f[1].toULongLong(nullptr, 0), quint64(i / 4 + 1));
        QCOMPARE(f[2].toUInt(nullptr, 0), uint(packetId));
        if (format == 3)
            continue;
        QCOMPARE(f[3].toUInt(nullptr, 0), uint(Gvsp::PayloadImage));
        if (format == 1) {
            QCOMPARE(f[4].toUInt(nullptr, 0), uint(NqPixelType::Mono16));
            QCOMPARE(f[5].toUInt(nullptr, 0), 40u);
            QCOMPARE(f[6].toUInt(nullptr, 0), 30u);
        } else {
            QCOMPARE(f[6].toUInt(nullptr, 0), 30u);
        }
    }
}

void TransmitterLoopbackTest::poolKeepsEveryBufferAcrossReopen()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqBuffer buffers[8];
    NqBuffer* pointers[8];
    for (int i = 0; i < 8; ++i) {
        QVERIFY(buffers[i].Alloc(100000).IsOK());
        pointers[i] = &buffers[i];
    }
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(pointers, 8).IsOK());
    for (int round = 0; round < 3; ++round) {
        QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
        // Slow enough that blocks are still queued at Close.
        QVERIFY(transmitter.SetMaxPayloadThroughput(2e8f).IsOK());
        for (int i = 0; i < 20; ++i) {
            NqBuffer* buffer = nullptr;
            QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 5000).IsOK());
            QVERIFY(buffer);
            Fill(*buffer, uint32_t(i));
            QVERIFY(transmitter.QueueBuffer(buffer).IsOK());
        }
        QVERIFY(transmitter.Close().IsOK());
    }
    QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
    std::set<NqBuffer*> handedOut;
    NqBuffer* buffer = nullptr;
    while (transmitter.RetrieveFreeBuffer(&buffer, 0).IsOK())
        handedOut.insert(buffer);
    QCOMPARE(handedOut, std::set<NqBuffer*>(pointers, pointers + 8));
    QCOMPARE(transmitter.RetrieveFreeBuffer(&buffer, 20).GetCode(), 20u);
    QVERIFY(!buffer);
}

void TransmitterLoopbackTest::abortsQueuedBlocks()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqTransmitterRaw transmitter;
    QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
    // Four blocks of a hundred seconds each at 80 kb/s: the first is still on
    // its way through every check, however long a loaded machine takes.
    QVERIFY(transmitter.SetMaxPayloadThroughput(8e4f).IsOK());
    NqBuffer buffers[4];
    for (NqBuffer& buffer : buffers) {
        QVERIFY(buffer.Alloc(1000000).IsOK());
        QVERIFY(transmitter.QueueBuffer(&buffer).IsOK());
        QCOMPARE(buffer.GetOperationResult().GetCode(), uint32_t(NqResult::Code::PENDING));
    }
    QCOMPARE(transmitter.GetQueuedBufferCount(), 4u);
    bool aborted = false;
    QVERIFY(transmitter.AbortQueuedBuffers(kAll, &aborted).IsOK());
    QVERIFY(aborted);
    std::set<NqBuffer*> back;
    for (int i = 0; i < 4; ++i) {
        NqBuffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 10000).IsOK());
        back.insert(buffer);
        QCOMPARE(buffer->GetOperationResult().GetCode(), 1u);
    }
    QCOMPARE(back.size(), size_t(4));
    QCOMPARE(transmitter.GetQueuedBufferCount(), 0u);
}

void TransmitterLoopbackTest::closeAbortsQueuedBlocks()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqBuffer buffers[8];
    NqBuffer* pointers[8];
    for (int i = 0; i < 8; ++i) {
        QVERIFY(buffers[i].Alloc(1 << 20).IsOK());
        pointers[i] = &buffers[i];
    }
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(pointers, 8).IsOK());
    QVERIFY(transmitter.SetMaxPayloadThroughput(1e6f).IsOK());
    QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
    for (int i = 0; i < 8; ++i) {
        NqBuffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 0).IsOK());
        QVERIFY(transmitter.QueueBuffer(buffer).IsOK());
    }
    QVERIFY(transmitter.Close().IsOK());
    QVERIFY(!transmitter.IsOpen());
    // Close aborted what was queued rather than sending it (over a minute at
    // this rate): the buffers came back to the pool completed as aborted, but
    // perhaps the one on the wire, and no other block reached the receiver.
    QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
    size_t aborted = 0;
    for (NqBuffer* buffer = nullptr; transmitter.RetrieveFreeBuffer(&buffer, 0).IsOK();)
        aborted += buffer->GetOperationResult().GetCode() == 1;
    QVERIFY2(aborted >= 7, qPrintable(QString("%1 aborted").arg(aborted)));
    QVERIFY(receiver.GetBlockCount() <= 8 - aborted);
}

void TransmitterLoopbackTest::closedTransmitterAnswers()
{
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.Close().IsOK());
    QVERIFY(!transmitter.IsOpen());
    QCOMPARE(QString(transmitter.GetDestinationIPAddress()), QString("00.00.00.00"));
    QCOMPARE(QString(transmitter.GetSourceIPAddress()), QString("00.00.00.00"));
    QCOMPARE(transmitter.GetDestinationPort(), (unsigned short)0);
    QCOMPARE(transmitter.GetSourcePort(), (unsigned short)0);
    QCOMPARE(transmitter.GetQueuedBufferCount(), 0u);
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(10).IsOK());
    QCOMPARE(transmitter.QueueBuffer(&buffer).GetCode(), 23u);
    NqBuffer* out = &buffer;
    QCOMPARE(transmitter.RetrieveFreeBuffer(&out, 0).GetCode(), 23u);
    QVERIFY(!out);
    bool aborted = true;
    QCOMPARE(transmitter.AbortQueuedBuffers(kAll, &aborted).GetCode(), 23u);
    QCOMPARE(transmitter.GetPacketSize(), 1440u);
    QCOMPARE(transmitter.GetMaxPayloadThroughput(), 0.0f);
}

void TransmitterLoopbackTest::openRefusals_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("source");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("description");
    QTest::newRow("empty destination") << "" << "" << 1541u
                                       << "The Destination ip address cannot be empty or unitialized";
    QTest::newRow("bad destination") << "999.1.1.1" << "" << 16385u << "Invalid destination ip address value";
    QTest::newRow("bad source") << "127.0.0.1" << "127.0.0" << 16385u << "Invalid source ip address value";
    QTest::newRow("unbindable source") << "127.0.0.1" << "10.9.9.9" << 19u
                                       << "The GVSp send cannot be opened for transmission";
    QTest::newRow("no route") << "10.9.9.9" << "" << 24u << "The GVSP sender internal wrapper cannot be created";
}

void TransmitterLoopbackTest::openRefusals()
{
    QFETCH(QString, destination);
    QFETCH(QString, source);
    QFETCH(quint32, code);
    QFETCH(QString, description);
    NqTransmitterRaw transmitter;
    const NqResult result = transmitter.Open(destination.toLatin1().constData(), 5000, source.toLatin1().constData(),
                                             0, false, false, 16, false);
    QCOMPARE(result.GetCode(), code);
    QCOMPARE(result.GetInternalCode(), code);
    QCOMPARE(QString(result.GetDescription()), description);
    QVERIFY(!transmitter.IsOpen());
}

void TransmitterLoopbackTest::capabilityBounds_data()
{
    QTest::addColumn<quint32>("capability");
    QTest::addColumn<quint32>("code");
    QTest::newRow("0") << 0u << 18u;
    QTest::newRow("1") << 1u << 18u;
    QTest::newRow("2") << 2u << 0u;
    QTest::newRow("256") << 256u << 0u;
    QTest::newRow("257") << 257u << 18u;
}

void TransmitterLoopbackTest::capabilityBounds()
{
    QFETCH(quint32, capability);
    QFETCH(quint32, code);
    NqTransmitterRaw transmitter;
    const NqResult result = OpenTo(transmitter, 5000, false, capability);
    QCOMPARE(result.GetCode(), code);
    QCOMPARE(transmitter.IsOpen(), code == 0);
    if (code)
        QCOMPARE(QString(result.GetDescription()), QString("The buffers capability must be between 2 and 256"));
}

void TransmitterLoopbackTest::argumentRefusals()
{
    NqTransmitterRaw transmitter;
    QVERIFY(OpenTo(transmitter, ClosedPort()).IsOK());
    const uint32_t invalid = NqResult::Code::INVALID_PARAMETER;
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(10).IsOK());
    NqBuffer* withNull[2] = {&buffer, nullptr};
    QCOMPARE(transmitter.LoadBufferPool(nullptr, 1).GetCode(), invalid);
    QCOMPARE(transmitter.LoadBufferPool(withNull, 0).GetCode(), invalid);
    QCOMPARE(transmitter.LoadBufferPool(withNull, 2).GetCode(), invalid);
    QCOMPARE(transmitter.QueueBuffer(nullptr).GetCode(), invalid);
    NqBuffer empty;
    QCOMPARE(transmitter.QueueBuffer(&empty).GetCode(), uint32_t(NqResult::Code::BUFFER_TOO_SMALL));
    QCOMPARE(transmitter.RetrieveFreeBuffer(nullptr, 0).GetCode(), invalid);
    for (unsigned int size : {0u, 50u, Gvsp::MinPacketSize - 1, 65536u, 0xFFFFFFFFu})
        QCOMPARE(transmitter.SetPacketSize(size).GetCode(), invalid);
    QCOMPARE(transmitter.GetPacketSize(), 1440u);
    for (float rate : {-1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e10f})
        QCOMPARE(transmitter.SetMaxPayloadThroughput(rate).GetCode(), invalid);
    QCOMPARE(transmitter.SetUserModeTransmitterThreadPriority(7).GetCode(), invalid);
    QCOMPARE(QString(transmitter.SetBufferPoolThreadPriority(7).GetDescription()),
             QString("The priority 7 is out of range. The value must be between 0 and 6."));
    QVERIFY(transmitter.SetUserModeTransmitterThreadPriority(3).IsOK());
    QCOMPARE(transmitter.GetUserModeTransmitterThreadPriority(), 3u);
    QVERIFY(transmitter.SetBufferPoolThreadPriority(2).IsOK());
    QCOMPARE(transmitter.GetBufferPoolThreadPriority(), 2u);
}

void TransmitterLoopbackTest::settingsWhileClosedReachTheSender()
{
    GvspReceiver receiver(9000, false);
    QVERIFY(receiver.Start());
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.SetPacketSize(9000).IsOK());
    QCOMPARE(transmitter.GetPacketSize(), 9000u);
    QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(100000).IsOK());
    QVERIFY(SendOne(transmitter, buffer));
    QVERIFY(receiver.WaitForBlocks(1, 5000));
    // 100000 bytes in 8964-byte packets: 12 data packets.
    QCOMPARE(receiver.TakeBlocks().at(0).packets, 14u);
    QCOMPARE(receiver.GetErrors(), std::vector<std::string>());
}

void TransmitterLoopbackTest::copiesShareOneTransmitter()
{
    auto first = std::make_unique<NqTransmitterRaw>();
    NqTransmitterRaw second(*first);
    NqTransmitterRaw third;
    third = second;
    third = third;
    QVERIFY(OpenTo(*first, ClosedPort()).IsOK());
    QVERIFY(second.IsOpen());
    QVERIFY(third.IsOpen());
    first.reset();
    QVERIFY(third.IsOpen());
    NqTransmitterRaw other;
    second = other;
    QVERIFY(!second.IsOpen());
    QVERIFY(third.IsOpen());
}

void TransmitterLoopbackTest::lateReceiverDoesNotFailBlocks()
{
    NqTransmitterRaw transmitter;
    QVERIFY(OpenTo(transmitter, ClosedPort()).IsOK());
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(5000).IsOK());
    for (int i = 0; i < 20; ++i) {
        QVERIFY(SendOne(transmitter, buffer));
        QCOMPARE(buffer.GetOperationResult().GetCode(), uint32_t(NqResult::Code::OK));
    }
}

void TransmitterLoopbackTest::statisticsCountBlocks()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqTransmitterRaw transmitter;
    QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(20000).IsOK());
    for (int i = 0; i < 5; ++i) {
        QVERIFY(SendOne(transmitter, buffer));
        QTest::qSleep(5);
    }
    QCOMPARE(transmitter.GetBlocksTransmitted(), 5ull);
    QCOMPARE(transmitter.GetPayloadBytesTransmitted(), 100000ull);
    QVERIFY(transmitter.GetAverageTransmissionRate() > 0.0f);
    QVERIFY(transmitter.GetAveragePayloadThroughput() > 0.0f);
    QElapsedTimer sinceReset;
    sinceReset.start();
    transmitter.ResetStats();
    QCOMPARE(transmitter.GetBlocksTransmitted(), 0ull);
    QCOMPARE(transmitter.GetAveragePayloadThroughput(), 0.0f);
    // The sampling starts again (1 ms for the clocks' rounding).
    QVERIFY(transmitter.GetSamplingTime() <= quint64(sinceReset.elapsed()) + 1);
}

void TransmitterLoopbackTest::throughputLimitPacesBlocks()
{
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.SetMaxPayloadThroughput(1e8f).IsOK());
    QVERIFY(OpenTo(transmitter, receiver.GetPort()).IsOK());
    QCOMPARE(transmitter.GetMaxPayloadThroughput(), 1e8f);
    NqBuffer buffers[2];
    QElapsedTimer timer;
    timer.start();
    // 2 x 1.25 MB at 100 Mb/s: 200 ms.
    for (NqBuffer& buffer : buffers) {
        QVERIFY(buffer.Alloc(1250000).IsOK());
        QVERIFY(transmitter.QueueBuffer(&buffer).IsOK());
    }
    for (int i = 0; i < 2; ++i) {
        NqBuffer* back = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&back, 5000).IsOK());
    }
    // Never faster than the limit; how much slower depends on the machine.
    QVERIFY2(timer.elapsed() >= 190, qPrintable(QString("%1 ms").arg(timer.elapsed())));
}

void TransmitterLoopbackTest::reportsSourceAndDestination()
{
    NqTransmitterRaw transmitter;
    const uint16_t port = ClosedPort();
    QVERIFY(transmitter.Open("127.0.0.1", port, "127.0.0.1", 0, true, false, 8, false).IsOK());
    QCOMPARE(QString(transmitter.GetDestinationIPAddress()), QString("127.0.0.1"));
    QCOMPARE(transmitter.GetDestinationPort(), port);
    QCOMPARE(QString(transmitter.GetSourceIPAddress()), QString("127.0.0.1"));
    QVERIFY(transmitter.GetSourcePort() != 0);
    QVERIFY(transmitter.Close().IsOK());
    QCOMPARE(transmitter.GetSourcePort(), (unsigned short)0);
}

QTEST_GUILESS_MAIN(TransmitterLoopbackTest)
#include "tst_transmitter_loopback.moc"
