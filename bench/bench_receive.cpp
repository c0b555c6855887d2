// The receive paths of the station beside raw Aravis on the same stream: the
// simulated camera sends 640x480 and 2048x2048 Mono16 frames in 9000-byte
// packets (negotiated as the station does) at rising rates, paced like a link
// a quarter faster than the frames need (room for the camera to fill each
// frame before it goes on the link), and each receiver in turn takes it:
//  - raw Aravis (pop, push back), the anchor;
//  - NqPipeline (retrieve, release);
//  - the acquisition thread, its frames consumed on this thread's event loop;
//  - the station's window (offscreen), its frame slot showing every frame.
// Frames are counted on both sides: sent by the camera, delivered, incomplete
// and never delivered (sent - delivered - incomplete). The ladder stops once
// every receiver loses more than 1 % of the frames or the camera cannot send
// the rate.
// First, the camera's own pace: the rate within its frames on a 1 Gb/s link,
// beside that rate. Last, 2048x2048 at 5 fps with 1 % of the packets lost at
// first sending: the frames the camera's resends make whole on each receiver.
// The camera's thread runs on one pinned CPU, every receiver on the same
// three others. Run inside the loopback namespace:
//   scripts/in-loopback-netns.sh <build>/bench/bench_receive [seconds]
#include "AnsweringPrompt.h"
#include "BenchTable.h"
#include "EventWait.h"
#include "GvspWireReceiver.h"
#include "Lumi_cam.h"
#include "SimulatedCamera.h"
#include "camera/NqAravisBaseline.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"
#include "camera/NqStream.h"
#include "camera/Thread.h"
#include "camera/camSearchDlg.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdlib>

namespace {

const char* const kCameraIp = "127.0.0.1"; // the station's search finds this one
constexpr uint32_t kPacketSize = 9000;
constexpr uint32_t kBuffers = 64;   // the station's stream
constexpr int kDrainMs = 700;       // beyond the receivers' frame retention
constexpr double kLinkHeadroom = 1.25;
constexpr uint32_t kMono16 = 0x01100007;

struct Counts
{
    bool ok = false;
    uint64_t sent = 0;
    uint64_t delivered = 0;
    uint64_t incomplete = 0;

    uint64_t never() const { return sent > delivered + incomplete ? sent - delivered - incomplete : 0; }
    double share() const { return sent ? double(delivered) / double(sent) : 0; }
    // Loses more than 1 % of the frames (a loaded machine loses the odd one).
    bool losing() const { return !ok || sent == 0 || delivered < 0.99 * double(sent); }
    std::string text() const
    {
        if (!ok)
            return "failed";
        return bench::format("%llu ok, %llu inc, %llu never", static_cast<unsigned long long>(delivered),
                             static_cast<unsigned long long>(incomplete), static_cast<unsigned long long>(never()));
    }
};

// Frames the camera sent from construction to the call of take().
class SentFrames
{
public:
    explicit SentFrames(const SimulatedCamera& camera) : m_camera(camera), m_start(camera.framesSent()) {}
    uint64_t take() const { return m_camera.framesSent() - m_start; }

private:
    const SimulatedCamera& m_camera;
    uint64_t m_start;
};

// Runs events until no frame came for kDrainMs.
void drain(EventWait& wait, const uint64_t& delivered)
{
    uint64_t before = 0;
    do {
        before = delivered;
        wait.wait(kDrainMs);
    } while (delivered != before);
}

Counts throughAravis(const SimulatedCamera& camera, double seconds)
{
    const SentFrames sent(camera);
    const NqAravisBaselineResult raw = nqAravisBaseline(kCameraIp, kBuffers, kPacketSize, seconds, kDrainMs);
    Counts counts;
    counts.ok = raw.ok;
    counts.delivered = raw.frames;
    counts.incomplete = raw.incomplete;
    counts.sent = sent.take();
    if (!raw.ok)
        std::fprintf(stderr, "Aravis: %s\n", raw.error.c_str());
    return counts;
}

// Device, stream and pipeline connected as the station connects them.
struct Connection
{
    NqDevice device;
    NqStream stream;
    NqPipeline pipeline{&stream};

