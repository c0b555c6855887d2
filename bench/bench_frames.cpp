// Per-frame costs of the station's frame path on 2048 x 2048 Mono16 frames
// (14 significant bits in the high bits of each word, as the camera sends them),
// in wall time, each beside its anchor in alternation:
//  - the 16 -> 8-bit display conversion with min/max, and the whole display
//    step (conversion, min/max, stretch, the pixmap the view shows), against
//    memcpy of the same source bytes; warm (one frame again and again) and
//    cold (a new frame each time from a set far larger than the caches);
//  - TIFF series in the station's formats 16/14 and 16/12 against raw write()
//    of the same bytes into the same folder (BENCH_DIR, default the system's
//    temporary folder), series in ABBA order so writeback throttling falls on
//    both alike; without and with fsync of every file.
// The measuring thread is pinned to one CPU.
#include "BenchTable.h"
#include "capture/TiffWriter.h"
#include "frames/DisplayBuffers.h"
#include "frames/PixelConversion.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <functional>

namespace {

constexpr int kSide = 2048;
constexpr size_t kPixels = size_t(kSide) * kSide;
constexpr size_t kFrameBytes = kPixels * 2;
constexpr int kColdFrames = 24;    // 192 MB: far beyond any cache
constexpr int kRounds = 100;       // timed frames per figure
constexpr int kSeriesFrames = 30;  // 240 MB a series
constexpr int kSeriesRepeats = 4;  // ABBA BAAB: each kind four times

using bench::Clock;
using Step = std::function<bool(int frame)>;

// A frame as the camera sends Mono16: 14 bits in the upper part of the word.
void fillFrame(uint16_t* frame, int seed)
{
    for (size_t i = 0; i < kPixels; ++i)
        frame[i] = uint16_t(((i * 2654435761u + unsigned(seed) * 40503u) >> 18) << 2);
}

// Median seconds of `rounds` calls of each step, the two in alternation.
std::pair<double, double> timeSideBySide(const Step& project, const Step& anchor, int rounds, bool& ok)
{
    std::vector<double> a;
    std::vector<double> b;
    for (int i = 0; i < rounds; ++i) {
        Clock::time_point start = Clock::now();
        ok = project(i) && ok;
        a.push_back(bench::secondsSince(start));
        start = Clock::now();
        ok = anchor(i) && ok;
        b.push_back(bench::secondsSince(start));
    }
    return {bench::spread(a).median, bench::spread(b).median};
}

std::string perFrame(double seconds, double bytes)
{
    return bench::format("%.2f ms (%.1f GB/s)", seconds * 1e3, bytes / seconds / 1e9);
}

void displayRows(const std::vector<std::vector<uint16_t>>& frames)
{
    std::vector<uint8_t> display(kPixels);
    std::vector<uint8_t> copy(kFrameBytes);
    DisplayBuffers buffers;
    buffers.allocate(kSide, kSide, false);
    DisplayBuffers::Options options;
    options.depths = SampleDepths{16, 14};
    options.normalise = true;
    uint64_t keep = 0;

    for (const bool cold : {false, true}) {
        // Cold: each step reads a frame last touched kColdFrames / 2 steps ago;
        // the project and the anchor never read the same frame in turn.
        const auto source = [&](int i, int offset) {
            return frames[cold ? size_t(i + offset) % frames.size() : 0].data();
        };
        const Step memcpyStep = [&](int i) {
            std::memcpy(copy.data(), source(i, kColdFrames / 2), kFrameBytes);
            keep += copy[size_t(i) % kFrameBytes];
            return true;
        };
        const Step convert = [&](int i) {
            convert16To8Hi(display.data(), source(i, 0), kSide, kSide, kSide);
            const DisplayRange range = displayRange(display.data(), kPixels);
            keep += uint64_t(range.max - range.min);
            return true;
        };
        const Step displayStep = [&](int i) {
            Frame frame;
            frame.data = reinterpret_cast<const uint8_t*>(source(i, 0));
            frame.width = frame.height = kSide;
            frame.pixelFormat = 0x01100007;
            frame.bytesPerSample = 2;
            frame.size = uint32_t(kFrameBytes);
            const QImage image = buffers.render(frame, options);
            const QPixmap pixmap = QPixmap::fromImage(image);
            keep += uint64_t(pixmap.width());
            return !image.isNull() && !pixmap.isNull();
        };
        const char* temperature = cold ? "cold" : "warm";
        bool ok = true;
        const auto conversion = timeSideBySide(convert, memcpyStep, kRounds, ok);
        bench::row(bench::format("16->8 conversion + min/max, 2048x2048 16/14, %s", temperature),
                   perFrame(conversion.first, kFrameBytes), "memcpy " + perFrame(conversion.second, kFrameBytes),
                   ok ? bench::ratio(conversion.second, conversion.first) : "failed", ">= 0.90x memcpy");
        const auto step = timeSideBySide(displayStep, memcpyStep, kRounds, ok);
        bench::row(bench::format("display step (+ stretch, pixmap), 2048x2048 16/14, %s", temperature),
                   perFrame(step.first, kFrameBytes), "memcpy " + perFrame(step.second, kFrameBytes),
                   ok ? bench::ratio(step.second, step.first) : "failed", ">= 0.33x memcpy (moves 3x its bytes)");
    }
    if (keep == 42)
        std::fprintf(stderr, "\n"); // keeps the results alive
}

bool syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool rawWrite(const QString& path, const void* data, size_t size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return ::close(fd) == 0 && done == size;
}

// Seconds to write a series of kSeriesFrames files (then delete them).
double series(const QString& folder, bool tiff, const TiffFormat& format, bool sync,
              const std::vector<std::vector<uint16_t>>& frames, bool& ok)
{
    QTemporaryDir dir(folder + QStringLiteral("/bench_frames_XXXXXX"));
    if (!dir.isValid()) {
        ok = false;
        return 0;
    }
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kSeriesFrames; ++i) {
        const QString path = dir.filePath(QStringLiteral("run_%1.%2").arg(i, 6, 10, QChar('0')).arg(tiff ? "tif" : "raw"));
        const uint16_t* data = frames[size_t(i) % frames.size()].data();
        const bool written = tiff ? writeTiff(path, kSide, kSide, data, format) : rawWrite(path, data, kFrameBytes);
        ok = ok && written && (!sync || syncFile(path));
    }
    return bench::secondsSince(start);
}

