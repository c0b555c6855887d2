// The packetizing engine driven with a capturing sink: packet layout, record
// boundaries, block-id wrap, capacity, aborts and pacing.
#include "base/NqBuffer.h"
#include "KyNetworkLib/Gvsp.h"
#include "KyNetworkLib/GVSPPacketLeader.h"
#include "KyNetworkLib/GVSPPacketTrailer.h"
#include "KyTransportLayerLib/TransmitEngine.h"
#include "RecordingPacer.h"

#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace Gvsp = KyNetworkLib::Gvsp;
using namespace KyTransportLayerLib;

namespace {

// Checks every record as the engine hands it over and keeps the headers.
class CaptureSink : public IPacketSink
{
public:
    explicit CaptureSink(TransmitEngine& engine) : m_engine(engine) {}

    void AddPacket(const Packet& packet) override
    {
        if (count == 0)
            context = packet.context;
        else if (packet.context != context)
            mixedRecords = true;
        Gvsp::Header header;
        Gvsp::ReadHeader(packet.header, packet.headerSize, header);
        if (header.format == Gvsp::FormatLeader)
            leaderIds.push_back(header.blockId);
        if (keepHeaders)
            headers.push_back(header);
        ++count;
        bytes += packet.payloadSize;
    }
    void SendPackets() override
    {
        if (count > TransmitEngine::MaxPacketsPerRecord)
            oversizedRecords = true;
        recordSizes.push_back(count);
        recordBytes.push_back(bytes);
        recordContexts.push_back(context);
        m_engine.SendDone(context, count, bytes, fail);
        count = bytes = 0;
    }

    bool keepHeaders = false;
    bool fail = false;
    std::vector<uint64_t> leaderIds;
    std::vector<Gvsp::Header> headers;
    std::vector<uint32_t> recordSizes;
    std::vector<uint32_t> recordBytes;
    std::vector<void*> recordContexts;
    bool mixedRecords = false;
    bool oversizedRecords = false;

private:
    TransmitEngine& m_engine;
    void* context = nullptr;
    uint32_t count = 0;
    uint32_t bytes = 0;
};

PushDescriptor Descriptor(NqBuffer& buffer, uint32_t packetSize, bool extended, uint64_t throughput = 0)
{
    PushDescriptor d;
    KyNetworkLib::GVSPPacketLeader leader;
    leader.Encode(d.leader, sizeof d.leader, extended);
    leader.EncodeBuffer(*buffer.GetInternal());
    d.leaderSize = leader.GetPacketSize();
    KyNetworkLib::GVSPPacketTrailer trailer;
    trailer.Encode(d.trailer, sizeof d.trailer, extended);
    trailer.EncodeBuffer(*buffer.GetInternal());
    d.trailerSize = trailer.GetPacketSize();
    d.payload = buffer.GetDataPointer();
    d.payloadSize = buffer.GetSize();
    d.packetSize = packetSize;
    d.maxThroughput = throughput;
    d.context = &buffer;
    return d;
}

// Runs the engine's work loop for the scope.
class Worker
{
public:
    explicit Worker(TransmitEngine& engine) : m_engine(engine), m_thread([this] { m_engine.RunWork(); }) {}
    ~Worker()
    {
        m_engine.StopWork();
        m_thread.join();
    }

private:
    TransmitEngine& m_engine;
    std::thread m_thread;
};

EngineParameters Parameters(uint32_t capacity, bool extended = false)
{
    EngineParameters parameters;
    parameters.buffersCapability = capacity;
    parameters.extendedHeader = extended;
    return parameters;
}

} // namespace

class TransmitEngineTest : public QObject
{
    Q_OBJECT

private slots:
    void packetLayout_data();
    void packetLayout();
    void recordsNeverMixBlocks();
    void blockIdWrapsToOne();
    void refusesWhenFull();
    void refusesInvalidDescriptors_data();
    void refusesInvalidDescriptors();
    void abortsQueuedBlocks_data();
    void abortsQueuedBlocks();
    void abortOldest();
    void failedRecordFailsBlock();
    void asksThePacerForTheThroughput_data();
    void asksThePacerForTheThroughput();
    void pacesToTheThroughput();
    void abortInterruptsPacing();
};

