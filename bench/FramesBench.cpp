// Per-frame costs of the station's frame path on a 2048 x 2048 16-bit frame:
//  - the 16 -> 8-bit display conversion with min/max (and the whole display
//    step with stretch), beside memcpy of the same source bytes;
//  - a 100-frame TIFF series (640x480 and 2048x2048, 12- and 14-bit data),
//    beside raw open/write/close of the same bytes to the same folder
//    (BENCH_DIR, default the system temp folder).
// Compare the bytes_per_second columns.
#include "capture/TiffWriter.h"
#include "frames/DisplayBuffers.h"
#include "frames/PixelConversion.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

constexpr int side = 2048;
constexpr size_t pixels = size_t(side) * side;
constexpr int seriesFrames = 100;

std::vector<uint16_t> testFrame()
{
    std::vector<uint16_t> frame(pixels);
    for (size_t i = 0; i < pixels; ++i)
        frame[i] = uint16_t((i * 2654435761u) >> 20) & 0x0FFF;
    return frame;
}

void BM_Memcpy(benchmark::State& state)
{
    const std::vector<uint16_t> src = testFrame();
    std::vector<uint16_t> dst(pixels);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), pixels * 2);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels * 2));
}

void BM_Convert16To8WithMinMax(benchmark::State& state)
{
    const std::vector<uint16_t> src = testFrame();
    std::vector<uint8_t> display(pixels);
    for (auto _ : state) {
        convert16To8Shr4(display.data(), src.data(), side, side, side);
        const DisplayRange range = displayRange(display.data(), pixels);
        benchmark::DoNotOptimize(range);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels * 2));
}

void BM_DisplayStepWithStretch(benchmark::State& state)
{
    const std::vector<uint16_t> src = testFrame();
    Frame frame;
    frame.data = reinterpret_cast<const uint8_t*>(src.data());
    frame.width = side;
    frame.height = side;
    frame.bytesPerSample = 2;
    frame.size = uint32_t(pixels * 2);
    DisplayBuffers buffers;
    buffers.allocate(side, side, false);
    DisplayBuffers::Options options;
    options.normalise = true;
    for (auto _ : state) {
        QImage image = buffers.render(frame, options);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels * 2));
}

QString benchFolder()
{
    const QString dir = qEnvironmentVariable("BENCH_DIR");
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

// A frame of width x height 16-bit samples with `dataDepth` significant bits
// (14-bit data in the high bits, as the camera sends it).
std::vector<uint16_t> seriesFrame(int width, int height, int dataDepth)
{
    std::vector<uint16_t> frame(size_t(width) * height);
    for (size_t i = 0; i < frame.size(); ++i) {
        const uint16_t value = uint16_t((i * 2654435761u) >> 20) & 0x0FFF;
        frame[i] = dataDepth == 14 ? uint16_t(value << 4) : value;
    }
    return frame;
}

// Arguments: width, height, data depth. A series of files, each the cost of
// one captured frame on the writer thread.
void BM_TiffSeries(benchmark::State& state)
{
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    const std::vector<uint16_t> src = seriesFrame(width, height, int(state.range(2)));
    QTemporaryDir dir(benchFolder() + "/bench_frames_XXXXXX");
    const TiffFormat format{16, int(state.range(2)), false};
    for (auto _ : state) {
        for (int i = 0; i < seriesFrames; ++i) {
            if (!writeTiff(dir.filePath(QString("run_%1.tif").arg(i, 6, 10, QChar('0'))), width, height, src.data(),
                           format))
                state.SkipWithError("TIFF write failed");
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * seriesFrames * int64_t(src.size() * 2));
}

// The same bytes with one open(), write() and close() per file.
void BM_RawSeries(benchmark::State& state)
{
    const std::vector<uint16_t> src = seriesFrame(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    const size_t bytes = src.size() * 2;
    QTemporaryDir dir(benchFolder() + "/bench_frames_XXXXXX");
    for (auto _ : state) {
        for (int i = 0; i < seriesFrames; ++i) {
            const QByteArray name = QFile::encodeName(dir.filePath(QString("run_%1.raw").arg(i, 6, 10, QChar('0'))));
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd < 0 || ::write(fd, src.data(), bytes) != ssize_t(bytes) || ::close(fd) != 0)
                state.SkipWithError("raw write failed");
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * seriesFrames * int64_t(bytes));
}

} // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Convert16To8WithMinMax);
BENCHMARK(BM_DisplayStepWithStretch);
// Raw, TIFF, raw again: the two raw runs show how steady the folder is.
void seriesSizes(benchmark::internal::Benchmark* b)
{
    for (int depth : {12, 14}) {
        b->Args({640, 480, depth});
        b->Args({side, side, depth});
    }
}
BENCHMARK(BM_RawSeries)->Apply(seriesSizes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TiffSeries)->Apply(seriesSizes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RawSeries)->Apply(seriesSizes)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
