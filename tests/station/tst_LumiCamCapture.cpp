#include "CaptureListLines.h"
#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "TestFrames.h"
#include "WindowDriver.h"
#include "camera/Thread.h"

#include <QDir>
#include <QGraphicsPixmapItem>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "SidePanel.h"
#include "frames/CustomScene.h"

#include <QLineEdit>
#include <QSpinBox>

#include <tiffio.h>

#include <functional>
#include <map>
#include <vector>

// A capture from the simulated camera through the real acquisition thread and
// the window's frame slot: the files on disk hold exactly what the camera sent.
class LumiCamCaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void captureWritesFramesListAndSidecar_data();
    void captureWritesFramesListAndSidecar();
    void previewFramesQueuedAtStartAreNotCaptured();
    void failedCaptureEndsBeforeTheNext_data();
    void failedCaptureEndsBeforeTheNext();
    void startWithoutWorkFolderIsRefused();
    void startDuringTheStopWaitIsKept();
    void sidecarFolderIsTheWorkFolderField();
};

namespace {

// The samples of a one-page 16-bit grey TIFF; empty when it is not one.
std::vector<uint16_t> readTiff16(const QString& path, uint32_t& width, uint32_t& height)
{
    std::vector<uint16_t> samples;
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tiff)
        return samples;
    uint16_t bits = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (bits == 16) {
        samples.resize(size_t(width) * height);
        for (uint32_t row = 0; row < height; ++row)
            if (TIFFReadScanline(tiff, samples.data() + size_t(row) * width, row) < 0) {
                samples.clear();
                break;
            }
    }
    TIFFClose(tiff);
    return samples;
}

// A box that lets the test act while it is open: inside it, as a real modal
// box runs events, or from the event loop once a box nobody waits for is up.
class BusyPrompt : public ScriptedPrompt
{
public:
    std::function<void()> whileOpen;

    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        ScriptedPrompt::message(parent, icon, title, text);
        if (std::function<void()> action = std::exchange(whileOpen, nullptr))
            action();
    }

    void notify(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        ScriptedPrompt::notify(parent, icon, title, text);
        if (std::function<void()> action = std::exchange(whileOpen, nullptr))
            QTimer::singleShot(0, action);
    }
};

} // namespace

void LumiCamCaptureTest::captureWritesFramesListAndSidecar_data()
{
    QTest::addColumn<int>("busyMs");
    QTest::newRow("window keeps up") << 0;
    // Every frame and the end of the capture are queued before the first
    // frame is handled: the end arrives while the slot processes events.
    QTest::newRow("window busy when the capture ends") << 400;
}

void LumiCamCaptureTest::captureWritesFramesListAndSidecar()
{
    QFETCH(int, busyMs);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), 3, QStringLiteral("run")));

    SimulatedCameraOptions options; // Mono16, 14 significant bits
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY2(WindowDriver::pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");
    QCOMPARE(window.sampleDepths(), (SampleDepths{16, 14}));

    // The block id of every frame the thread hands over, by its counter.
    std::map<unsigned long long, uint64_t> blockIds;
    QObject context;
    connect(window.acquisitionThread(), &Thread::imageReady, &context,
            [&](unsigned long long number, FrameRef frame) { blockIds[number] = frame->blockId; });

    WindowDriver::action(window, "actionCapture")->setChecked(true);
    QVERIFY(window.isCapturing());
    QThread::msleep(busyMs);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().captureDone, WindowDriver::PatienceMs);
    QVERIFY(!window.isCapturing());
    QVERIFY(!WindowDriver::action(window, "actionCapture")->isChecked());
    QVERIFY(!window.scene()->pixmapItem()->pixmap().isNull());

    const QDir dir(folder.path());
    const QStringList tiffs = dir.entryList({QStringLiteral("*.tif")}, QDir::Files, QDir::Name);
    QCOMPARE(tiffs, (QStringList{"run_000001.tif", "run_000002.tif", "run_000003.tif"}));
    std::vector<uint8_t> sent(SimulatedCamera::frameBytes(options.width, options.height, options.pixelFormat));
    for (int i = 0; i < tiffs.size(); ++i) {
        const unsigned long long counter = unsigned(i + 1);
        QVERIFY(blockIds.count(counter));
        uint32_t width = 0;
        uint32_t height = 0;
        const std::vector<uint16_t> stored = readTiff16(dir.filePath(tiffs[i]), width, height);
        QCOMPARE(width, options.width);
        QCOMPARE(height, options.height);
        QCOMPARE(stored.size(), size_t(width) * height);
        SimulatedCamera::fillFrame(sent.data(), width, height, options.pixelFormat, blockIds[counter],
                                   options.pattern);
        // 14-bit data is stored as 0..16383.
        for (size_t p = 0; p < stored.size(); ++p) {
            const uint16_t word = uint16_t(sent[2 * p] | (sent[2 * p + 1] << 8));
            if (stored[p] != word >> 2)
                QFAIL(qPrintable(QStringLiteral("%1: sample %2 is %3, the camera sent %4")
                                     .arg(tiffs[i]).arg(p).arg(stored[p]).arg(word >> 2)));
        }
    }

    const QStringList lists = dir.entryList({QStringLiteral("*.lst")}, QDir::Files);
    QCOMPARE(lists, QStringList{"run.lst"});
    QFile list(dir.filePath(lists.first()));
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), QByteArray("run_000001.tif\r\nrun_000002.tif\r\nrun_000003.tif\r\n"));

    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("run.settings"))));
    QSettings sidecar(dir.filePath(QStringLiteral("run.settings")), QSettings::IniFormat);
    QCOMPARE(sidecar.value(QStringLiteral("Capture/Frames")).toInt(), 3);
    QVERIFY(prompt.shown.isEmpty() || prompt.titles().filter(QStringLiteral("Save tiff")).isEmpty());
}

