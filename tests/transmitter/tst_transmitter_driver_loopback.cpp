// The exported transmitter sending through the test filter-driver device on
// 127.0.0.1: the GVSP receiver and tshark see the same blocks as through the
// user-mode sender, from the port the transmitter reports.
#include "GvspReceiver.h"
#include "LogCapture.h"
#include "NqTransmitterRaw.h"
#include "StratolineProtocol.h"
#include "TestFilterDriver.h"
#include "base/NqPixelType.h"

#include <QtTest>
#include <memory>
#include <set>

namespace Gvsp = KyNetworkLib::Gvsp;
namespace Stratoline = NqTransmitterRawLib::Stratoline;

namespace {

void Fill(NqBuffer& buffer, uint32_t seed)
{
    uint8_t* data = buffer.GetDataPointer();
    for (uint32_t i = 0; i < buffer.GetSize(); ++i)
        data[i] = uint8_t((i * 131u) ^ (i >> 8) ^ (seed * 29u));
}

struct Run
{
    std::vector<GvspReceiver::Block> blocks;
    std::vector<std::string> errors;
    QStringList rows;
    std::set<uint16_t> packetSourcePorts;
    uint16_t sourcePort = 0;
    std::vector<uint32_t> queueCodes;
    std::vector<uint32_t> operationCodes;
    unsigned long long blocksTransmitted = 0;
    unsigned long long payloadBytes = 0;
    uint32_t driverQueueCalls = 0;
};

// The fields tshark decodes of every packet, and the UDP source ports apart.
bool Decode(const QString& pcap, uint16_t port, bool extended, QStringList& rows, std::set<uint16_t>& sourcePorts)
{
    const QString tshark = QStandardPaths::findExecutable("tshark");
    if (tshark.isEmpty())
        return true;
    QProcess process;
    process.start(tshark, {"-r", pcap, "-d", QString("udp.port==%1,gvsp").arg(port), "-T", "fields", "-E",
                           "separator=;", "-e", "udp.srcport", "-e", "gvsp.format", "-e",
                           extended ? "gvsp.blockid64" : "gvsp.blockid16", "-e",
                           extended ? "gvsp.packetid32" : "gvsp.packetid24", "-e", "gvsp.payloadtype", "-e",
                           "gvsp.pixel", "-e", "gvsp.sizex", "-e", "gvsp.sizey"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return false;
    for (const QString& row : QString::fromLatin1(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        sourcePorts.insert(uint16_t(row.section(';', 0, 0).toUInt()));
        rows << row.section(';', 1);
    }
    return true;
}

// An image block and a raw block of many packets through one transmitter.
Run SendBlocks(bool throughDriver, bool extended, std::shared_ptr<TestFilterDriver>* usedDevice = nullptr)
{
    Run run;
    auto device = std::make_shared<TestFilterDriver>(TestFilterDriver::Mode::Send);
    std::unique_ptr<ScopedDevice> registration(throughDriver ? new ScopedDevice(device) : nullptr);
    GvspReceiver receiver(1440, extended, true);
    if (!receiver.Start())
        return run;
    NqTransmitterRaw transmitter;
    if (!transmitter.Open("127.0.0.1", receiver.GetPort(), "", 0, false, extended, 16, false).IsOK())
        return run;
    run.sourcePort = transmitter.GetSourcePort();
    NqBuffer image;
    image.Alloc(40 * 30 * 2);
    image.GetImage()->Attach(40, 30, NqPixelType::Mono16);
    Fill(image, 3);
    NqBuffer raw;
    raw.Alloc(1 << 20);
    Fill(raw, 4);
    for (NqBuffer* buffer : {&image, &raw}) {
        run.queueCodes.push_back(transmitter.QueueBuffer(buffer).GetCode());
        NqBuffer* back = nullptr;
        transmitter.RetrieveFreeBuffer(&back, 10000);
        run.operationCodes.push_back(back == buffer ? back->GetOperationResult().GetCode() : 0xDEAD);
    }
    receiver.WaitForBlocks(2, 10000);
    run.blocksTransmitted = transmitter.GetBlocksTransmitted();
    run.payloadBytes = transmitter.GetPayloadBytesTransmitted();
    transmitter.Close();
    run.blocks = receiver.TakeBlocks();
    run.errors = receiver.GetErrors();
    run.driverQueueCalls = device->GetCallCount(Stratoline::QueueBuffer);
    const QString pcap = QDir::current().absoluteFilePath(throughDriver ? "driver.pcap" : "usermode.pcap");
    if (!receiver.WritePcap(pcap.toStdString()) || !Decode(pcap, receiver.GetPort(), extended, run.rows,
                                                           run.packetSourcePorts))
        run.errors.push_back("tshark failed");
    if (usedDevice)
        *usedDevice = device;
    return run;
}

} // namespace

class DriverLoopbackTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sameBlocksAsUserMode_data();
    void sameBlocksAsUserMode();
    void poolKeepsEveryBufferAcrossReopen();
    void abortsQueuedBlocks();
};

void DriverLoopbackTest::init()
{
    if (!TestFilterDriver::CanSend())
        QSKIP("the test device sends through a raw socket; run the test as root in the loopback namespace");
}

void DriverLoopbackTest::sameBlocksAsUserMode_data()
{
    QTest::addColumn<bool>("extended");
    QTest::newRow("standard header") << false;
    QTest::newRow("extended-id header") << true;
}

void DriverLoopbackTest::sameBlocksAsUserMode()
{
    QFETCH(bool, extended);
    const Run userMode = SendBlocks(false, extended);
    const Run driver = SendBlocks(true, extended);
    QCOMPARE(userMode.driverQueueCalls, 0u);
    QCOMPARE(driver.driverQueueCalls, 2u);
    QCOMPARE(userMode.errors, std::vector<std::string>());
    QCOMPARE(driver.errors, std::vector<std::string>());
    // The driver takes a buffer as pending; both complete as sent.
    QCOMPARE(userMode.queueCodes, (std::vector<uint32_t>{0, 0}));
    QCOMPARE(driver.queueCodes, (std::vector<uint32_t>{0xFFFF, 0xFFFF}));
    QCOMPARE(driver.operationCodes, (std::vector<uint32_t>{0, 0}));
    QCOMPARE(userMode.operationCodes, driver.operationCodes);
    QCOMPARE(driver.blocksTransmitted, 2ull);
    QCOMPARE(driver.payloadBytes, userMode.payloadBytes);

    QCOMPARE(driver.blocks.size(), size_t(2));
    QCOMPARE(driver.blocks.size(), userMode.blocks.size());
    for (size_t i = 0; i < driver.blocks.size(); ++i) {
        const GvspReceiver::Block& a = userMode.blocks[i];
        const GvspReceiver::Block& b = driver.blocks[i];
        QCOMPARE(b.blockId, a.blockId);
        QCOMPARE(b.packets, a.packets);
        QVERIFY(b.payload == a.payload);
        QCOMPARE(b.leader.payloadType, a.leader.payloadType);
        QCOMPARE(b.leader.pixelFormat, a.leader.pixelFormat);
        QCOMPARE(b.leader.sizeX, a.leader.sizeX);
        QCOMPARE(b.leader.sizeY, a.leader.sizeY);
        QCOMPARE(b.leader.payloadSize, a.leader.payloadSize);
        QCOMPARE(b.trailer.payloadType, a.trailer.payloadType);
        QCOMPARE(b.trailer.sizeY, a.trailer.sizeY);
    }
    QCOMPARE(driver.rows, userMode.rows);
    if (!driver.rows.isEmpty()) {
        // Every packet leaves from the port the transmitter holds and reports.
        QVERIFY(driver.sourcePort != 0);
        QCOMPARE(driver.packetSourcePorts, std::set<uint16_t>{driver.sourcePort});
    }
}

void DriverLoopbackTest::poolKeepsEveryBufferAcrossReopen()
{
    auto device = std::make_shared<TestFilterDriver>(TestFilterDriver::Mode::Send);
    ScopedDevice registration(device);
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqBuffer buffers[6];
    NqBuffer* pointers[6];
    for (int i = 0; i < 6; ++i) {
        QVERIFY(buffers[i].Alloc(100000).IsOK());
        pointers[i] = &buffers[i];
    }
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(pointers, 6).IsOK());
    for (int round = 0; round < 2; ++round) {
        QVERIFY(transmitter.Open("127.0.0.1", receiver.GetPort(), "", 0, false, false, 8, false).IsOK());
        // Slow enough that blocks are still in the device at Close.
        QVERIFY(transmitter.SetMaxPayloadThroughput(2e8f).IsOK());
        for (int i = 0; i < 12; ++i) {
            NqBuffer* buffer = nullptr;
            QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 5000).IsOK());
            Fill(*buffer, uint32_t(i));
            QCOMPARE(transmitter.QueueBuffer(buffer).GetCode(), 0xFFFFu);
        }
        LogCapture log;
        QVERIFY(transmitter.Close().IsOK());
        // Every buffer still in the device came back: Close fell back on
        // none of its limits, and no buffer came back twice or from elsewhere.
        for (const LogCapture::Line& line : log.Lines())
            QVERIFY2(line.level < NzUtilsLib::Logger::Warning, line.message.c_str());
        QVERIFY(!device->IsOpen());
    }
    QVERIFY(transmitter.Open("127.0.0.1", receiver.GetPort(), "", 0, false, false, 8, false).IsOK());
    std::set<NqBuffer*> handedOut;
    NqBuffer* buffer = nullptr;
    while (transmitter.RetrieveFreeBuffer(&buffer, 0).IsOK())
        handedOut.insert(buffer);
    QCOMPARE(handedOut, std::set<NqBuffer*>(pointers, pointers + 6));
    // Each Open starts the block ids again, so blocks cut short by a Close
    // may share ids with later ones: only count that blocks went out.
    QVERIFY(receiver.GetDatagramCount() > 0);
}

void DriverLoopbackTest::abortsQueuedBlocks()
{
    auto device = std::make_shared<TestFilterDriver>(TestFilterDriver::Mode::Send);
    ScopedDevice registration(device);
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.Open("127.0.0.1", receiver.GetPort(), "", 0, false, false, 8, false).IsOK());
    // Four blocks of a hundred seconds each at 80 kb/s: the first is still on
    // its way through every check, however long a loaded machine takes.
    QVERIFY(transmitter.SetMaxPayloadThroughput(8e4f).IsOK());
    NqBuffer buffers[4];
    for (NqBuffer& buffer : buffers) {
        QVERIFY(buffer.Alloc(1000000).IsOK());
        QCOMPARE(transmitter.QueueBuffer(&buffer).GetCode(), 0xFFFFu);
    }
    QCOMPARE(transmitter.GetQueuedBufferCount(), 4u);
    bool aborted = false;
    QVERIFY(transmitter.AbortQueuedBuffers(0xFFFFFFFF, &aborted).IsOK());
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
    QCOMPARE(transmitter.GetBlocksTransmitted(), 4ull);
}

QTEST_GUILESS_MAIN(DriverLoopbackTest)
#include "tst_transmitter_driver_loopback.moc"
