// The filter-driver sender's buffers against the in-process test device
// (Hold mode: buffers stay in the device until the test completes them):
// queueing, completions, aborts and Close.
#include "DriverBench.h"
#include "GSVPSenderStratolinePro.h"
#include "GVSPStatistic.h"
#include "LogCapture.h"
#include "ResultCodes.h"
#include "StratolineProtocol.h"
#include "TestFilterDriver.h"
#include "TransmitterRaw.h"
#include "base/NqBuffer.h"

#include <QtTest>
#include <algorithm>
#include <memory>
#include <set>
#include <unistd.h>

using namespace NqTransmitterRawLib;

namespace {
const uint32_t kAll = 0xFFFFFFFF;
} // namespace

class DriverBuffersTest : public QObject
{
    Q_OBJECT

private slots:
    void capacityThenBusy();
    void queueAnswers_data();
    void queueAnswers();
    void fiveCompletionsFromOneBatch();
    void completionStatuses_data();
    void completionStatuses();
    void emptyBatchIsNothingCompleted();
    void batchCountClampedAndRecordsChecked();
    void strayCompletionsAreRefused();
    void abortCompletesQueuedBuffers();
    void failedAbortCallIsReturned();
    void abortOldestGivesTheFirstBuffer();
    void closeAgainstSilentDeviceIsBounded();
    void closeCollectsLateCompletions();
    void oversizedBufferIsRefused();
    void poolTakesCompletionsFromTheDriver();
};

void DriverBuffersTest::capacityThenBusy()
{
    QCOMPARE(Bench().Open(0).GetCode(), uint32_t(Code::InvalidParameter));
    for (uint32_t capacity : {2u, 5u}) {
        Bench bench;
        QVERIFY(bench.Open(capacity).IsSuccess());
        NqBuffer(&buffers)[8] = bench.buffers;
        for (uint32_t i = 0; i < capacity; ++i)
            QCOMPARE(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode(), uint32_t(Code::Accepted));
        QCOMPARE(bench.sender.QueueBuffer(buffers[capacity].GetInternal()).GetCode(), uint32_t(Code::NoFreeRecord));
        QCOMPARE(bench.sender.GetQueuedBufferCount(), capacity);
        QCOMPARE(bench.device->GetHeldCount(), capacity);
        // One back, one more in.
        bench.device->Complete(1, 0);
        NqBufferLib::Buffer* back = nullptr;
        QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
        QCOMPARE(back, buffers[0].GetInternal());
        QCOMPARE(bench.sender.QueueBuffer(buffers[capacity].GetInternal()).GetCode(), uint32_t(Code::Accepted));
    }
}

void DriverBuffersTest::queueAnswers_data()
{
    QTest::addColumn<bool>("pending");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<quint32>("failingCall");
    QTest::addColumn<quint32>("code");
    QTest::newRow("pending") << true << 0u << 0u << 0xFFFFu;
    QTest::newRow("done, status 0") << false << 0u << 0u << 0xFFFFu;
    QTest::newRow("done, status 14") << false << 14u << 0u << 0xFFFFu;
    QTest::newRow("done, status 3 (full)") << false << 3u << 0u << 27u;
    QTest::newRow("done, unknown status") << false << 99u << 0u << 1u;
    QTest::newRow("call fails") << true << 0u << quint32(Stratoline::QueueBuffer) << 31u;
}

void DriverBuffersTest::queueAnswers()
{
    QFETCH(bool, pending);
    QFETCH(quint32, status);
    QFETCH(quint32, failingCall);
    QFETCH(quint32, code);
    Bench bench;
    QVERIFY(bench.Open(4).IsSuccess());
    TestFilterDriver::Faults faults;
    faults.queuePending = pending;
    faults.queueStatus = status;
    if (failingCall)
        faults.failingCalls.insert(failingCall);
    bench.device->SetFaults(faults);
    NqBuffer& buffer = bench.buffers[0];
    QCOMPARE(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode(), code);
    // A refused buffer gives its record back.
    QCOMPARE(bench.sender.GetQueuedBufferCount(), code == 0xFFFF ? 1u : 0u);
}

void DriverBuffersTest::fiveCompletionsFromOneBatch()
{
    Bench bench;
    QVERIFY(bench.Open(8).IsSuccess());
    GVSPStatistic statistic;
    bench.sender.SetStatistic(&statistic);
    NqBuffer(&buffers)[8] = bench.buffers;
    for (int i = 0; i < 5; ++i)
        QCOMPARE(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode(), uint32_t(Code::Accepted));
    bench.device->Complete(5, 0, 3, 1000);
    for (int i = 0; i < 5; ++i) {
        NqBuffer& buffer = buffers[i];
        NqBufferLib::Buffer* back = nullptr;
        QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
        QCOMPARE(back, buffer.GetInternal());
        QCOMPARE(buffer.GetOperationResult().GetCode(), 0u);
    }
    // One batch, asked for as many entries as its answer holds.
    using Request = std::pair<uint64_t, uint32_t>;
    QCOMPARE(bench.device->GetBatchRequests(), std::vector<Request>{Request(1000, 32)});
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    QCOMPARE(statistic.GetBlocksTransmitted(), 5ull);
    QCOMPARE(statistic.GetPayloadBytesTransmitted(), 5000ull);
}