void tiffRows(const std::vector<std::vector<uint16_t>>& frames)
{
    QString folder = qEnvironmentVariable("BENCH_DIR");
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const double bytes = double(kFrameBytes) * kSeriesFrames;
    for (const TiffFormat format : {TiffFormat{16, 14, false}, TiffFormat{16, 12, false}}) {
        for (const bool sync : {false, true}) {
            bool ok = true;
            std::vector<double> tiff;
            std::vector<double> raw;
            for (int i = 0; i < kSeriesRepeats; ++i) {
                const bool tiffFirst = (i + i / 2) % 2 == 0; // ABBA BAAB
                if (tiffFirst)
                    tiff.push_back(series(folder, true, format, sync, frames, ok));
                raw.push_back(series(folder, false, format, sync, frames, ok));
                if (!tiffFirst)
                    tiff.push_back(series(folder, true, format, sync, frames, ok));
            }
            const double t = bench::spread(tiff).median;
            const double r = bench::spread(raw).median;
            bench::row(bench::format("TIFF series %d/%d, %d x 2048x2048%s", format.displayDepth, format.dataDepth,
                                     kSeriesFrames, sync ? ", fsync each file" : ""),
                       bench::format("%.0f MB/s", bytes / t / 1e6), bench::format("write() %.0f MB/s", bytes / r / 1e6),
                       ok ? bench::ratio(r, t) : "failed", sync ? ">= 0.90x raw write()" : ">= 0.80x raw write()");
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // for the pixmap
    const std::vector<int> cpus = bench::allowedCpus();
    if (!cpus.empty())
        bench::pinThisThread(cpus.back());

    std::vector<std::vector<uint16_t>> frames(kColdFrames, std::vector<uint16_t>(kPixels));
    for (int i = 0; i < kColdFrames; ++i)
        fillFrame(frames[size_t(i)].data(), i);
    displayRows(frames);
    tiffRows(frames);
    return 0;
}
