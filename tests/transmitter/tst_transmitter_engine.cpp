// The packetizing engine driven with a capturing sink: packet layout, record
// boundaries, block-id wrap, capacity, refusals and aborts.
#include "EngineBench.h"

#include <QtTest>

using namespace EngineBench;

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
        QVERIFY(WaitAll(engine, 2, entries, 5000));
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
    PushDescriptor invalid = d;
    invalid.packetSize = 0;
    // A batch goes in whole or not at all: one of them invalid, or more than fit.
    const PushDescriptor withInvalid[2] = {d, invalid};
    QCOMPARE(engine.PushBuffers(2, withInvalid), uint32_t(TransmitEngine::StatusInvalidParameter));
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    const PushDescriptor two[2] = {d, d};
    QCOMPARE(engine.PushBuffers(2, two), uint32_t(TransmitEngine::StatusFull));
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusFull));
    bool aborted = false;
    QCOMPARE(engine.Abort(0xFFFFFFFF, aborted), uint32_t(TransmitEngine::StatusSuccess));
    CompletionEntry entries[4];
    uint32_t count = 0;
    engine.WaitBuffers(4, entries, count, 0);
    QCOMPARE(count, 2u);
    engine.Close();
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusNotOpen));
}

void TransmitEngineTest::refusesInvalidDescriptors_data()
{
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint32>("packetSize");
    QTest::addColumn<quint32>("payloadSize");
    QTest::addColumn<bool>("nullPayload");
    QTest::addColumn<quint32>("leaderSize");
    QTest::addColumn<quint32>("trailerSize");
    QTest::addColumn<quint32>("status");
    const quint32 ok = TransmitEngine::StatusSuccess, invalid = TransmitEngine::StatusInvalidParameter;
    // Leader and trailer sizes 0: as encoded.
    QTest::newRow("packet size 0") << false << 0u << 10u << false << 0u << 0u << invalid;
    QTest::newRow("below the leader") << false << Gvsp::MinPacketSize - 1 << 10u << false << 0u << 0u << invalid;
    QTest::newRow("65535") << false << 65535u << 10u << false << 0u << 0u << ok;
    QTest::newRow("above 65535") << false << 65536u << 10u << false << 0u << 0u << invalid;
    QTest::newRow("no payload pointer") << false << 1440u << 10u << true << 0u << 0u << invalid;
    QTest::newRow("leader beyond its area") << false << 1440u << 10u << false << 129u << 0u << invalid;
    QTest::newRow("trailer beyond its area") << false << 1440u << 10u << false << 0u << 129u << invalid;
    QTest::newRow("trailer shorter than a header") << true << 1440u << 10u << false << 0u << 19u << invalid;
    // In 48-byte packets, 2^24 - 2 data packets leave the trailer the last id.
    QTest::newRow("packet ids just do") << false << Gvsp::MinPacketSize << 0xFFFFFEu * 48 << false << 0u << 0u << ok;
    QTest::newRow("packet ids run out") << false << Gvsp::MinPacketSize << 0xFFFFFEu * 48 + 1 << false << 0u << 0u
                                        << invalid;
    QTest::newRow("extended ids do not") << true << Gvsp::MinPacketSize << 0xFFFFFFFFu << false << 0u << 0u << ok;
}

void TransmitEngineTest::refusesInvalidDescriptors()
{
    QFETCH(bool, extended);
    QFETCH(quint32, packetSize);
    QFETCH(quint32, payloadSize);
    QFETCH(bool, nullPayload);
    QFETCH(quint32, leaderSize);
    QFETCH(quint32, trailerSize);
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
    if (leaderSize)
        d.leaderSize = leaderSize;
    if (trailerSize)
        d.trailerSize = trailerSize;
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
    // Only the first of its two records fails.
    sink.failingRecords = 1;
    QCOMPARE(engine.Open(Parameters(2), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(20 * 1404).IsOK());
    const PushDescriptor d = Descriptor(buffer, 1440, false);
    Worker worker(engine);
    QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
    CompletionEntry entry;
    uint32_t count = 0;
    QCOMPARE(engine.WaitBuffers(1, &entry, count, 5000), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(entry.status, uint32_t(CompletionSendFailed));
    QCOMPARE(sink.recordSizes, (std::vector<uint32_t>{16, 6}));
    // A foreign context is ignored rather than written through.
    engine.SendDone(&count, 1, 1, true);
}

QTEST_GUILESS_MAIN(TransmitEngineTest)
#include "tst_transmitter_engine.moc"