    bool open()
    {
        const NqString ip(kCameraIp);
        if (!device.Connect(ip).IsOK() || !device.NegotiatePacketSize(0, kPacketSize).IsOK()
            || !stream.Open(ip, 0, 0, NqString(), kBuffers).IsOK())
            return false;
        return device.SetStreamDestination(stream.GetLocalIPAddress(), stream.GetLocalPort()).IsOK();
    }
    bool command(const char* name) { return device.GetGenParameters()->ExecuteCommand(name).IsOK(); }
    ~Connection()
    {
        if (pipeline.IsStarted())
            pipeline.Stop();
        device.Disconnect();
        stream.Close();
    }
};

Counts throughPipeline(const SimulatedCamera& camera, double seconds)
{
    Counts counts;
    Connection c;
    if (!c.open() || !c.pipeline.Start().IsOK())
        return counts;
    const SentFrames sent(camera);
    const auto take = [&](uint32_t timeoutMs) {
        NqBuffer* buffer = nullptr;
        NqResult operation;
        if (!c.pipeline.RetrieveNextBuffer(&buffer, timeoutMs, &operation).IsOK())
            return false;
        ++(operation.IsOK() ? counts.delivered : counts.incomplete);
        c.pipeline.ReleaseBuffer(buffer);
        return true;
    };
    if (!c.command("AcquisitionStart"))
        return counts;
    const bench::Clock::time_point start = bench::Clock::now();
    while (bench::secondsSince(start) < seconds)
        take(200);
    counts.ok = c.command("AcquisitionStop");
    while (take(kDrainMs)) {
    }
    counts.sent = sent.take();
    return counts;
}

Counts throughThread(const SimulatedCamera& camera, double seconds)
{
    Counts counts;
    Connection c;
    if (!c.open())
        return counts;
    Thread thread(&c.device, &c.pipeline);
    QObject consumer; // on this thread, which runs the event loop
    QObject::connect(&thread, &Thread::imageReady, &consumer, [&counts](unsigned long long, FrameRef) {
        ++counts.delivered;
    });
    thread.start();
    if (!c.pipeline.Start().IsOK())
        return counts;
    const SentFrames sent(camera);
    EventWait wait;
    if (!c.command("AcquisitionStart"))
        return counts;
    wait.wait(int(seconds * 1000));
    counts.ok = c.command("AcquisitionStop");
    drain(wait, counts.delivered);
    counts.sent = sent.take();
    counts.incomplete = thread.errorCount();
    thread.stop();
    // Frames still queued hold pipeline buffers: they go before the pipeline.
    QCoreApplication::removePostedEvents(&consumer, QEvent::MetaCall);
    return counts;
}

// Double-clicks the camera's row in the window's search dialog.
bool pickCamera(Lumi_cam& window)
{
    auto* dialog = window.findChild<camSearchDlg*>();
    auto* tree = dialog ? dialog->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
    const QAbstractItemModel* model = tree ? tree->model() : nullptr;
    for (int i = 0; model && i < model->rowCount(); ++i) {
        const QModelIndex interfaceRow = model->index(i, 0);
        for (int j = 0; j < model->rowCount(interfaceRow); ++j) {
            const QModelIndex row = model->index(j, 0, interfaceRow);
            if (row.data().toString().contains(QStringLiteral("[%1]").arg(QLatin1String(kCameraIp)))) {
                emit tree->doubleClicked(row);
                return window.isConnected();
            }
        }
    }
    return false;
}

Counts throughStation(const SimulatedCamera& camera, double seconds)
{
    Counts counts;
    Lumi_cam window;
    window.show();
    QAction* run = window.findChild<QAction*>(QStringLiteral("actionRun"));
    if (!pickCamera(window) || !run || !window.acquisitionThread())
        return counts;
    const Thread* thread = window.acquisitionThread();
    QObject counter; // after the window's own connection: counts frames the slot has taken
    QObject::connect(thread, &Thread::imageReady, &counter, [&counts](unsigned long long, FrameRef) {
        ++counts.delivered;
    });
    EventWait wait;
    const SentFrames sent(camera);
    run->setChecked(true);
    if (!window.isPreviewing())
        return counts;
    // While frames come faster than the slot shows them, the slot goes on
    // draining its queue and control never comes back to this wait: the run
    // is ended from inside, as a user's click would be.
    QTimer::singleShot(int(seconds * 1000), &window, [run] { run->setChecked(false); });
    wait.wait(int(seconds * 1000));
    run->setChecked(false);
    drain(wait, counts.delivered);
    counts.sent = sent.take();
    counts.incomplete = thread->errorCount();
    counts.ok = true;
    return counts;
}

// Seconds from leader to trailer of the next whole frame whose every packet
// came (by their send stamps); 0 when none comes.
double frameSpan(GvspWireReceiver& receiver, uint32_t dataPackets)
{
    std::vector<GvspWireReceiver::Packet> frame;
    while (receiver.nextFrame(frame))
        if (frame.size() == dataPackets + 2)
            return frame.back().sent - frame.front().sent;
    return 0;
}

// The rate within the camera's frames (image bytes over leader-to-trailer
// span) on a 1 Gb/s link, at a frame rate that leaves the link idle half the
// time, beside the link's rate: above it by a burst at most, near it when the
// camera's thread keeps up.
void cameraPace(SimulatedCamera& camera, uint32_t width, uint32_t height)
{
    const double linkBytesPerSecond = 125e6;
    const size_t frameBytes = SimulatedCamera::frameBytes(width, height, kMono16);
    const uint32_t dataPackets =
        uint32_t((frameBytes + SimulatedCamera::dataBytesPerPacket(kPacketSize) - 1)
                 / SimulatedCamera::dataBytesPerPacket(kPacketSize));
    camera.setLinkRate(linkBytesPerSecond * 8 / 1e6);
    camera.setFrameRate(linkBytesPerSecond / double(frameBytes) / 2);
    GvspWireReceiver receiver;
    NqDevice device;
    std::vector<double> rates;
    if (device.Connect(NqString(kCameraIp)).IsOK() && device.NegotiatePacketSize(0, kPacketSize).IsOK()
        && device.SetStreamDestination(NqString("127.0.0.1"), receiver.port()).IsOK()
        && device.GetGenParameters()->ExecuteCommand("AcquisitionStart").IsOK()) {
        for (int i = 0; i < 20; ++i)
            if (const double span = frameSpan(receiver, dataPackets))
                rates.push_back(double(frameBytes) / span / 1e6);
        device.GetGenParameters()->ExecuteCommand("AcquisitionStop");
    }
    device.Disconnect();
    const bench::Spread s = bench::spread(rates);
    bench::row(bench::format("simulated camera %ux%u, 1 Gb/s link: rate within a frame", width, height),
               rates.empty() ? std::string("failed") : bench::spreadText(s, "MB/s"),
               bench::format("%.0f MB/s", linkBytesPerSecond / 1e6), bench::ratio(s.median, linkBytesPerSecond / 1e6),
               "1.00x (never above, but for a burst)");
}

struct Receiver
{
    const char* name;
    Counts (*run)(const SimulatedCamera&, double);
};

const Receiver kAnchor{"Aravis", &throughAravis};
const Receiver kPaths[] = {{"NqPipeline", &throughPipeline},
                           {"acquisition thread + event loop", &throughThread},
                           {"station frame slot", &throughStation}};

// Each receiver in turn on the camera's stream as it is set now, beside raw
// Aravis, a row each. False once every receiver loses frames or the camera
// sent less than 90 % of `fps`: beyond that the camera is measured.
bool compareReceivers(const SimulatedCamera& camera, const std::string& what, double fps, double seconds)
{
    const Counts reference = kAnchor.run(camera, seconds);
    bool everyPathLoses = reference.losing();
    std::vector<Counts> results;
    for (const Receiver& path : kPaths) {
        results.push_back(path.run(camera, seconds));
        everyPathLoses = everyPathLoses && results.back().losing();
    }
    for (size_t i = 0; i < results.size(); ++i)
        bench::row(what + ": " + kPaths[i].name, results[i].text(), reference.text(),
                   bench::ratio(results[i].share(), reference.share()), "1.00x Aravis (lossless where it is)");
    return !everyPathLoses && double(reference.sent) / (seconds * fps) >= 0.9;
}

SimulatedCameraOptions cameraOptions(uint32_t width, uint32_t height)
{
    SimulatedCameraOptions options;
    options.address = kCameraIp;
    options.width = options.sensorWidth = width;
    options.height = options.sensorHeight = height;
    options.pixelFormat = kMono16;
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    // The station's settings go to a folder of this run; its window is drawn offscreen.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AnsweringPrompt prompt;
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;

    const std::vector<int> cpus = bench::allowedCpus();
    const bool pinned = cpus.size() >= 4;
    const int cameraCpu = pinned ? cpus.back() : -1;
    const std::vector<int> receiverCpus = pinned ? std::vector<int>(cpus.end() - 4, cpus.end() - 1) : cpus;
    // The camera's thread is created on the camera's CPU; the receivers' on theirs.
    const auto startCamera = [&](SimulatedCamera& camera) {
        if (pinned)
            bench::pinThisThread(cameraCpu);
        const bool started = camera.start();
        bench::unpinThisThread(receiverCpus);
        if (!started)
            std::fprintf(stderr, "cannot start the simulated camera on %s (run inside the loopback namespace)\n",
                         kCameraIp);
        return started;
    };

    const uint32_t sizes[][2] = {{640, 480}, {2048, 2048}};
    const double rates[] = {125e6, 250e6, 500e6, 1000e6, 2000e6}; // bytes per second offered
    for (const auto& size : sizes) {
        const double frameBytes = double(SimulatedCamera::frameBytes(size[0], size[1], kMono16));
        SimulatedCamera camera(cameraOptions(size[0], size[1]));
        if (!startCamera(camera))
            return 1;
        cameraPace(camera, size[0], size[1]);
        for (const double rate : rates) {
            const double fps = rate / frameBytes;
            camera.setFrameRate(fps);
            camera.setLinkRate(rate * 8 * kLinkHeadroom / 1e6);
            if (!compareReceivers(camera,
                                  bench::format("receive %ux%u, %.0f MB/s (%.0f fps)", size[0], size[1], rate / 1e6,
                                                fps),
                                  fps, seconds))
                break;
        }
    }

    // Some 1 % of a 2048x2048 frame's packets is a few dozen resends a frame;
    // without them hardly one frame in ten thousand would be whole.
    SimulatedCameraOptions lossy = cameraOptions(2048, 2048);
    lossy.packetLoss = 0.01;
    lossy.frameRate = 5;
    SimulatedCamera camera(lossy);
    if (!startCamera(camera))
        return 1;
    compareReceivers(camera, "receive 2048x2048, 5 fps, 1 % of packets lost at first sending", lossy.frameRate,
                     std::max(seconds, 4.0));
    return 0;
}
