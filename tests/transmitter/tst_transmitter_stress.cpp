// Many queue/retrieve cycles through the pool, meant for a ThreadSanitizer
// build: no buffer may be lost or handed out twice.
#include "GvspReceiver.h"
#include "NqTransmitterRaw.h"

#include <QtTest>
#include <set>

class TransmitterStressTest : public QObject
{
    Q_OBJECT

private slots:
    void cyclesKeepEveryBuffer();
};

void TransmitterStressTest::cyclesKeepEveryBuffer()
{
    const int cycles = 100000;
    const int count = 6;
    GvspReceiver receiver(1440, false);
    QVERIFY(receiver.Start());
    NqBuffer buffers[count];
    NqBuffer* pointers[count];
    for (int i = 0; i < count; ++i) {
        QVERIFY(buffers[i].Alloc(64 + 700 * i).IsOK());
        pointers[i] = &buffers[i];
    }
    NqTransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(pointers, count).IsOK());
    QVERIFY(transmitter.Open("127.0.0.1", receiver.GetPort(), "", 0, false, false, 8, false).IsOK());

    for (int cycle = 0; cycle < cycles; ++cycle) {
        NqBuffer* buffer = nullptr;
        const NqResult taken = transmitter.RetrieveFreeBuffer(&buffer, 5000);
        QVERIFY2(taken.IsOK() && buffer, qPrintable(QString("cycle %1: no free buffer").arg(cycle)));
        // A buffer still on its way out is pending; the pool must not hand it out again.
        QVERIFY2(buffer->GetOperationResult().GetCode() != NqResult::Code::PENDING,
                 qPrintable(QString("cycle %1: a queued buffer was handed out").arg(cycle)));
        QVERIFY(cycle < count || buffer->GetOperationResult().IsOK());
        buffer->GetDataPointer()[0] = uint8_t(cycle);
        QVERIFY(transmitter.QueueBuffer(buffer).IsOK());
    }
    // Every buffer comes home.
    std::set<NqBuffer*> home;
    for (int i = 0; i < count; ++i) {
        NqBuffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 5000).IsOK());
        QVERIFY(home.insert(buffer).second);
    }
    QCOMPARE(home.size(), size_t(count));
    QCOMPARE(transmitter.GetBlocksTransmitted(), quint64(cycles));
    QVERIFY(transmitter.Close().IsOK());
}

QTEST_GUILESS_MAIN(TransmitterStressTest)
#include "tst_transmitter_stress.moc"
