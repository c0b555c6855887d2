// The buffer pool in front of an in-memory sender.
#include "FakeSender.h"
#include "GVSPMemoryPool.h"
#include "LogCapture.h"
#include "ResultCodes.h"
#include "base/NqBuffer.h"

#include <QtTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <set>

using namespace NqTransmitterRawLib;
using NqBufferLib::Buffer;

namespace {

struct Buffers
{
    explicit Buffers(int count) : owners(count)
    {
        for (NqBuffer& owner : owners) {
            owner.Alloc(64);
            pointers.push_back(owner.GetInternal());
        }
    }
    std::vector<NqBuffer> owners;
    std::vector<Buffer*> pointers;
};

// Takes buffers until the pool has none within the time-out.
std::vector<Buffer*> TakeAll(GVSPMemoryPool& pool, uint32_t timeoutMs = 0)
{
    std::vector<Buffer*> taken;
    Buffer* buffer = nullptr;
    while (!pool.RetrieveFreeBuffer(&buffer, timeoutMs).IsFailure())
        taken.push_back(buffer);
    return taken;
}

bool WaitForFree(GVSPMemoryPool& pool, uint32_t count)
{
    QElapsedTimer timer;
    timer.start();
    while (pool.GetFreeBufferCount() < count && timer.elapsed() < 5000)
        QTest::qSleep(2);
    return pool.GetFreeBufferCount() == count;
}

} // namespace

class MemoryPoolTest : public QObject
{
    Q_OBJECT

private slots:
    void handsOutEveryBufferOnce();
    void refusesReloadWhileBuffersAreOut();
    void refusesBadBufferArrays_data();
    void refusesBadBufferArrays();
    void refusesToOpen();
    void abortWithoutThread();
    void abortTakesBuffersBack();
    void sentBuffersComeBack();
    void detachTakesQueuedBuffersBack();
    void closeTakesQueuedBuffersBack();
    void refusesForeignAndDuplicateBuffers();
    void forwardsWithoutSenderSafely();
};

void MemoryPoolTest::handsOutEveryBufferOnce()
{
    Buffers buffers(4);
    GVSPMemoryPool pool(3);
    QVERIFY(pool.SetBuffers(buffers.pointers.data(), 4).IsSuccess());
    const std::vector<Buffer*> taken = TakeAll(pool);
    QCOMPARE(std::set<Buffer*>(taken.begin(), taken.end()),
             std::set<Buffer*>(buffers.pointers.begin(), buffers.pointers.end()));
    QCOMPARE(taken.size(), size_t(4));
    Buffer* buffer = reinterpret_cast<Buffer*>(1);
    const auto start = std::chrono::steady_clock::now();
    QCOMPARE(pool.RetrieveFreeBuffer(&buffer, 50).GetCode(), uint32_t(Code::Timeout));
    QVERIFY(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(45));
    QVERIFY(!buffer);
}

void MemoryPoolTest::refusesReloadWhileBuffersAreOut()
{
    Buffers first(3), second(2);
    GVSPMemoryPool pool(3);
    QVERIFY(pool.SetBuffers(first.pointers.data(), 3).IsSuccess());
    Buffer* buffer = nullptr;
    QVERIFY(pool.RetrieveFreeBuffer(&buffer, 0).IsSuccess());
    const NzUtilsLib::Result refused = pool.SetBuffers(second.pointers.data(), 2);
    QCOMPARE(refused.GetCode(), uint32_t(Code::PoolInUse));
    QCOMPARE(QString::fromStdString(refused.GetDescription()), QString(Message::PoolInUse));
    TakeAll(pool);
    QVERIFY(pool.SetBuffers(second.pointers.data(), 2).IsSuccess());
    QCOMPARE(TakeAll(pool).size(), size_t(2));
}

void MemoryPoolTest::refusesBadBufferArrays_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("null array") << 0;
    QTest::newRow("count 0") << 1;
    QTest::newRow("null entry") << 2;
    QTest::newRow("same buffer twice") << 3;
}