void DriverBuffersTest::completionStatuses_data()
{
    QTest::addColumn<quint32>("status");
    QTest::addColumn<quint32>("code");
    QTest::newRow("0 sent") << 0u << 0u;
    QTest::newRow("1") << 1u << 1u;
    QTest::newRow("2") << 2u << 19u;
    QTest::newRow("3") << 3u << 1u;
    QTest::newRow("out of range") << 7u << 1u;
}

void DriverBuffersTest::completionStatuses()
{
    QFETCH(quint32, status);
    QFETCH(quint32, code);
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    GVSPStatistic statistic;
    bench.sender.SetStatistic(&statistic);
    NqBuffer& buffer = bench.buffers[0];
    QVERIFY(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode() == Code::Accepted);
    bench.device->Complete(1, status, 1, 400);
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
    QCOMPARE(back, buffer.GetInternal());
    QCOMPARE(buffer.GetOperationResult().GetCode(), code);
    // Failed blocks count too, with the bytes the driver reports.
    QCOMPARE(statistic.GetBlocksTransmitted(), 1ull);
    QCOMPARE(statistic.GetPayloadBytesTransmitted(), 400ull);
}

void DriverBuffersTest::emptyBatchIsNothingCompleted()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer& buffer = bench.buffers[0];
    QVERIFY(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode() == Code::Accepted);
    NqBufferLib::Buffer* back = buffer.GetInternal();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(bench.sender.RetrieveFreeBuffer(&back, 60).GetCode(), uint32_t(Code::NoCompletion));
    QVERIFY(timer.elapsed() >= 50);
    QVERIFY(!back);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
    // A batch the driver fails gives its status, converted.
    TestFilterDriver::Faults faults;
    faults.batchStatus = 3;
    bench.device->SetFaults(faults);
    bench.device->Complete(1, 0);
    QCOMPARE(bench.sender.RetrieveFreeBuffer(&back, 10000).GetCode(), 27u);
    QVERIFY(!back);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
    bench.device->SetFaults(TestFilterDriver::Faults());
    QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 10000).IsSuccess());
    QCOMPARE(back, buffer.GetInternal());
}

void DriverBuffersTest::batchCountClampedAndRecordsChecked()
{
    Bench bench;
    QVERIFY(bench.Open(8).IsSuccess());
    LogCapture log;
    NqBuffer(&buffers)[8] = bench.buffers;
    QVERIFY(bench.QueueFirst(3));
    TestFilterDriver::Faults faults;
    faults.claimedCount = 1000;
    bench.device->SetFaults(faults);
    bench.device->Complete(3, 0);
    std::vector<NqBufferLib::Buffer*> back;
    uint32_t refused = 0;
    for (int i = 0; i < 32; ++i) {
        NqBufferLib::Buffer* buffer = nullptr;
        const NzUtilsLib::Result result = bench.sender.RetrieveFreeBuffer(&buffer, 100);
        if (result.IsSuccess())
            back.push_back(buffer);
        else
            ++refused;
    }
    QCOMPARE(back, (std::vector<NqBufferLib::Buffer*>{buffers[0].GetInternal(), buffers[1].GetInternal(),
                                                       buffers[2].GetInternal()}));
    // The 29 entries the answer does not hold name no record of ours.
    QCOMPARE(refused, 29u);
    QCOMPARE(bench.device->GetCallCount(Stratoline::RetrieveCompletions), 1u);
    // The 32 read, the next retrieval asks the driver again.
    bench.device->SetFaults(TestFilterDriver::Faults());
    NqBufferLib::Buffer* none = nullptr;
    QCOMPARE(bench.sender.RetrieveFreeBuffer(&none, 0).GetCode(), uint32_t(Code::NoCompletion));
    QCOMPARE(bench.device->GetCallCount(Stratoline::RetrieveCompletions), 2u);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    bool clampLogged = false;
    for (const LogCapture::Line& line : log.Lines())
        clampLogged = clampLogged || line.message == "The driver reported 1000 completions in one batch; 32 are read";
    QVERIFY(clampLogged);
}

