// Frames/s and MB/s that the station's acquisition thread sustains with
// N = 1 and N = 8 against the simulated camera (2048 x 2048 Mono16), beside
// the raw Aravis receive loop in the same run. Run it inside the loopback
// namespace: scripts/in-loopback-netns.sh <build>/bench/bench_acquisition [seconds]
#include "SimulatedCamera.h"
#include "base/NqPixelType.h"
#include "camera/NqAravisBaseline.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"
#include "camera/NqStream.h"
#include "camera/Thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

const char* const kCameraIp = "127.0.0.21";
constexpr uint32_t kSize = 2048;

struct Figures
{
    bool ok = false;
    unsigned long long received = 0; // camera frames retrieved by the thread
    unsigned long long shown = 0;    // frames (or averages) handed to the GUI thread
    unsigned long long errors = 0;
    double seconds = 0;
};

Figures throughThread(unsigned average, double seconds)
{
    Figures figures;
    NqDevice device;
    NqStream stream;
    NqPipeline pipeline(&stream);
    if (!device.Connect(NqString(kCameraIp)).IsOK() || !stream.Open(NqString(kCameraIp)).IsOK())
        return figures;
    device.SetStreamDestination(stream.GetLocalIPAddress(), stream.GetLocalPort());
    Thread thread(&device, &pipeline);
    thread.setAverageCount(average);
    QObject::connect(&thread, &Thread::imageReady, [&figures](unsigned long long, FrameRef) { ++figures.shown; });
    thread.start();
    pipeline.Start();
    NqGenParameterArray* params = device.GetGenParameters();
    params->SetEnumValue("AcquisitionMode", int64_t(0));
    params->ExecuteCommand("AcquisitionStart");

    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();

    params->ExecuteCommand("AcquisitionStop");
    figures.received = thread.framesReceived();
    figures.errors = thread.errorCount();
    figures.seconds = clock.elapsed() / 1000.0;
    thread.stop();
    QCoreApplication::removePostedEvents(nullptr, QEvent::MetaCall); // queued frames go before the pipeline
    pipeline.Stop();
    device.Disconnect();
    stream.Close();
    figures.ok = true;
    return figures;
}

void print(const char* what, const Figures& f)
{
    if (!f.ok || f.seconds <= 0) {
        std::printf("%-14s failed to run\n", what);
        return;
    }
    const double frameBytes = double(kSize) * kSize * 2;
    std::printf("%-14s %7.1f frames/s  %8.1f MB/s  %6.1f shown/s  %llu errors\n", what,
                f.received / f.seconds, f.received * frameBytes / 1e6 / f.seconds, f.shown / f.seconds,
                f.errors);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;

    SimulatedCameraOptions options;
    options.address = kCameraIp;
    options.width = options.sensorWidth = kSize;
    options.height = options.sensorHeight = kSize;
    options.pixelFormat = NqPixelType::Mono16;
    options.frameRate = 200.0; // the receive path, not the camera, should limit
    SimulatedCamera camera(options);
    if (!camera.start()) {
        std::fprintf(stderr, "cannot start the simulated camera on %s (run inside the loopback namespace)\n",
                     kCameraIp);
        return 1;
    }
    std::printf("Acquisition thread vs raw Aravis, %ux%u Mono16, %.1f s per run\n", kSize, kSize, seconds);
    print("Thread N=1", throughThread(1, seconds));
    print("Thread N=8", throughThread(8, seconds));
    const NqAravisBaselineResult raw = nqAravisBaseline(kCameraIp, 64, seconds);
    Figures rawFigures;
    rawFigures.ok = raw.ok;
    rawFigures.received = rawFigures.shown = raw.frames;
    rawFigures.errors = raw.failedFrames;
    rawFigures.seconds = raw.seconds;
    print("Aravis", rawFigures);
    return 0;
}