void MemoryPoolTest::refusesBadBufferArrays()
{
    QFETCH(int, fault);
    Buffers buffers(3);
    std::vector<Buffer*> array = buffers.pointers;
    if (fault == 2)
        array[1] = nullptr;
    if (fault == 3)
        array[2] = array[0];
    GVSPMemoryPool pool(3);
    const NzUtilsLib::Result result = pool.SetBuffers(fault == 0 ? nullptr : array.data(), fault == 1 ? 0 : 3);
    QCOMPARE(result.GetCode(), uint32_t(Code::InvalidParameter));
    QCOMPARE(pool.GetFreeBufferCount(), 0u);
}

void MemoryPoolTest::refusesToOpen()
{
    GVSPMemoryPool pool(3);
    KyNetworkLib::IpAddress address(0x7F000001);
    QCOMPARE(pool.Open(&address, 1, nullptr, 0, false, false, 2, 64, false).GetCode(), uint32_t(Code::NotInitialized));
}

void MemoryPoolTest::abortWithoutThread()
{
    GVSPMemoryPool pool(3);
    bool aborted = true;
    QVERIFY(pool.AbortQueuedBuffers(0xFFFFFFFF, &aborted).IsSuccess());
    QVERIFY(!aborted);
}

void MemoryPoolTest::abortTakesBuffersBack()
{
    Buffers buffers(3);
    FakeSender sender;
    GVSPMemoryPool pool(3);
    QVERIFY(pool.SetBuffers(buffers.pointers.data(), 3).IsSuccess());
    QVERIFY(pool.SetSender(&sender).IsSuccess());
    for (Buffer* buffer : TakeAll(pool))
        QVERIFY(pool.QueueBuffer(buffer).IsSuccess());
    QCOMPARE(pool.GetQueuedBufferCount(), 3u);
    // Each buffer takes half a second to come out of the sender: had the
    // pool left the aborted buffers to its next rounds, they would still be
    // missing when the abort returns.
    sender.SetHandOutDelay(500);
    // Twice: each abort waits for its own round.
    for (int round = 0; round < 2; ++round) {
        if (round)
            for (Buffer* buffer : TakeAll(pool))
                QVERIFY(pool.QueueBuffer(buffer).IsSuccess());
        bool aborted = false;
        QVERIFY(pool.AbortQueuedBuffers(0xFFFFFFFF, &aborted).IsSuccess());
        QVERIFY(aborted);
        QCOMPARE(pool.GetFreeBufferCount(), 3u);
        QCOMPARE(pool.GetQueuedBufferCount(), 0u);
    }
    pool.SetSender(nullptr);
}

void MemoryPoolTest::sentBuffersComeBack()
{
    Buffers buffers(2);
    FakeSender sender;
    sender.SetAutoComplete(true);
    GVSPMemoryPool pool(3);
    QVERIFY(pool.SetBuffers(buffers.pointers.data(), 2).IsSuccess());
    QVERIFY(pool.SetSender(&sender).IsSuccess());
    for (int round = 0; round < 100; ++round) {
        Buffer* buffer = nullptr;
        QVERIFY(pool.RetrieveFreeBuffer(&buffer, 10000).IsSuccess()); // through the pool's thread
        QVERIFY(pool.QueueBuffer(buffer).IsSuccess());
    }
    QVERIFY(WaitForFree(pool, 2));
    pool.SetSender(nullptr);
}

void MemoryPoolTest::detachTakesQueuedBuffersBack()
{
    Buffers buffers(4);
    FakeSender sender;
    GVSPMemoryPool pool(3);
    QVERIFY(pool.SetBuffers(buffers.pointers.data(), 4).IsSuccess());
    QVERIFY(pool.SetSender(&sender).IsSuccess());
    for (Buffer* buffer : TakeAll(pool))
        QVERIFY(pool.QueueBuffer(buffer).IsSuccess());
    QVERIFY(pool.SetSender(nullptr).IsSuccess());
    QCOMPARE(pool.GetFreeBufferCount(), 4u);
    QCOMPARE(sender.GetQueuedBufferCount(), 0u);
    QVERIFY(!sender.IsClosed());
}

