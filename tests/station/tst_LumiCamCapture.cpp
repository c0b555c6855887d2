#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "Thread.h"
#include "WindowDriver.h"

#include <QDir>
#include <QGraphicsPixmapItem>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "CustomScene.h"

#include <tiffio.h>

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
    QVERIFY(WindowDriver::writeSettings({{"LAST_PTH", folder.path()},
                                         {"LAST_FRM", 3},
                                         {"LAST_AVG", 1},
                                         {"LAST_PRT", "run"},
                                         {"LAST_PNT", ""},
                                         {"LAST_EXP", 1000}}));

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
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().captureDone, 10000);
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

QTEST_MAIN(LumiCamCaptureTest)
#include "tst_LumiCamCapture.moc"
