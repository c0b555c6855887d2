#include "SimulatedCamera.h"
#include "camera/FrameAveraging.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"
#include "camera/NqStream.h"
#include "camera/Thread.h"

#include <QtTest>

#include <memory>
#include <set>
#include <vector>

namespace {

constexpr char cameraIp[] = "127.0.0.22";

// A simulated camera with the station's device, stream and pipeline on it.
struct Rig
{
    explicit Rig(SimulatedCameraOptions options) : camera(options), pipeline(&stream) {}
    ~Rig()
    {
        pipeline.Stop();
        stream.Close();
        device.Disconnect();
    }

    bool open(uint32_t buffers = 16)
    {
        if (!camera.start() || !device.Connect(NqString(cameraIp)).IsOK())
            return false;
        if (!stream.Open(NqString(cameraIp), 0, 0, NqString(), buffers).IsOK())
            return false;
        device.SetStreamDestination(stream.GetLocalIPAddress(), stream.GetLocalPort(), 0);
        int64_t payload = 0;
        if (device.GetGenParameters()->GetIntegerValue("PayloadSize", payload).IsOK() && payload > 0)
            pipeline.SetBufferSize(uint32_t(payload));
        return pipeline.Start().IsOK();
    }
    bool startAcquisition() { return device.GetGenParameters()->ExecuteCommand("AcquisitionStart").IsOK(); }
    void stopAcquisition() { device.GetGenParameters()->ExecuteCommand("AcquisitionStop"); }

    SimulatedCamera camera;
    NqDevice device;
    NqStream stream;
    NqPipeline pipeline;
};

SimulatedCameraOptions smallCamera(double frameRate = 100.0, uint32_t format = 0x01100007)
{
    SimulatedCameraOptions options;
    options.address = cameraIp;
    options.width = 320;
    options.height = 240;
    options.pixelFormat = format;
    options.frameRate = frameRate;
    return options;
}

// A camera stream's frames may be held up a long while on a busy machine.
constexpr int streamWaitMs = 20000;
// The idle thread reads the temperature at most every 10 s.
constexpr int idleWaitMs = 30000;

// Records what the thread delivers to the test's (GUI) thread.
struct Receiver
{
    explicit Receiver(Thread* thread)
    {
        QObject::connect(thread, &Thread::imageReady, &context,
                         [this](unsigned long long number, FrameRef frame) {
                             numbers.push_back(number);
                             events << QStringLiteral("image %1").arg(number);
                             if (keepFrames)
                                 frames.push_back(frame);
                         });
        QObject::connect(thread, &Thread::captureDone, &context, [this] { events << "captureDone"; });
        QObject::connect(thread, &Thread::boardfound, &context, [this](int boards, int frames) {
            events << QStringLiteral("board %1 %2").arg(boards).arg(frames);
        });
        QObject::connect(thread, &Thread::camTempStatus, &context, [this] { ++temperatures; });
    }

    // Waits until the thread has waited out a retrieve without a frame since
    // this call (it then reads the idle camera's temperature): the frames
    // before it have all been delivered.
    bool waitForIdleThread()
    {
        const int before = temperatures;
        return QTest::qWaitFor([&] { return temperatures > before; }, idleWaitMs);
    }

    QObject context;
    bool keepFrames = false;
    std::vector<unsigned long long> numbers;
    std::vector<FrameRef> frames;
    QStringList events;
    int temperatures = 0;
};

std::vector<uint8_t> expectedImage(const Frame& frame, uint64_t blockId)
{
    std::vector<uint8_t> image(size_t(frame.width) * frame.height * frame.bytesPerSample);
    SimulatedCamera::fillFrame(image.data(), frame.width, frame.height, frame.pixelFormat, blockId,
                               SimulatedCameraOptions::Pattern::Gradient);
    return image;
}

std::vector<uint8_t> bytesOf(const Frame& frame)
{
    return std::vector<uint8_t>(frame.data, frame.data + size_t(frame.width) * frame.height * frame.bytesPerSample);
}

// Data pointers of the next `count` buffers the pipeline completes.
std::set<const uint8_t*> retrieveBuffers(NqPipeline& pipeline, int count)
{
    std::set<const uint8_t*> pointers;
    for (int got = 0, tries = 0; got < count && tries < count * 4; ++tries) {
        NqBuffer* buffer = nullptr;
        if (!pipeline.RetrieveNextBuffer(&buffer, 1000).IsOK() || !buffer)
            continue;
        pointers.insert(buffer->GetDataPointer());
        pipeline.ReleaseBuffer(buffer);
        ++got;
    }
    return pointers;
}

} // namespace

