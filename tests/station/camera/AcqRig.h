#pragma once

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

// The acquisition thread's tests: a simulated camera with the station's
// device, stream and pipeline on it, and a recorder of what the thread
// delivers to the test's (GUI) thread.
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

inline SimulatedCameraOptions smallCamera(double frameRate = 100.0, uint32_t format = 0x01100007)
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
                             blockIds.push_back(frame->blockId);
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
    std::vector<uint64_t> blockIds; // of the frames delivered, in turn
    std::vector<FrameRef> frames;
    QStringList events;
    int temperatures = 0;
};

inline std::vector<uint8_t> expectedImage(const Frame& frame, uint64_t blockId)
{
    std::vector<uint8_t> image(size_t(frame.width) * frame.height * frame.bytesPerSample);
    SimulatedCamera::fillFrame(image.data(), frame.width, frame.height, frame.pixelFormat, blockId,
                               SimulatedCameraOptions::Pattern::Gradient);
    return image;
}

// The truncated mean of the `count` frames up to the average's own block id
// (16 bits wide, wrapping from 65535 to 1), as the camera sent them.
inline std::vector<uint8_t> expectedAverage(const Frame& average, unsigned count)
{
    const size_t pixels = size_t(average.width) * average.height;
    std::vector<uint32_t> sum(pixels, 0);
    for (uint64_t id = average.blockId, n = 0; n < count; ++n, id = id == 1 ? 0xFFFF : id - 1)
        FrameAveraging::accumulate(sum.data(), expectedImage(average, id).data(), pixels, average.bytesPerSample);
    std::vector<uint8_t> mean(pixels * average.bytesPerSample);
    FrameAveraging::average(sum.data(), mean.data(), pixels, count, average.bytesPerSample);
    return mean;
}

inline std::vector<uint8_t> bytesOf(const Frame& frame)
{
    return std::vector<uint8_t>(frame.data, frame.data + size_t(frame.width) * frame.height * frame.bytesPerSample);
}

// Data pointers of the next `count` buffers the pipeline completes.
inline std::set<const uint8_t*> retrieveBuffers(NqPipeline& pipeline, int count)
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