void TransmitEngineTest::packetLayout_data()
{
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint32>("payload");
    const uint32_t perPacket = 1440 - 36;
    QTest::newRow("1 byte") << false << 1u;
    QTest::newRow("k packets exactly") << false << 3 * perPacket;
    QTest::newRow("k packets and one byte") << false << 3 * perPacket + 1;
    QTest::newRow("extended, k packets and one byte") << true << 3 * (1440u - 48) + 1;
}

void TransmitEngineTest::packetLayout()
{
    QFETCH(bool, extended);
    QFETCH(quint32, payload);
    TransmitEngine engine;
    CaptureSink sink(engine);
    sink.keepHeaders = true;
    QCOMPARE(engine.Open(Parameters(2, extended), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(payload).IsOK());
    const PushDescriptor d = Descriptor(buffer, 1440, extended);
    {
        Worker worker(engine);
        QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
        CompletionEntry entry;
        uint32_t count = 0;
        QCOMPARE(engine.WaitBuffers(1, &entry, count, 5000), uint32_t(TransmitEngine::StatusSuccess));
        QCOMPARE(entry.status, uint32_t(CompletionSent));
        QCOMPARE(entry.payloadBytes, payload);
        QCOMPARE(entry.context, static_cast<void*>(&buffer));
    }
    const uint32_t dataPackets = uint32_t(Gvsp::DataPacketCount(payload, Gvsp::DataBytesPerPacket(1440, extended)));
    QCOMPARE(uint32_t(sink.headers.size()), dataPackets + 2);
    for (uint32_t id = 0; id < sink.headers.size(); ++id) {
        const Gvsp::Header& h = sink.headers[id];
        QCOMPARE(h.packetId, id);
        QCOMPARE(h.blockId, uint64_t(1));
        QCOMPARE(h.extended, extended);
        const uint8_t format = id == 0 ? Gvsp::FormatLeader : id == dataPackets + 1 ? Gvsp::FormatTrailer
                                                                                    : Gvsp::FormatPayload;
        QCOMPARE(h.format, format);
    }
    engine.Close();
}

void TransmitEngineTest::recordsNeverMixBlocks()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(4), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer first, second;
    QVERIFY(first.Alloc(20 * 1404).IsOK());
    QVERIFY(second.Alloc(20 * 1404).IsOK());
    const PushDescriptor d[2] = {Descriptor(first, 1440, false), Descriptor(second, 1440, false)};
    {
        Worker worker(engine);
        QCOMPARE(engine.PushBuffers(2, d), uint32_t(TransmitEngine::StatusSuccess));
        CompletionEntry entries[2];
        uint32_t total = 0;
        while (total < 2) {
            uint32_t count = 0;
            QCOMPARE(engine.WaitBuffers(2 - total, entries + total, count, 5000),
                     uint32_t(TransmitEngine::StatusSuccess));
            total += count;
        }
        QCOMPARE(entries[0].packetCount, 22u);
        QCOMPARE(entries[1].packetCount, 22u);
    }
    // 22 packets a block: a full record of 16, then the block's last 6.
    QCOMPARE(sink.recordSizes, (std::vector<uint32_t>{16, 6, 16, 6}));
    QVERIFY(!sink.mixedRecords);
    engine.Close();
}

void TransmitEngineTest::blockIdWrapsToOne()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(8), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(1).IsOK());
    const PushDescriptor d = Descriptor(buffer, 1440, false);
    const uint32_t blocks = 65537;
    {
        Worker worker(engine);
        uint32_t pushed = 0, completed = 0;
        CompletionEntry entries[8];
        while (completed < blocks) {
            while (pushed < blocks && engine.PushBuffers(1, &d) == TransmitEngine::StatusSuccess)
                ++pushed;
            uint32_t count = 0;
            QCOMPARE(engine.WaitBuffers(8, entries, count, 5000), uint32_t(TransmitEngine::StatusSuccess));
            completed += count;
        }
    }
    QCOMPARE(uint32_t(sink.leaderIds.size()), blocks);
    QCOMPARE(sink.leaderIds[0], uint64_t(1));
    QCOMPARE(sink.leaderIds[65534], uint64_t(65535));
    QCOMPARE(sink.leaderIds[65535], uint64_t(1));
    QCOMPARE(sink.leaderIds[65536], uint64_t(2));
    engine.Close();
}

void TransmitEngineTest::refusesWhenFull()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(2), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(100).IsOK());
    const PushDescriptor d = Descriptor(buffer, 1440, false);
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusFull));
    engine.Close();
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusNotOpen));
}