class tst_AcqThread : public QObject
{
    Q_OBJECT

private slots:
    void singleFrameIsThePipelineBuffer();
    void averagesOfFour_data();
    void averagesOfFour();
    void loweringTheCountAveragesAtOnce();
    void captureDone_data();
    void captureDone();
    void resetRunRestartsTheCount();
    void idleThreadReadsTemperatureAndStops();
    void stopWhileStreaming();
    void packetLossKeepsFramesComing();
    void averagesHeldByTheGuiAreDroppedAndCounted();
};

void tst_AcqThread::singleFrameIsThePipelineBuffer()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open(8));
    auto thread = std::make_unique<Thread>(&rig.device, &rig.pipeline);
    Receiver receiver(thread.get());
    receiver.keepFrames = true;
    thread->start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.frames.size() >= 1, streamWaitMs);
    FrameRef held = receiver.frames.front();
    receiver.keepFrames = false;
    receiver.frames.clear();
    const std::vector<uint8_t> before = bytesOf(*held);
    QCOMPARE(before, expectedImage(*held, held->blockId));

    // Many more frames than the pipeline has buffers pass while it is held.
    QTRY_VERIFY_WITH_TIMEOUT(thread->framesReceived() > 40, streamWaitMs);
    QCOMPARE(bytesOf(*held), before);
    QCOMPARE(held->number, 1ull);
    QCOMPARE(held->bytesPerSample, 2u);

    thread->stop();
    QCoreApplication::sendPostedEvents(); // drop the frames still queued to us
    const int cycle = int(rig.pipeline.GetBufferCount()) * 2 + 4;
    QVERIFY(!retrieveBuffers(rig.pipeline, cycle).count(held->data));
    const uint8_t* data = held->data;
    held.reset(); // back to the pipeline
    QVERIFY2(retrieveBuffers(rig.pipeline, cycle).count(data), "the frame was a copy, not the pipeline's buffer");
}

void tst_AcqThread::averagesOfFour_data()
{
    QTest::addColumn<uint32_t>("format");
    QTest::newRow("Mono8") << 0x01080001u;
    QTest::newRow("Mono16") << 0x01100007u;
}

void tst_AcqThread::averagesOfFour()
{
    QFETCH(uint32_t, format);
    Rig rig(smallCamera(100.0, format));
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    thread.setAverageCount(4);
    Receiver receiver(&thread);
    receiver.keepFrames = true;
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 3, streamWaitMs);
    QCOMPARE(std::vector<unsigned long long>(receiver.numbers.begin(), receiver.numbers.begin() + 3),
             (std::vector<unsigned long long>{4, 8, 12}));
    QVERIFY(!receiver.events.join(' ').contains("board")); // only single frames report boards

    // Each image is the truncated mean of the four frames that made it.
    for (int i = 0; i < 3; ++i) {
        const Frame& average = *receiver.frames[size_t(i)];
        QCOMPARE(average.number, receiver.numbers[size_t(i)]);
        const size_t pixels = size_t(average.width) * average.height;
        std::vector<uint32_t> sum(pixels, 0);
        for (uint64_t id = average.blockId - 3; id <= average.blockId; ++id)
            FrameAveraging::accumulate(sum.data(), expectedImage(average, id).data(), pixels, average.bytesPerSample);
        std::vector<uint8_t> mean(pixels * average.bytesPerSample);
        FrameAveraging::average(sum.data(), mean.data(), pixels, 4, average.bytesPerSample);
        QCOMPARE(bytesOf(average), mean);
    }
}

void tst_AcqThread::loweringTheCountAveragesAtOnce()
{
    Rig rig(smallCamera(50.0));
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    thread.setAverageCount(100);
    Receiver receiver(&thread);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(thread.framesReceived() >= 6, streamWaitMs);
    QVERIFY(receiver.numbers.empty());
    thread.setAverageCount(3); // already more than 3 summed
    // The next frame sees the lower count: it shows the mean of those summed.
    const unsigned long long lowered = thread.framesReceived();
    QTRY_VERIFY_WITH_TIMEOUT(!receiver.numbers.empty(), streamWaitMs);
    QVERIFY2(receiver.numbers.front() <= lowered + 1,
             qPrintable(QStringLiteral("%1 after %2").arg(receiver.numbers.front()).arg(lowered)));
    // Then one every third frame; an average the GUI had no room for is
    // dropped, and the next comes three frames later still.
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 3, streamWaitMs);
    QCOMPARE((receiver.numbers[2] - receiver.numbers[1]) % 3, 0ull);
}

