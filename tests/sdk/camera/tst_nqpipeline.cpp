// NqStream and NqPipeline against the simulated camera: frame content,
// buffer life cycle across threads, packet loss, and clean tear-down (how the
// stream receives is in tst_nqreceiver).
#include "SimulatedCamera.h"
#include "base/NqPixelType.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"
#include "camera/NqStream.h"

#include <QtTest>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <dirent.h>
#include <thread>
#include <vector>

namespace {

// A frame's wait: the camera's thread runs in this process, beside whatever
// else a loaded machine runs.
constexpr uint32_t kFrameWaitMs = 10000;

int entriesIn(const char* folder)
{
    int count = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

// A camera, connected, with its stream open and pointed at us.
struct Rig
{
    std::unique_ptr<SimulatedCamera> camera;
    NqDevice device;
    NqStream stream;
    NqPipeline pipeline{&stream};

    NqResult open(const SimulatedCameraOptions& options)
    {
        camera = std::make_unique<SimulatedCamera>(options);
        if (!camera->start())
            return NqResult(NqResult::Code::NETWORK_ERROR, "simulated camera did not start");
        return connect();
    }

    NqResult connect()
    {
        const NqString ip(camera->options().address);
        NqResult result = device.Connect(ip);
        if (result.IsOK())
            result = stream.Open(ip);
        if (result.IsOK())
            result = device.SetStreamDestination(stream.GetLocalIPAddress(), stream.GetLocalPort());
        return result;
    }

    NqResult acquire(bool on)
    {
        return device.GetGenParameters()->ExecuteCommand(on ? "AcquisitionStart" : "AcquisitionStop");
    }

    void close()
    {
        pipeline.Stop();
        device.Disconnect();
        stream.Close();
    }
};

SimulatedCameraOptions options(const char* address, uint32_t pixelFormat = NqPixelType::Mono16)
{
    SimulatedCameraOptions o;
    o.address = address;
    o.width = 320;
    o.height = 240;
    o.pixelFormat = pixelFormat;
    o.frameRate = 200.0;
    return o;
}

} // namespace

class TestNqPipeline : public QObject
{
    Q_OBJECT

private slots:
    void framesMatchPattern_data();
    void framesMatchPattern();
    void streamParameters();
    void abortWakesWaitingRetrieve();
    void retrieveTimesOut();
    void releaseFromAnotherThread();
    void resizeWhileRetrieveWaits();
    void heldBufferSurvivesResize();
    void releaseAfterStopAndClose();
    void packetLossKeepsPoolFull();
    void openNeedsConnectedDevice();
    void cyclesDoNotLeak();
};

void TestNqPipeline::framesMatchPattern_data()
{
    QTest::addColumn<uint>("pixelFormat");
    QTest::newRow("Mono12") << uint(NqPixelType::Mono12);
    QTest::newRow("Mono16") << uint(NqPixelType::Mono16);
}

void TestNqPipeline::framesMatchPattern()
{
    QFETCH(uint, pixelFormat);
    Rig rig;
    const SimulatedCameraOptions o = options("127.0.83.3", pixelFormat);
    NqResult result = rig.open(o);
    QVERIFY2(result.IsOK(), result.GetDescription().GetAscii());
    QVERIFY(rig.device.GetGenParameters()->SetEnumValue("PixelFormat", int64_t(pixelFormat)).IsOK());
    QVERIFY(rig.pipeline.SetBufferCount(16).IsOK());
    QVERIFY(rig.pipeline.Start().IsOK());
    QVERIFY(rig.acquire(true).IsOK());

    const size_t frameBytes = SimulatedCamera::frameBytes(o.width, o.height, pixelFormat);
    std::vector<uint8_t> expected(frameBytes);
    uint64_t lastBlock = 0;
    // A frame may come incomplete, and says so, when a loaded machine held
    // the receiver up for too long: the pattern is checked on 100 frames that
    // came whole, out of no more than 200.
    int whole = 0;
    for (int frame = 0; frame < 200 && whole < 100; ++frame) {
        NqBuffer* buffer = nullptr;
        NqResult operation;
        result = rig.pipeline.RetrieveNextBuffer(&buffer, kFrameWaitMs, &operation);
        QVERIFY2(result.IsOK(), result.GetDescription().GetAscii());
        QCOMPARE(buffer->GetOperationResult().GetCode(), operation.GetCode());
        if (operation.IsFailure()) {
            QVERIFY(rig.pipeline.ReleaseBuffer(buffer).IsOK());
            continue;
        }
        ++whole;
        QVERIFY(buffer->HasImage());
        const NqImage* image = buffer->GetImage();
        QCOMPARE(image->GetWidth(), o.width);
        QCOMPARE(image->GetHeight(), o.height);
        QCOMPARE(image->GetPixelType(), uint32_t(pixelFormat));
        QCOMPARE(image->GetOffsetX(), 0u);
        QCOMPARE(image->GetPaddingX(), uint16_t(0));
        QCOMPARE(size_t(buffer->GetPayloadSize()), frameBytes);
        QVERIFY(buffer->GetBlockID() > lastBlock);
        lastBlock = buffer->GetBlockID();
        QVERIFY(buffer->GetTimestamp() != 0);
        SimulatedCamera::fillFrame(expected.data(), o.width, o.height, pixelFormat, buffer->GetBlockID(), o.pattern);
        if (std::memcmp(expected.data(), image->GetDataPointer(), frameBytes) != 0)
            QFAIL(qPrintable(QString("frame %1 differs from the pattern").arg(buffer->GetBlockID())));
        QVERIFY(rig.pipeline.ReleaseBuffer(buffer).IsOK());
    }
    QCOMPARE(whole, 100);
    rig.acquire(false);
    rig.close();
}

void TestNqPipeline::streamParameters()
{
    Rig rig;
    SimulatedCameraOptions o = options("127.0.83.4");
    o.frameRate = 100.0;
    QVERIFY(rig.open(o).IsOK());
    QVERIFY(rig.stream.IsOpen());
    QCOMPARE(QString(rig.stream.GetLocalIPAddress()), QString("127.0.0.1"));
    QVERIFY(rig.stream.GetLocalPort() != 0);
    QCOMPARE(rig.stream.GetQueuedBufferMaximum(), 64u);
    NqGenParameterArray* parameters = rig.stream.GetParameters();
    QVERIFY(parameters->GetCommand("Reset"));
    QVERIFY(parameters->GetFloat("Bandwidth"));
    QVERIFY(parameters->GetInteger("ErrorCount"));
    QVERIFY(parameters->GetEnum("LastError"));
    QVERIFY(!parameters->Get("NoSuchParameter"));
    // Enough buffers to bridge a test thread that a loaded machine holds up
    // for a while (64 frames at 100 per second): frames are then counted as
    // errors only when they are.
    QVERIFY(rig.pipeline.SetBufferCount(64).IsOK());
    QVERIFY(rig.pipeline.Start().IsOK());
    QVERIFY(rig.acquire(true).IsOK());
    auto drain = [&](int frames) {
        for (int i = 0; i < frames; ++i) {
            NqBuffer* buffer = nullptr;
            if (!rig.pipeline.RetrieveNextBuffer(&buffer, kFrameWaitMs).IsOK())
                return false;
            rig.pipeline.ReleaseBuffer(buffer);
        }
        return true;
    };
    QVERIFY(drain(1));
    // The bandwidth, in bits per second, of what the stream received since the
    // Reset (which restarts its window, read once the window's 500 ms are
    // past): at least the frames drained since, less the one that may have
    // been under way at the Reset and the one it may have completed
    // meanwhile, over no more than the time taken. How many frames come
    // depends on the machine, not the check.
    QElapsedTimer timer;
    timer.start();
    QVERIFY(parameters->ExecuteCommand("Reset").IsOK());
    QElapsedTimer sinceReset;
    sinceReset.start();
    int drained = 0;
    for (; sinceReset.elapsed() < 700; ++drained)
        QVERIFY(drain(1));
    double bandwidth = 0;
    QVERIFY(parameters->GetFloatValue("Bandwidth", bandwidth).IsOK());
    const double seconds = double(timer.elapsed()) / 1000;
    const double frameBits = 320 * 240 * 2 * 8;
    QVERIFY2(bandwidth >= (drained - 2) * frameBits / seconds,
             qPrintable(QString("%1 bit/s, %2 frames in %3 s").arg(bandwidth).arg(drained).arg(seconds)));
    int64_t errors = -1;
    QVERIFY(parameters->GetIntegerValue("ErrorCount", errors).IsOK());
    QCOMPARE(errors, int64_t(0));
    NqString lastError;
    QVERIFY(parameters->GetEnumValue("LastError", lastError).IsOK());
    QCOMPARE(QString(lastError), QString("OK"));

    // Nobody retrieves for a while: the 64 buffers fill and later frames are
    // lost. Counted in frames the camera sent, however slowly a loaded machine
    // lets it.
    const uint64_t sentBefore = rig.camera->framesSent();
    QVERIFY(QTest::qWaitFor([&] { return rig.camera->framesSent() >= sentBefore + 150; }, 30000));
    QVERIFY(drain(80)); // past the filled buffers to the frames after the gap
    QVERIFY(parameters->GetIntegerValue("ErrorCount", errors).IsOK());
    QVERIFY2(errors >= 20, qPrintable(QString::number(errors))); // 150 came, 64 found a buffer
    QVERIFY(parameters->ExecuteCommand("Reset").IsOK());
    QVERIFY(parameters->GetIntegerValue("ErrorCount", errors).IsOK());
    QCOMPARE(errors, int64_t(0));
    QVERIFY(parameters->GetEnumValue("LastError", lastError).IsOK());
    QCOMPARE(QString(lastError), QString("OK"));
    // The frames Reset dropped from the queue are not counted as lost.
    QVERIFY(drain(3));
    QVERIFY(parameters->GetIntegerValue("ErrorCount", errors).IsOK());
    QVERIFY2(errors <= 3, qPrintable(QString::number(errors)));

    QVERIFY(parameters->SetFloatValue("Bandwidth", 3.0).IsFailure());
    QVERIFY(parameters->SetEnumValue("LastError", int64_t(0)).IsFailure());
    rig.acquire(false);
    rig.close();
    QCOMPARE(parameters->GetIntegerValue("ErrorCount", errors).GetCode(), uint32_t(NqResult::Code::NOT_OPENED));
}

void TestNqPipeline::abortWakesWaitingRetrieve()
{
    Rig rig;
    QVERIFY(rig.open(options("127.0.83.5")).IsOK());
    QVERIFY(rig.pipeline.Start().IsOK()); // the camera does not acquire: nothing arrives
    for (int round = 0; round < 3; ++round) {
        std::thread aborter([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            rig.pipeline.AbortRetrieve();
        });
        // The retrieve has no time-out: only the abort ends it.
        NqBuffer* buffer = nullptr;
        const NqResult result = rig.pipeline.RetrieveNextBuffer(&buffer, 0xFFFFFFFFu);
        aborter.join();
        QCOMPARE(result.GetCode(), uint32_t(NqResult::Code::ABORTED));
        QVERIFY(!buffer);
    }
    // An abort with nobody waiting ends the next retrieve at once.
    rig.pipeline.AbortRetrieve();
    NqBuffer* buffer = nullptr;
    QCOMPARE(rig.pipeline.RetrieveNextBuffer(&buffer, 5000).GetCode(), uint32_t(NqResult::Code::ABORTED));
    rig.close();
}

void TestNqPipeline::retrieveTimesOut()
{
    Rig rig;
    QVERIFY(rig.open(options("127.0.83.5")).IsOK());
    NqBuffer* buffer = nullptr;
    QCOMPARE(rig.pipeline.RetrieveNextBuffer(&buffer, 10).GetCode(), uint32_t(NqResult::Code::NOT_CONNECTED));
    QVERIFY(rig.pipeline.Start().IsOK());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(rig.pipeline.RetrieveNextBuffer(&buffer, 120).GetCode(), uint32_t(NqResult::Code::TIMEOUT));
    QVERIFY(timer.elapsed() >= 110);
    rig.close();
}

void TestNqPipeline::releaseFromAnotherThread()
{
    // The acquisition thread retrieves; the GUI thread releases later.
    Rig rig;
    QVERIFY(rig.open(options("127.0.83.6")).IsOK());
    QVERIFY(rig.pipeline.SetBufferCount(4).IsOK());
    QVERIFY(rig.pipeline.Start().IsOK());
    QVERIFY(rig.acquire(true).IsOK());

    std::mutex handOverMutex;
    std::vector<NqBuffer*> handOver;
    std::atomic<int> retrieved{0};
    std::atomic<bool> done{false};
    std::thread acquisition([&] {
        while (!done) {
            NqBuffer* buffer = nullptr;
            if (!rig.pipeline.RetrieveNextBuffer(&buffer, 0xFFFFFFFFu).IsOK())
                continue;
            ++retrieved;
            std::lock_guard<std::mutex> lock(handOverMutex);
            handOver.push_back(buffer);
        }
    });
    QElapsedTimer timer;
    timer.start();
    int released = 0;
    while (retrieved < 60 && timer.elapsed() < 30000) {
        std::vector<NqBuffer*> batch;
        {
            std::lock_guard<std::mutex> lock(handOverMutex);
            batch.swap(handOver);
        }
        for (NqBuffer* buffer : batch)
            if (rig.pipeline.ReleaseBuffer(buffer).IsOK())
                ++released;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    done = true;
    rig.pipeline.AbortRetrieve();
    acquisition.join();
    QVERIFY2(retrieved >= 60, qPrintable(QString::number(retrieved)));
    QVERIFY(released >= 56); // only 4 buffers exist: every one came back many times
    rig.acquire(false);
    rig.close();
}

void TestNqPipeline::resizeWhileRetrieveWaits()
{
    SimulatedCameraOptions o = options("127.0.83.7");
    Rig rig;
    QVERIFY(rig.open(o).IsOK());
    QVERIFY(rig.pipeline.SetBufferCount(4).IsOK());
    QVERIFY(rig.pipeline.SetBufferSize(1024).IsOK()); // too small for a frame
    QVERIFY(rig.pipeline.Start().IsOK());

    NqResult waitResult;
    NqBuffer* buffer = nullptr;
    NqResult operation;
    std::thread waiter([&] { waitResult = rig.pipeline.RetrieveNextBuffer(&buffer, kFrameWaitMs, &operation); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const uint32_t frame = uint32_t(SimulatedCamera::frameBytes(o.width, o.height, o.pixelFormat));
    QVERIFY(rig.pipeline.SetBufferSize(frame).IsOK());
    QVERIFY(rig.pipeline.Reset().IsOK());
    QVERIFY(rig.acquire(true).IsOK());
    waiter.join();
    QVERIFY2(waitResult.IsOK(), waitResult.GetDescription().GetAscii());
    QVERIFY2(operation.IsOK(), operation.GetDescription().GetAscii());
    QCOMPARE(buffer->GetSize(), frame);
    QCOMPARE(buffer->GetPayloadSize(), frame);
    QVERIFY(rig.pipeline.ReleaseBuffer(buffer).IsOK());
    rig.acquire(false);
    rig.close();
}

void TestNqPipeline::heldBufferSurvivesResize()
{
    SimulatedCameraOptions o = options("127.0.83.8");
    Rig rig;
    QVERIFY(rig.open(o).IsOK());
    QVERIFY(rig.pipeline.SetBufferCount(4).IsOK());
    QVERIFY(rig.pipeline.Start().IsOK());
    QVERIFY(rig.acquire(true).IsOK());
    NqBuffer* held = nullptr;
    QVERIFY(rig.pipeline.RetrieveNextBuffer(&held, kFrameWaitMs).IsOK());
    const uint32_t oldSize = held->GetSize();
    const uint8_t* oldData = held->GetDataPointer();
    const std::vector<uint8_t> copy(oldData, oldData + held->GetPayloadSize());

    const uint32_t newSize = oldSize * 2;
    QVERIFY(rig.pipeline.SetBufferSize(newSize).IsOK());
    // Other frames keep flowing into the resized buffers meanwhile.
    for (int i = 0; i < 10; ++i) {
        NqBuffer* buffer = nullptr;
        QVERIFY(rig.pipeline.RetrieveNextBuffer(&buffer, kFrameWaitMs).IsOK());
        QVERIFY(buffer != held);
        QCOMPARE(buffer->GetSize(), newSize);
        rig.pipeline.ReleaseBuffer(buffer);
    }
    QCOMPARE(held->GetDataPointer(), oldData);
    QCOMPARE(held->GetSize(), oldSize);
    QVERIFY(std::memcmp(copy.data(), held->GetDataPointer(), copy.size()) == 0);
    QVERIFY(rig.pipeline.ReleaseBuffer(held).IsOK());
    QCOMPARE(held->GetSize(), newSize);
    QVERIFY(rig.pipeline.ReleaseBuffer(held).IsFailure()); // twice is refused
    rig.acquire(false);
    rig.close();
}

void TestNqPipeline::releaseAfterStopAndClose()
{
    Rig rig;
    QVERIFY(rig.open(options("127.0.83.9")).IsOK());
    QVERIFY(rig.pipeline.SetBufferCount(4).IsOK());
    QVERIFY(rig.pipeline.Start().IsOK());
    QVERIFY(rig.acquire(true).IsOK());
    NqBuffer* first = nullptr;
    NqBuffer* second = nullptr;
    QVERIFY(rig.pipeline.RetrieveNextBuffer(&first, kFrameWaitMs).IsOK());
    QVERIFY(rig.pipeline.RetrieveNextBuffer(&second, kFrameWaitMs).IsOK());
    QVERIFY(rig.pipeline.Stop().IsOK());
    QVERIFY(!rig.pipeline.IsStarted());
    QVERIFY(rig.pipeline.ReleaseBuffer(first).IsOK());

    // Started again, closed under the pipeline's feet, then released.
    QVERIFY(rig.pipeline.Start().IsOK());
    rig.acquire(false);
    rig.device.Disconnect();
    QVERIFY(rig.stream.Close().IsOK());
    QVERIFY(rig.stream.Close().IsOK());
    QVERIFY(!rig.pipeline.IsStarted());
    QVERIFY(rig.pipeline.ReleaseBuffer(second).IsOK());
    NqBuffer* buffer = nullptr;
    QCOMPARE(rig.pipeline.RetrieveNextBuffer(&buffer, 50).GetCode(), uint32_t(NqResult::Code::NOT_CONNECTED));
    QVERIFY(rig.pipeline.Stop().IsOK());

    // And the same pipeline runs on the reopened stream.
    QVERIFY(rig.connect().IsOK());
    QVERIFY(rig.pipeline.Start().IsOK());
    QVERIFY(rig.acquire(true).IsOK());
    NqResult operation;
    QVERIFY(rig.pipeline.RetrieveNextBuffer(&buffer, kFrameWaitMs, &operation).IsOK());
    QVERIFY(rig.pipeline.ReleaseBuffer(buffer).IsOK());
    rig.acquire(false);
    rig.close();
}

void TestNqPipeline::packetLossKeepsPoolFull()
{
    SimulatedCameraOptions o = options("127.0.83.10");
    o.packetLoss = 0.02;
    o.packetResend = false;
    Rig rig;
    QVERIFY(rig.open(o).IsOK());
    QVERIFY(rig.pipeline.SetBufferCount(6).IsOK());
    QVERIFY(rig.pipeline.Start().IsOK());
    QVERIFY(rig.acquire(true).IsOK());
    int good = 0;
    int bad = 0;
    for (int i = 0; i < 80; ++i) {
        NqBuffer* buffer = nullptr;
        NqResult operation;
        const NqResult result = rig.pipeline.RetrieveNextBuffer(&buffer, kFrameWaitMs, &operation);
        QVERIFY2(result.IsOK(), result.GetDescription().GetAscii()); // the pool never runs dry
        if (operation.IsOK()) {
            ++good;
        } else {
            ++bad;
            QVERIFY(operation.IsFailure());
            QCOMPARE(buffer->GetOperationResult().GetCode(), operation.GetCode());
            QVERIFY(!operation.GetDescription().IsEmpty());
        }
        QVERIFY(rig.pipeline.ReleaseBuffer(buffer).IsOK());
    }
    QVERIFY2(bad > 0, "no frame was damaged by the packet loss");
    QVERIFY(good > 0);
    int64_t errors = 0;
    QVERIFY(rig.stream.GetParameters()->GetIntegerValue("ErrorCount", errors).IsOK());
    QVERIFY(errors >= 1);
    int64_t lastError = 0;
    QVERIFY(rig.stream.GetParameters()->GetEnumValue("LastError", lastError).IsOK());
    QVERIFY(lastError != NqResult::Code::OK);
    rig.acquire(false);
    rig.close();
}

void TestNqPipeline::openNeedsConnectedDevice()
{
    NqStream stream;
    QCOMPARE(stream.Open("127.0.83.11").GetCode(), uint32_t(NqResult::Code::NOT_CONNECTED));
    QVERIFY(!stream.IsOpen());
    NqPipeline pipeline(&stream);
    QVERIFY(pipeline.SetBufferSize(4096).IsOK());
    QVERIFY(pipeline.Start().IsFailure());
    NqBuffer foreign;
    QVERIFY(pipeline.ReleaseBuffer(&foreign).IsFailure());
    QVERIFY(pipeline.ReleaseBuffer(nullptr).IsFailure());
}

void TestNqPipeline::cyclesDoNotLeak()
{
    SimulatedCameraOptions o = options("127.0.83.12");
    SimulatedCamera camera(o);
    QVERIFY(camera.start());
    auto cycle = [&] {
        NqDevice device;
        NqStream stream;
        NqPipeline pipeline(&stream);
        if (!device.Connect(NqString(o.address)).IsOK() || !stream.Open(NqString(o.address)).IsOK())
            return false;
        device.SetStreamDestination(stream.GetLocalIPAddress(), stream.GetLocalPort());
        pipeline.SetBufferCount(4);
        if (!pipeline.Start().IsOK() || !device.GetGenParameters()->ExecuteCommand("AcquisitionStart").IsOK())
            return false;
        NqBuffer* buffer = nullptr;
        const bool ok = pipeline.RetrieveNextBuffer(&buffer, kFrameWaitMs).IsOK();
        device.GetGenParameters()->ExecuteCommand("AcquisitionStop");
        pipeline.Stop();
        if (ok)
            pipeline.ReleaseBuffer(buffer);
        device.Disconnect();
        stream.Close();
        return ok;
    };
    QVERIFY(cycle()); // first use sets up what lives for the whole process
    const int fdsBefore = entriesIn("/proc/self/fd");
    const int threadsBefore = entriesIn("/proc/self/task");
    for (int i = 0; i < 50; ++i)
        QVERIFY2(cycle(), qPrintable(QString("cycle %1").arg(i)));
    // What a cycle leaves to end on its own time (a thread winding down)
    // goes within the wait; what each cycle kept would count fifty.
    QTRY_VERIFY_WITH_TIMEOUT(entriesIn("/proc/self/fd") <= fdsBefore, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(entriesIn("/proc/self/task") <= threadsBefore, 30000);
}

QTEST_GUILESS_MAIN(TestNqPipeline)
#include "tst_nqpipeline.moc"