void TransmitEngineTest::refusesInvalidDescriptors_data()
{
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint32>("packetSize");
    QTest::addColumn<quint32>("payloadSize");
    QTest::addColumn<bool>("nullPayload");
    QTest::addColumn<quint32>("status");
    const quint32 ok = TransmitEngine::StatusSuccess, invalid = TransmitEngine::StatusInvalidParameter;
    QTest::newRow("packet size 0") << false << 0u << 10u << false << invalid;
    QTest::newRow("below the leader") << false << Gvsp::MinPacketSize - 1 << 10u << false << invalid;
    QTest::newRow("above 65535") << false << 65536u << 10u << false << invalid;
    QTest::newRow("no payload pointer") << false << 1440u << 10u << true << invalid;
    // 2^32 - 1 bytes in 48-byte packets need more than 2^24 packet ids.
    QTest::newRow("packet ids run out") << false << Gvsp::MinPacketSize << 0xFFFFFFFFu << false << invalid;
    QTest::newRow("extended ids do not") << true << Gvsp::MinPacketSize << 0xFFFFFFFFu << false << ok;
}

void TransmitEngineTest::refusesInvalidDescriptors()
{
    QFETCH(bool, extended);
    QFETCH(quint32, packetSize);
    QFETCH(quint32, payloadSize);
    QFETCH(bool, nullPayload);
    QFETCH(quint32, status);
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(2, extended), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(16).IsOK());
    PushDescriptor d = Descriptor(buffer, packetSize, extended);
    d.payloadSize = payloadSize;
    if (nullPayload)
        d.payload = nullptr;
    // Never sent: the engine does not run here.
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(status));
    engine.Close();
}

void TransmitEngineTest::abortsQueuedBlocks_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<quint32>("abortedCount");
    QTest::newRow("all") << 0xFFFFFFFFu << 3u;
    QTest::newRow("the oldest") << 1u << 1u;
    QTest::newRow("none") << 0u << 0u;
}