void DriverBuffersTest::strayCompletionsAreRefused()
{
    Bench bench;
    QVERIFY(bench.Open(2).IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    uint64_t records[2];
    for (int i = 0; i < 2; ++i) {
        QVERIFY(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode() == Code::Accepted);
        records[i] = Stratoline::ReadU64(bench.device->GetQueueBlock().data(), 296);
    }
    bench.device->Complete(1, 0);
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 10000).IsSuccess());
    QCOMPARE(back, buffers[0].GetInternal());
    LogCapture log;
    // The first buffer's record again, a pointer into the middle of the
    // second's, and the record after the last one: none is a buffer in the driver.
    const uint64_t stride = records[0] > records[1] ? records[0] - records[1] : records[1] - records[0];
    const uint64_t stray[3] = {records[0], records[1] + 8, std::max(records[0], records[1]) + stride};
    for (uint64_t record : stray) {
        bench.device->Report(record);
        back = buffers[7].GetInternal();
        const NzUtilsLib::Result result = bench.sender.RetrieveFreeBuffer(&back, 10000);
        QCOMPARE(result.GetCode(), uint32_t(Code::Failed));
        QVERIFY(QString::fromStdString(result.GetDescription()).startsWith("The driver completed an unknown record"));
        QVERIFY(!back);
        QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
    }
    // The second buffer still comes back once, and the two records serve again.
    bench.device->Complete(1, 0);
    QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 10000).IsSuccess());
    QCOMPARE(back, buffers[1].GetInternal());
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    for (int i = 2; i < 4; ++i)
        QVERIFY(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode() == Code::Accepted);
    QCOMPARE(bench.sender.QueueBuffer(buffers[4].GetInternal()).GetCode(), uint32_t(Code::NoFreeRecord));
}

void DriverBuffersTest::abortCompletesQueuedBuffers()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    QVERIFY(bench.QueueFirst(3));
    bool aborted = false;
    QVERIFY(bench.sender.AbortQueuedBuffers(2, &aborted).IsSuccess());
    QVERIFY(aborted);
    QCOMPARE(bench.device->GetHeldCount(), 1u);
    for (int i = 0; i < 2; ++i) {
        NqBufferLib::Buffer* back = nullptr;
        QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
        QCOMPARE(back, buffers[i].GetInternal());
        QCOMPARE(buffers[i].GetOperationResult().GetCode(), 1u);
    }
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
}

void DriverBuffersTest::failedAbortCallIsReturned()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer& buffer = bench.buffers[0];
    QVERIFY(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode() == Code::Accepted);
    TestFilterDriver::Faults faults;
    faults.failingCalls = {Stratoline::AbortQueued, Stratoline::AbortOldest};
    bench.device->SetFaults(faults);
    bool aborted = true;
    const NzUtilsLib::Result result = bench.sender.AbortQueuedBuffers(kAll, &aborted);
    QCOMPARE(result.GetCode(), uint32_t(KyTransportLayerLib::Link::DeviceFailure));
    QVERIFY(!aborted);
    NqBufferLib::Buffer* back = buffer.GetInternal();
    QCOMPARE(bench.sender.AbortOldestQueuedBuffer(&back).GetCode(), uint32_t(KyTransportLayerLib::Link::DeviceFailure));
    QVERIFY(!back);
    QCOMPARE(bench.device->GetHeldCount(), 1u);
    bench.device->SetFaults(TestFilterDriver::Faults());
}

void DriverBuffersTest::abortOldestGivesTheFirstBuffer()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    QVERIFY(bench.QueueFirst(2));
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(bench.sender.AbortOldestQueuedBuffer(&back).IsSuccess());
    QCOMPARE(back, buffers[0].GetInternal());
    QCOMPARE(buffers[0].GetOperationResult().GetCode(), 1u);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
    QVERIFY(bench.sender.AbortOldestQueuedBuffer(&back).IsSuccess());
    QCOMPARE(back, buffers[1].GetInternal());
    // Nothing left: the driver's status, converted.
    QCOMPARE(bench.sender.AbortOldestQueuedBuffer(&back).GetCode(), uint32_t(Code::NoCompletion));
    QVERIFY(!back);
}

void DriverBuffersTest::closeAgainstSilentDeviceIsBounded()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    QVERIFY(bench.QueueFirst(3));
    TestFilterDriver::Faults faults;
    faults.silent = true;
    bench.device->SetFaults(faults);
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    bench.sender.Close();
    // Its limit, where the silent device would hold it for ever: 40 batches
    // that each wait 50 ms for a completion, 2000 ms.
    using Request = std::pair<uint64_t, uint32_t>;
    QCOMPARE(bench.device->GetBatchRequests(), std::vector<Request>(40, Request(50, 32)));
    QVERIFY2(timer.elapsed() >= 1900, qPrintable(QString("Close took %1 ms").arg(timer.elapsed())));
    QVERIFY(!bench.sender.IsOpen());
    QVERIFY(!bench.device->IsOpen());
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    bool warned = false;
    for (const LogCapture::Line& line : log.Lines())
        warned = warned
                 || (line.level == NzUtilsLib::Logger::Warning
                     && line.message == "The driver did not give back 3 buffers within 2000 ms; closing anyway");
    QVERIFY(warned);
}