void tst_AcqThread::captureDone_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("capturing");
    QTest::addColumn<int>("expected");
    QTest::newRow("target 10") << 10 << true << 1;
    QTest::newRow("no target") << -1 << true << 0;
    QTest::newRow("not capturing") << 10 << false << 0;
}

void tst_AcqThread::captureDone()
{
    QFETCH(int, target);
    QFETCH(bool, capturing);
    QFETCH(int, expected);
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    Receiver receiver(&thread);
    thread.setTarget(target);
    thread.setCapturing(capturing);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 25, streamWaitMs);
    rig.stopAcquisition();
    // Once the stream has gone quiet: a retrieve that times out after the
    // last frame is no capture's end either.
    QVERIFY(receiver.waitForIdleThread());
    QCOMPARE(receiver.events.count("captureDone"), expected);
    if (expected) {
        const int at = receiver.events.indexOf("captureDone");
        QCOMPARE(receiver.events.mid(at - 2, 2), (QStringList{"image 10", "board 0 10"}));
    }
}

void tst_AcqThread::resetRunRestartsTheCount()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    Receiver receiver(&thread);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 10, streamWaitMs);
    rig.stopAcquisition();
    // The last frames of the old run are in before it starts again.
    QVERIFY(receiver.waitForIdleThread());
    QElapsedTimer clock;
    clock.start();
    thread.resetRun();
    QCOMPARE(thread.framesReceived(), 0ull);
    receiver.numbers.clear();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 3, streamWaitMs);
    QCOMPARE(receiver.numbers[0], 1ull);
    QCOMPARE(receiver.numbers[2], 3ull);
    // The rate is measured between frames of the new run (or from its
    // start), none of them further apart than the run is long.
    const double rate = thread.frameRate();
    QVERIFY2(rate >= 1000.0 / double(clock.elapsed() + 1), qPrintable(QString::number(rate)));
}

void tst_AcqThread::idleThreadReadsTemperatureAndStops()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    auto thread = std::make_unique<Thread>(&rig.device, &rig.pipeline);
    QSignalSpy temperatures(thread.get(), &Thread::camTempStatus);
    thread->start();
    // The camera is not acquiring: each empty wait reads the temperature,
    // and counts no error.
    QTRY_VERIFY_WITH_TIMEOUT(!temperatures.isEmpty(), idleWaitMs);
    QCOMPARE(temperatures.first().first().toInt(), 40);
    QCOMPARE(thread->temperature(), 40);
    QCOMPARE(thread->errorCount(), 0ull);
    QVERIFY(thread->isRunning());
    thread.reset(); // stops it: the retrieve under way is woken
}

void tst_AcqThread::stopWhileStreaming()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    Receiver receiver(&thread);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 5, streamWaitMs);
    thread.stop();
    QVERIFY(thread.isFinished());
    const unsigned long long last = thread.framesReceived();
    QTest::qWait(200);
    QCOMPARE(thread.framesReceived(), last);
}

void tst_AcqThread::packetLossKeepsFramesComing()
{
    SimulatedCameraOptions options = smallCamera(200.0);
    options.packetLoss = 0.003; // about one frame in four misses a packet
    options.packetResend = false;
    Rig rig(options);
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    Receiver receiver(&thread);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(thread.framesReceived() + thread.errorCount() >= 200, streamWaitMs);
    QVERIFY(thread.errorCount() > 0);
    // The pipeline still has buffers: good frames keep coming after the 200.
    const unsigned long long seen = thread.framesReceived();
    QTRY_VERIFY_WITH_TIMEOUT(thread.framesReceived() >= seen + 20, streamWaitMs);
}

void tst_AcqThread::averagesHeldByTheGuiAreDroppedAndCounted()
{
    Rig rig(smallCamera(200.0));
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    thread.setAverageCount(2);
    Receiver receiver(&thread);
    receiver.keepFrames = true; // a GUI that never lets go
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(thread.framesReceived() >= 40, streamWaitMs);
    // The whole pool; the averages it held may still be on their way to us.
    QTRY_COMPARE_WITH_TIMEOUT(receiver.frames.size(), size_t(3), streamWaitMs);
    QVERIFY(thread.errorCount() >= 15);
    receiver.frames.clear();
    receiver.keepFrames = false;
    const size_t shown = receiver.numbers.size();
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= shown + 5, streamWaitMs);
}

QTEST_GUILESS_MAIN(tst_AcqThread)
#include "tst_acqthread.moc"