void TransmitEngineTest::abortsQueuedBlocks()
{
    QFETCH(quint32, value);
    QFETCH(quint32, abortedCount);
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(4), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffers[3];
    for (NqBuffer& buffer : buffers) {
        QVERIFY(buffer.Alloc(100).IsOK());
        const PushDescriptor d = Descriptor(buffer, 1440, false);
        QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    }
    bool aborted = true;
    QCOMPARE(engine.Abort(value, aborted), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(aborted, abortedCount > 0);
    CompletionEntry entries[4];
    uint32_t count = 0;
    engine.WaitBuffers(4, entries, count, 0);
    QCOMPARE(count, abortedCount);
    for (uint32_t i = 0; i < count; ++i) {
        QCOMPARE(entries[i].status, uint32_t(CompletionAborted));
        QCOMPARE(entries[i].context, static_cast<void*>(&buffers[i]));
    }
    engine.Close();
}

void TransmitEngineTest::abortOldest()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(4), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffers[2];
    for (NqBuffer& buffer : buffers) {
        QVERIFY(buffer.Alloc(100).IsOK());
        const PushDescriptor d = Descriptor(buffer, 1440, false);
        QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    }
    CompletionEntry entry;
    QCOMPARE(engine.AbortOlderPushedBuffer(entry), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(entry.context, static_cast<void*>(&buffers[0]));
    QCOMPARE(entry.status, uint32_t(CompletionAborted));
    QCOMPARE(engine.AbortOlderPushedBuffer(entry), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(entry.context, static_cast<void*>(&buffers[1]));
    QCOMPARE(engine.AbortOlderPushedBuffer(entry), uint32_t(TransmitEngine::StatusNothingQueued));
    engine.Close();
}

void TransmitEngineTest::failedRecordFailsBlock()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    sink.fail = true;
    QCOMPARE(engine.Open(Parameters(2), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(5000).IsOK());
    const PushDescriptor d = Descriptor(buffer, 1440, false);
    Worker worker(engine);
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    CompletionEntry entry;
    uint32_t count = 0;
    QCOMPARE(engine.WaitBuffers(1, &entry, count, 5000), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(entry.status, uint32_t(CompletionSendFailed));
    // A foreign context is ignored rather than written through.
    engine.SendDone(&count, 1, 1, true);
}

void TransmitEngineTest::asksThePacerForTheThroughput_data()
{
    QTest::addColumn<quint64>("throughput");
    QTest::addColumn<quint32>("packetsPerRecord");
    // What the rate carries in 100 us, in 1404-byte packets.
    QTest::newRow("80 Mb/s") << quint64(80000000) << 1u;
    QTest::newRow("1 Gb/s") << quint64(1000000000) << 8u;
    QTest::newRow("no limit") << quint64(0) << 16u;
}

void TransmitEngineTest::asksThePacerForTheThroughput()
{
    QFETCH(quint64, throughput);
    QFETCH(quint32, packetsPerRecord);
    RecordingPacer pacer;
    TransmitEngine engine(&pacer);
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(2), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffers[2];
    PushDescriptor d[2];
    for (int i = 0; i < 2; ++i) {
        QVERIFY(buffers[i].Alloc(1000000).IsOK());
        d[i] = Descriptor(buffers[i], 1440, false, throughput);
    }
    {
        Worker worker(engine);
        QCOMPARE(engine.PushBuffers(2, d), uint32_t(TransmitEngine::StatusSuccess));
        CompletionEntry entries[2];
        uint32_t total = 0;
        while (total < 2) {
            uint32_t count = 0;
            QCOMPARE(engine.WaitBuffers(2 - total, entries + total, count, 10000),
                     uint32_t(TransmitEngine::StatusSuccess));
            total += count;
        }
    }
    // One reservation a record, for the record's payload at the block's rate.
    const std::vector<RecordingPacer::Reservation> reservations = pacer.Reservations();
    QCOMPARE(reservations.size(), sink.recordBytes.size());
    for (size_t i = 0; i < reservations.size(); ++i) {
        QCOMPARE(quint64(reservations[i].bitsPerSecond), throughput);
        QCOMPARE(reservations[i].payloadBytes, uint64_t(sink.recordBytes[i]));
    }
    QCOMPARE(*std::max_element(sink.recordSizes.begin(), sink.recordSizes.end()), packetsPerRecord);
    // In simulated time the second block starts when the first block's 8
    // Mbit have gone at the rate (each record's share is rounded down to
    // the nanosecond).
    const size_t second = size_t(std::find_if(sink.recordContexts.begin(), sink.recordContexts.end(),
                                              [&](void* context) { return context != sink.recordContexts[0]; })
                                 - sink.recordContexts.begin());
    QVERIFY(second < reservations.size());
    const int64_t expectedNs = throughput ? int64_t(8000000 * 1000000000ull / throughput) : 0;
    const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(reservations[second].at).count();
    QVERIFY2(ns <= expectedNs && ns > expectedNs - int64_t(second),
             qPrintable(QString("%1 ns in simulated time, %2 expected").arg(ns).arg(expectedNs)));
    engine.Close();
}

void TransmitEngineTest::pacesToTheThroughput()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(2), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(1000000).IsOK());
    // 8 Mbit at 80 Mb/s: 100 ms, less the last record's share.
    const PushDescriptor d = Descriptor(buffer, 1440, false, 80000000);
    Worker worker(engine);
    const auto start = std::chrono::steady_clock::now();
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    CompletionEntry entry;
    uint32_t count = 0;
    QCOMPARE(engine.WaitBuffers(1, &entry, count, 5000), uint32_t(TransmitEngine::StatusSuccess));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // How much slower depends on the machine (the rate itself is checked in
    // simulated time).
    QVERIFY2(elapsed >= std::chrono::milliseconds(95), "sent faster than the throughput allows");
    // Spread, not in bursts of 16: 80 Mb/s carries less than a packet in 100 us.
    QCOMPARE(*std::max_element(sink.recordSizes.begin(), sink.recordSizes.end()), 1u);
}

void TransmitEngineTest::abortInterruptsPacing()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(2), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(10000000).IsOK());
    // A hundred seconds of sending at 800 kb/s.
    const PushDescriptor d = Descriptor(buffer, 1440, false, 800000);
    Worker worker(engine);
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    bool aborted = false;
    QCOMPARE(engine.Abort(0xFFFFFFFF, aborted), uint32_t(TransmitEngine::StatusSuccess));
    QVERIFY(aborted);
    // Back well before the pacing would have let the block end.
    CompletionEntry entry;
    uint32_t count = 0;
    QCOMPARE(engine.WaitBuffers(1, &entry, count, 30000), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(entry.status, uint32_t(CompletionAborted));
    QVERIFY(entry.payloadBytes < 10000000u);
}

QTEST_GUILESS_MAIN(TransmitEngineTest)
#include "tst_transmitter_engine.moc"
