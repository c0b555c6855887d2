// The engine's pacing: the rate it asks of the pacer, seen in simulated
// time, its waits for the pacer's deadlines, and aborts while it waits.
#include "EngineBench.h"
#include "RecordingPacer.h"

#include <QtTest>
#include <algorithm>
#include <chrono>

using namespace EngineBench;

class EnginePacingTest : public QObject
{
    Q_OBJECT

private slots:
    void asksThePacerForTheThroughput_data();
    void asksThePacerForTheThroughput();
    void pacesToTheThroughput();
    void abortInterruptsPacing();
    void stopInterruptsPacing();
};

void EnginePacingTest::asksThePacerForTheThroughput_data()
{
    QTest::addColumn<quint64>("throughput");
    QTest::addColumn<quint32>("packetsPerRecord");
    // What the rate carries in 100 us, in 1404-byte packets.
    QTest::newRow("80 Mb/s") << quint64(80000000) << 1u;
    QTest::newRow("1 Gb/s") << quint64(1000000000) << 8u;
    QTest::newRow("no limit") << quint64(0) << 16u;
}

void EnginePacingTest::asksThePacerForTheThroughput()
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
        QVERIFY(WaitAll(engine, 2, entries, 10000));
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

void EnginePacingTest::pacesToTheThroughput()
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

void EnginePacingTest::abortInterruptsPacing()
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
    QTRY_VERIFY_WITH_TIMEOUT(sink.records.load() > 0, 10000);
    // Aborting none leaves the block on its way...
    bool aborted = true;
    QCOMPARE(engine.Abort(0, aborted), uint32_t(TransmitEngine::StatusSuccess));
    QVERIFY(!aborted);
    // ...aborting all stops it.
    QCOMPARE(engine.Abort(0xFFFFFFFF, aborted), uint32_t(TransmitEngine::StatusSuccess));
    QVERIFY(aborted);
    // Back well before the pacing would have let the block end.
    CompletionEntry entry;
    uint32_t count = 0;
    QCOMPARE(engine.WaitBuffers(1, &entry, count, 30000), uint32_t(TransmitEngine::StatusSuccess));
    QCOMPARE(entry.status, uint32_t(CompletionAborted));
    QVERIFY(entry.payloadBytes < 10000000u);
}

void EnginePacingTest::stopInterruptsPacing()
{
    TransmitEngine engine;
    CaptureSink sink(engine);
    QCOMPARE(engine.Open(Parameters(2), &sink), uint32_t(TransmitEngine::StatusSuccess));
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(10000000).IsOK());
    // A hundred seconds of sending at 800 kb/s, in 7125 records of one packet.
    const PushDescriptor d = Descriptor(buffer, 1440, false, 800000);
    {
        Worker worker(engine);
        QCOMPARE(engine.PushBuffers(1, &d), uint32_t(TransmitEngine::StatusSuccess));
        QTRY_VERIFY_WITH_TIMEOUT(sink.records.load() > 0, 10000);
    }
    // The work loop ended at the block's next record, not at its end.
    QVERIFY2(sink.records.load() < 7125, qPrintable(QString("%1 records").arg(sink.records.load())));
    engine.Close();
}

QTEST_GUILESS_MAIN(EnginePacingTest)
#include "tst_transmitter_pacing.moc"