// "#start" arrives while the frame slot processes events with preview frames
// queued behind it: those frames are the preview's, not the capture's, and
// must not be written (under the capture's numbers) or listed.
void LumiCamCaptureTest::previewFramesQueuedAtStartAreNotCaptured()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), 30, QStringLiteral("run")));
    SimulatedCameraOptions options;
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY2(WindowDriver::pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");

    WindowDriver::action(window, "actionRun")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(!window.scene()->pixmapItem()->pixmap().isNull(), WindowDriver::PatienceMs);
    // Preview frames pile up in the event queue; the start is queued behind them.
    QThread::msleep(400);
    QMetaObject::invokeMethod(
        &window,
        [&window] {
            WindowDriver::action(window, "actionRun")->setChecked(false);
            WindowDriver::action(window, "actionCapture")->setChecked(true);
            // However few wait in the queue: a preview's frame still on its way
            // (of an earlier run of the thread) carries a number of the capture's.
            window.showSignal(3, makeFrame16(8, 4, std::vector<uint16_t>(32, 100), 3));
        },
        Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().captureDone, WindowDriver::PatienceMs);

    // Thirty frames, each written and listed once, in order.
    QStringList expected;
    QByteArray expectedList;
    for (int n = 1; n <= 30; ++n) {
        expected << QStringLiteral("run_%1.tif").arg(n, 6, 10, QLatin1Char('0'));
        expectedList += expected.last().toLatin1() + "\r\n";
    }
    const QDir dir(folder.path());
    QCOMPARE(dir.entryList({QStringLiteral("*.tif")}, QDir::Files, QDir::Name), expected);
    QFile list(dir.filePath(QStringLiteral("run.lst")));
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), expectedList);
}

// The first frame of capture "a" cannot be written: "a" ends there, as a user
// stop would end it, and while its box is open the user either starts "b" or
// disconnects. "a" leaves nothing behind but the box, and "b" holds its own
// frames only.
void LumiCamCaptureTest::failedCaptureEndsBeforeTheNext_data()
{
    QTest::addColumn<bool>("restart");
    QTest::newRow("stop and start again") << true;
    QTest::newRow("disconnect") << false;
}