void MemoryPoolTest::closeTakesQueuedBuffersBack()
{
    Buffers buffers(4);
    FakeSender sender;
    GVSPMemoryPool pool(3);
    QVERIFY(pool.SetBuffers(buffers.pointers.data(), 4).IsSuccess());
    QVERIFY(pool.SetSender(&sender).IsSuccess());
    const std::vector<Buffer*> taken = TakeAll(pool);
    for (size_t i = 0; i < 3; ++i)
        QVERIFY(pool.QueueBuffer(taken[i]).IsSuccess());
    pool.Close();
    QVERIFY(sender.IsClosed());
    // The three from the sender; the fourth is still with the caller.
    QCOMPARE(pool.GetFreeBufferCount(), 3u);
}

void MemoryPoolTest::refusesForeignAndDuplicateBuffers()
{
    // The stranger sorts before the four loaded buffers, next to one that
    // is out of the ring: only the check that it was loaded refuses it.
    Buffers buffers(5);
    std::vector<Buffer*> sorted = buffers.pointers;
    std::sort(sorted.begin(), sorted.end());
    Buffer* const stranger = sorted[0];
    std::vector<Buffer*> loaded(sorted.begin() + 1, sorted.end());
    FakeSender sender;
    GVSPMemoryPool pool(3);
    QVERIFY(pool.SetBuffers(loaded.data(), 4).IsSuccess());
    // Three out (the ring hands them out in load order), one in the ring:
    // the ring has room for whatever comes back.
    std::vector<Buffer*> taken(3);
    for (Buffer*& buffer : taken)
        QVERIFY(pool.RetrieveFreeBuffer(&buffer, 0).IsSuccess());
    QCOMPARE(taken[0], loaded[0]);
    Buffer* const inRing = loaded[3];
    LogCapture log;
    QVERIFY(pool.SetSender(&sender).IsSuccess());
    sender.Inject(stranger);
    sender.Inject(inRing);
    sender.Inject(taken[0]);
    sender.Inject(taken[0]);
    QTRY_COMPARE(sender.GetQueuedBufferCount(), 0u);
    pool.SetSender(nullptr);
    QCOMPARE(pool.GetFreeBufferCount(), 2u);
    int warnings = 0;
    for (const LogCapture::Line& line : log.Lines())
        warnings += line.level == NzUtilsLib::Logger::Warning;
    QCOMPARE(warnings, 3);
    const std::vector<Buffer*> ring = TakeAll(pool);
    QCOMPARE(std::set<Buffer*>(ring.begin(), ring.end()), (std::set<Buffer*>{inRing, taken[0]}));
    QCOMPARE(ring.size(), size_t(2));
}

void MemoryPoolTest::forwardsWithoutSenderSafely()
{
    GVSPMemoryPool pool(3);
    NqBuffer buffer;
    QCOMPARE(pool.QueueBuffer(buffer.GetInternal()).GetCode(), uint32_t(Code::NotOpened));
    QCOMPARE(pool.GetQueuedBufferCount(), 0u);
    QCOMPARE(pool.SetPacketSize(1440).GetCode(), uint32_t(Code::NotOpened));
    QVERIFY(pool.SetThreadPriority(2).IsSuccess());
    QCOMPARE(pool.GetThreadPriority(), 2u);
    QCOMPARE(pool.SetThreadPriority(7).GetCode(), uint32_t(Code::InvalidParameter));
}

QTEST_GUILESS_MAIN(MemoryPoolTest)
#include "tst_transmitter_pool.moc"