void DriverBuffersTest::closeCollectsLateCompletions()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    QVERIFY(bench.QueueFirst(3));
    TestFilterDriver::Faults faults;
    faults.completionDelayMs = 120;
    bench.device->SetFaults(faults);
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    bench.sender.Close();
    // Waits for the late completions...
    QVERIFY2(timer.elapsed() >= 100, qPrintable(QString("%1 ms").arg(timer.elapsed())));
    // ...and no longer: they come 120 ms after the abort, and each batch
    // waits 50 ms for them, so three batches at most, not the 40 of its limit.
    using Request = std::pair<uint64_t, uint32_t>;
    const std::vector<Request> batches = bench.device->GetBatchRequests();
    QVERIFY2(!batches.empty() && batches.size() <= 3, qPrintable(QString("%1 batches").arg(batches.size())));
    QCOMPARE(batches, std::vector<Request>(batches.size(), Request(50, 32)));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(buffers[i].GetOperationResult().GetCode(), 1u);
    for (const LogCapture::Line& line : log.Lines())
        QVERIFY2(line.level < NzUtilsLib::Logger::Warning, line.message.c_str());
}

void DriverBuffersTest::oversizedBufferIsRefused()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    QCOMPARE(bench.sender.GetMaxBufferSize(), Stratoline::MaxBufferSize(uint64_t(sysconf(_SC_PAGESIZE))));
    QCOMPARE(Stratoline::MaxBufferSize(4096), 33529344ull);
    const uint32_t size = uint32_t(bench.sender.GetMaxBufferSize() + 1);
    std::unique_ptr<uint8_t[]> memory(new uint8_t[size]);
    NqBuffer buffer;
    QVERIFY(buffer.Attach(memory.get(), size).IsOK());
    QCOMPARE(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode(), uint32_t(Code::NotEnoughMemory));
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    QCOMPARE(bench.device->GetCallCount(Stratoline::QueueBuffer), 0u);
    // The largest the driver takes still goes.
    QVERIFY(buffer.Attach(memory.get(), size - 1).IsOK());
    QCOMPARE(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode(), uint32_t(Code::Accepted));
    QCOMPARE(bench.device->GetCallCount(Stratoline::QueueBuffer), 1u);
}

void DriverBuffersTest::poolTakesCompletionsFromTheDriver()
{
    auto device = std::make_shared<TestFilterDriver>(TestFilterDriver::Mode::Hold);
    ScopedDevice registration(device);
    NqBuffer buffers[3];
    NqBufferLib::Buffer* internals[3];
    for (int i = 0; i < 3; ++i) {
        QVERIFY(buffers[i].Alloc(1000).IsOK());
        internals[i] = buffers[i].GetInternal();
    }
    TransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(internals, 3).IsSuccess());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    QVERIFY(dynamic_cast<GSVPSenderStratolinePro*>(transmitter.GetSender()));
    for (int i = 0; i < 3; ++i) {
        NqBufferLib::Buffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 0).IsSuccess());
        QCOMPARE(transmitter.QueueBuffer(buffer).GetPublicCode(), 0xFFFFu);
    }
    NqBufferLib::Buffer* none = nullptr;
    QCOMPARE(transmitter.RetrieveFreeBuffer(&none, 20).GetCode(), uint32_t(Code::Timeout));
    device->Complete(2, 0);
    std::set<NqBufferLib::Buffer*> back;
    for (int i = 0; i < 2; ++i) {
        NqBufferLib::Buffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 10000).IsSuccess()); // through the pool's thread
        back.insert(buffer);
    }
    QCOMPARE(back, (std::set<NqBufferLib::Buffer*>{internals[0], internals[1]}));
    // Close aborts the last one in the driver and the pool takes it back.
    QVERIFY(transmitter.Close().IsSuccess());
    QVERIFY(!device->IsOpen());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    NqBufferLib::Buffer* last = nullptr;
    QVERIFY(transmitter.RetrieveFreeBuffer(&last, 10000).IsSuccess());
    QCOMPARE(last, internals[2]);
    QCOMPARE(buffers[2].GetOperationResult().GetCode(), 1u);
}

QTEST_GUILESS_MAIN(DriverBuffersTest)
#include "tst_transmitter_driver_buffers.moc"