void LumiCamCaptureTest::failedCaptureEndsBeforeTheNext()
{
    QFETCH(bool, restart);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), 20, QStringLiteral("a")));
    const QDir dir(folder.path());
    QVERIFY(dir.mkdir(QStringLiteral("a_000001.tif"))); // a folder: the file cannot be made
    SimulatedCameraOptions options;
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    BusyPrompt prompt;
    Lumi_cam window;
    QVERIFY2(WindowDriver::pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");

    bool endedBeforeTheBox = false;
    prompt.whileOpen = [&window, restart, &endedBeforeTheBox] {
        endedBeforeTheBox = !window.isCapturing() && !WindowDriver::action(window, "actionCapture")->isChecked();
        QTest::qWait(400);
        if (!restart) {
            WindowDriver::action(window, "actionOpenCam")->setChecked(false);
            return;
        }
        WindowDriver::action(window, "actionCapture")->setChecked(false);
        window.sidePanel().prefix->setText(QStringLiteral("b"));
        WindowDriver::action(window, "actionCapture")->setChecked(true);
    };
    WindowDriver::action(window, "actionCapture")->setChecked(true);
    if (restart) {
        QTRY_VERIFY_WITH_TIMEOUT(window.stationState().captureDone, WindowDriver::PatienceMs);
        QFile listB(dir.filePath(QStringLiteral("b.lst")));
        QVERIFY(listB.open(QIODevice::ReadOnly));
        QCOMPARE(listB.readAll(), listOf("b", 1, 20));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!window.isConnected(), WindowDriver::PatienceMs);
        QVERIFY(!window.isCapturing());
    }
    QCOMPARE(prompt.titles(), QStringList{"Save tiff"});
    QVERIFY2(prompt.shown[0].text.contains(QStringLiteral("a_000001.tif")), qPrintable(prompt.shown[0].text));
    QVERIFY(endedBeforeTheBox); // the failure itself ended "a"

    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("a.lst"))));
    QCOMPARE(dir.entryList({QStringLiteral("a_*.tif")}, QDir::Files), QStringList());
}

// "#start" checks the capture action even when it is disabled for want of a
// work folder: the files must not go to the root folder.
void LumiCamCaptureTest::startWithoutWorkFolderIsRefused()
{
    QVERIFY(WindowDriver::writeRunSettings("", 3, QStringLiteral("nofolder")));
    SimulatedCameraOptions options;
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY2(WindowDriver::pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");

    WindowDriver::action(window, "actionCapture")->setChecked(true);
    QVERIFY(!window.isCapturing());
    QVERIFY(!WindowDriver::action(window, "actionCapture")->isChecked());
    QTest::qWait(300);
    QVERIFY(!window.stationState().captureDone);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/nofolder_000001.tif")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/nofolder.settings")));
    QCOMPARE(prompt.titles(), QStringList{"Capture"});
}

// "#stop" then "#start": the start arrives while the stop waits for the last
// frames. The new capture keeps its files and ends at its own target.
void LumiCamCaptureTest::startDuringTheStopWaitIsKept()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), 1000, QStringLiteral("a")));
    SimulatedCameraOptions options;
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY2(WindowDriver::pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");

    WindowDriver::action(window, "actionCapture")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived > 0, WindowDriver::PatienceMs);
    QTimer::singleShot(20, &window, [&window] {
        window.sidePanel().prefix->setText(QStringLiteral("b"));
        window.sidePanel().frames->setValue(5);
        WindowDriver::action(window, "actionCapture")->setChecked(true);
    });
    WindowDriver::action(window, "actionCapture")->setChecked(false);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().captureDone, WindowDriver::PatienceMs);
    QVERIFY(!window.isCapturing());

    const QDir dir(folder.path());
    QFile listB(dir.filePath(QStringLiteral("b.lst")));
    QVERIFY(listB.open(QIODevice::ReadOnly));
    QCOMPARE(listB.readAll(), listOf("b", 1, 5));
    QVERIFY(prompt.shown.isEmpty());
}

// With a sub-folder per camera the files go one level down, but the sidecar's
// "Folder" says what the work-folder field says.
void LumiCamCaptureTest::sidecarFolderIsTheWorkFolderField()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), 2, QStringLiteral("run")));
    SimulatedCameraOptions options;
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY2(WindowDriver::pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");
    WindowDriver::action(window, "actionCamera_name_subfolder")->setChecked(true);
    WindowDriver::action(window, "actionCapture")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().captureDone, WindowDriver::PatienceMs);

    const QDir dir(folder.filePath(QStringLiteral("CAM_SIMCAM")));
    QCOMPARE(dir.entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 2);
    QSettings sidecar(dir.filePath(QStringLiteral("run.settings")), QSettings::IniFormat);
    QCOMPARE(sidecar.value(QStringLiteral("Capture/Folder")).toString(), folder.path());
}

QTEST_MAIN(LumiCamCaptureTest)
#include "tst_LumiCamCapture.moc"
