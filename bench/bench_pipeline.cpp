// Frames/s and MB/s through NqPipeline beside the raw Aravis pop/push loop,
// against the same simulated camera in one run. Run it inside the loopback
// namespace (scripts/in-loopback-netns.sh): the camera lives on 127.0.0.20.
#include "SimulatedCamera.h"
#include "base/NqPixelType.h"
#include "camera/NqAravisBaseline.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"
#include "camera/NqStream.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const kCameraIp = "127.0.0.20";
constexpr uint32_t kBuffers = 16;

struct Figures
{
    bool ok = false;
    uint64_t frames = 0;
    uint64_t failed = 0;
    uint64_t bytes = 0;
    double seconds = 0;
};

Figures throughPipeline(double seconds)
{
    Figures figures;
    NqDevice device;
    NqStream stream;
    NqPipeline pipeline(&stream);
    if (!device.Connect(NqString(kCameraIp)).IsOK() || !stream.Open(NqString(kCameraIp)).IsOK())
        return figures;
    device.SetStreamDestination(stream.GetLocalIPAddress(), stream.GetLocalPort());
    pipeline.SetBufferCount(kBuffers);
    if (!pipeline.Start().IsOK())
        return figures;
    device.GetGenParameters()->ExecuteCommand("AcquisitionStart");
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        NqBuffer* buffer = nullptr;
        NqResult operation;
        if (!pipeline.RetrieveNextBuffer(&buffer, 200, &operation).IsOK())
            continue;
        if (operation.IsOK()) {
            ++figures.frames;
            figures.bytes += buffer->GetPayloadSize();
        } else {
            ++figures.failed;
        }
        pipeline.ReleaseBuffer(buffer);
    }
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    device.GetGenParameters()->ExecuteCommand("AcquisitionStop");
    pipeline.Stop();
    device.Disconnect();
    stream.Close();
    figures.ok = true;
    return figures;
}

void print(const char* what, uint32_t width, uint32_t height, const Figures& f)
{
    if (!f.ok || f.seconds <= 0) {
        std::printf("%-10s %4ux%-4u  failed to run\n", what, width, height);
        return;
    }
    std::printf("%-10s %4ux%-4u  %8.1f frames/s  %8.1f MB/s  %6llu failed frames\n", what, width, height,
                double(f.frames) / f.seconds, double(f.bytes) / 1e6 / f.seconds,
                static_cast<unsigned long long>(f.failed));
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    std::printf("NqPipeline vs raw Aravis, Mono16, %u buffers, %.1f s per run\n", kBuffers, seconds);
    const uint32_t sizes[][2] = {{640, 480}, {2048, 2048}};
    for (const auto& size : sizes) {
        SimulatedCameraOptions options;
        options.address = kCameraIp;
        options.width = size[0];
        options.height = size[1];
        options.sensorWidth = size[0];
        options.sensorHeight = size[1];
        options.pixelFormat = NqPixelType::Mono16;
        options.frameRate = 1000.0; // the receive path, not the camera, should limit
        SimulatedCamera camera(options);
        if (!camera.start()) {
            std::fprintf(stderr, "cannot start the simulated camera on %s (run inside the loopback namespace)\n",
                         kCameraIp);
            return 1;
        }
        print("NqPipeline", size[0], size[1], throughPipeline(seconds));
        const NqAravisBaselineResult raw = nqAravisBaseline(kCameraIp, kBuffers, seconds);
        Figures rawFigures;
        rawFigures.ok = raw.ok;
        rawFigures.frames = raw.frames;
        rawFigures.failed = raw.failedFrames;
        rawFigures.bytes = raw.bytes;
        rawFigures.seconds = raw.seconds;
        print("Aravis", size[0], size[1], rawFigures);
    }
    return 0;
}
