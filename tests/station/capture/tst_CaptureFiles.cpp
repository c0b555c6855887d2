#include "FakeFeatures.h"
#include "ScriptedPrompt.h"
#include "TestFrames.h"
#include "camera/CameraImageArea.h"
#include "capture/CaptureWriter.h"
#include "capture/SettingsSidecar.h"
#include "frames/PixelConversion.h"
#include "frames/StreamStatistics.h"

#include <QScopeGuard>
#include <QtTest>

#include <tiffio.h>

#include <cerrno>
#include <cstring>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QVector<int> tiffSamples(const QString& path, QSize* size = nullptr)
{
    QVector<int> samples;
    TIFF* file = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!file)
        return samples;
    uint32_t w = 0, h = 0;
    uint16_t bits = 0;
    TIFFGetField(file, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(file, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(file, TIFFTAG_BITSPERSAMPLE, &bits);
    std::vector<uint8_t> row(TIFFScanlineSize(file));
    for (uint32_t y = 0; y < h; ++y) {
        TIFFReadScanline(file, row.data(), y, 0);
        for (uint32_t x = 0; x < w; ++x)
            samples.append(bits == 8 ? row[x] : reinterpret_cast<uint16_t*>(row.data())[x]);
    }
    TIFFClose(file);
    if (size)
        *size = QSize(int(w), int(h));
    return samples;
}

CaptureWriter::Run monoRun(const QString& folder)
{
    CaptureWriter::Run run;
    run.names = {folder, "run_0", "p1"};
    run.format = {16, 14, false};
    run.targetFrames = 3;
    return run;
}

} // namespace

class TestCaptureFiles : public QObject
{
    Q_OBJECT

private slots:
    void sidecarMatchesGolden()
    {
        FakeFeatures camera;
        camera.setInteger("ExposureTimeRaw", 1234);
        camera.setEnum("TriggerMode", 1);
        camera.setEnum("ExposureMode", 1);
        camera.setBoolean("FlatFieldCorrection", true);
        camera.setBoolean("BlackLevelCorrection", false);
        camera.setInteger("BinningVertical", 2);
        camera.setEnum("SensorDigitizationTaps", 4);
        camera.setEnum("VerticalSmearCorrection", 1);
        // CameraSpeed is absent: it stays 0.

        SidecarCamera values;
        values.model = "Connected: Tarnel-C";
        values.colour = true;
        values.serial = "SN-0042";
        values.temperature = 31;
        values.ipAddress = 0xC0A8010A; // the address the station reached it at
        readSidecarFeatures(&camera, values);

        SidecarCapture capture;
        capture.mode = captureModeName(true, false, true);
        capture.frames = 100;
        capture.folder = "/data/capture";
        capture.prefix = "run_0";
        capture.point = "p1";
        capture.average = 4;

        const QString path = sidecarPath({".", capture.prefix, capture.point});
        {
            QSettings earlier(path, QSettings::IniFormat);
            earlier.setValue("Notes/Operator", "kept");
        }
        QVERIFY(writeSettingsFile(path, values, capture, QDateTime::currentDateTime()));

        QFile golden(qEnvironmentVariable("KESSANE_SOURCE_DIR") + "/tests/station/capture/golden/sidecar.settings");
        QVERIFY2(golden.open(QIODevice::ReadOnly), qPrintable(golden.fileName()));
        const QStringList expected = QString::fromUtf8(golden.readAll()).split('\n');
        const QStringList written = QString::fromUtf8(readAll(path)).split('\n');
        QCOMPARE(written.size(), expected.size());
        const QRegularExpression time("^Time=\\S+_\\S+_\\d{1,2}_\\d{4}_\\d{2}:\\d{2}:\\d{2}$");
        for (int i = 0; i < expected.size(); ++i) {
            if (expected[i] == "Time=<time>")
                QVERIFY2(time.match(written[i]).hasMatch(), qPrintable(written[i]));
            else
                QCOMPARE(written[i], expected[i]);
        }
    }

    // The exposure the camera reports, in microseconds: its integer feature,
    // else its float one, else the unknown value 0.
    void sidecarExposureAsTheCameraReportsIt()
    {
        const auto exposure = [](FakeFeatures& camera) {
            SidecarCamera values;
            readSidecarFeatures(&camera, values);
            return values.exposureUs;
        };
        FakeFeatures camera;
        QCOMPARE(exposure(camera), 0.0);
        camera.setFloat("ExposureTimeAbs", 1234.5);
        QCOMPARE(exposure(camera), 1234.5);
        camera.setInteger("ExposureTimeRaw", 1500);
        QCOMPARE(exposure(camera), 1500.0);
        SidecarCamera none;
        readSidecarFeatures(nullptr, none);
        QCOMPARE(none.exposureUs, 0.0);
    }

    void sidecarTexts()
    {
        QCOMPARE(sidecarTimeText(QDateTime(QDate(2026, 12, 9), QTime(4, 47, 37))).contains(' '), false);
        QCOMPARE(ipAddressText(0xC0A8010A), QString("192.168.1.10"));
        QCOMPARE(captureModeName(false, false, false), QString());
        QCOMPARE(captureModeName(true, false, false), QString("Double_Frame_Mode"));
        QCOMPARE(captureModeName(true, true, false), QString("Frame_Accumulation_Mode"));
        QCOMPARE(captureModeName(true, true, true), QString("Radiometric_Mode"));
    }

    void writerMonoRun()
    {
        QTemporaryDir dir;
        CaptureWriter writer;
        writer.beginRun(monoRun(dir.path()));
        const FrameRef frame = makeFrame16(2, 2, {0xFFFC, 4, 8, 12});
        for (unsigned long long counter = 1; counter <= 3; ++counter) {
            const CaptureWriter::Result result = writer.write(*renumbered(frame, counter), 1);
            QVERIFY(result.ok);
            QCOMPARE(result.frameNumberText, frameNumberText(counter));
            QCOMPARE(result.written, QStringList{dir.filePath(QString("run_0_p1_%1.tif").arg(frameNumberText(counter)))});
        }
        QCOMPARE(tiffSamples(dir.filePath("run_0_p1_000002.tif")), (QVector<int>{16383, 1, 2, 3}));
        QCOMPARE(readAll(dir.filePath("run_0_p1.lst")),
                 QByteArray("run_0_p1_000001.tif\r\nrun_0_p1_000002.tif\r\nrun_0_p1_000003.tif\r\n"));

        // The next run lists afresh even though its first counter is not 1 (N = 2).
        CaptureWriter::Run averaged = monoRun(dir.path());
        averaged.averaging = 2;
        writer.beginRun(averaged);
        QVERIFY(writer.write(*renumbered(frame, 2), 1).ok);
        QCOMPARE(readAll(dir.filePath("run_0_p1.lst")), QByteArray("run_0_p1_000001.tif\r\n"));
    }

    void writerSplitColours()
    {
        QTemporaryDir dir;
        CaptureWriter writer;
        CaptureWriter::Run run = monoRun(dir.path());
        run.mode.colour = true;
        run.mode.splitColours = true;
        run.format = {8, 8, false};
        writer.beginRun(run);
        const FrameRef frame = makeFrame8(4, 2, {10, 20, 30, 40, 50, 60, 70, 80}, 5);
        const CaptureWriter::Result result = writer.write(*frame, 1);
        QVERIFY(result.ok);
        QCOMPARE(result.written.size(), 2);
        QSize size;
        QCOMPARE(tiffSamples(dir.filePath("run_0_p1_000005_p.tif"), &size), (QVector<int>{20, 40}));
        QCOMPARE(size, QSize(2, 1));
        QCOMPARE(tiffSamples(dir.filePath("run_0_p1_000005_r.tif")), (QVector<int>{10, 30}));
        QCOMPARE(readAll(dir.filePath("run_0_p1_p.lst")), QByteArray("run_0_p1_000005_p.tif\r\n"));
        QCOMPARE(readAll(dir.filePath("run_0_p1_r.lst")), QByteArray("run_0_p1_000005_r.tif\r\n"));

        // Green averaging switched on during the run leaves the series as it
        // began; a run begun with it has each R sample the mean of its cell's greens.
        setGreenAveraging(true);
        const auto unset = qScopeGuard([] { setGreenAveraging(false); });
        QVERIFY(writer.write(*renumbered(frame, 6), 1).ok);
        QCOMPARE(tiffSamples(dir.filePath("run_0_p1_000006_r.tif")), (QVector<int>{10, 30}));
        writer.endRun();
        run.averageGreens = true;
        writer.beginRun(run);
        QVERIFY(writer.write(*renumbered(frame, 7), 1).ok);
        QCOMPARE(tiffSamples(dir.filePath("run_0_p1_000007_r.tif")), (QVector<int>{35, 55}));
        QCOMPARE(tiffSamples(dir.filePath("run_0_p1_000007_p.tif")), (QVector<int>{20, 40}));
    }

    void writerTwoGate()
    {
        QTemporaryDir dir;
        CaptureWriter writer;
        CaptureWriter::Run run = monoRun(dir.path());
        run.mode.twoGate = true;
        writer.beginRun(run);
        const FrameRef frame = makeFrame16(2, 1, {1, 2});
        CaptureWriter::Result first = writer.write(*renumbered(frame, 1), 1);
        QCOMPARE(first.lastName, dir.filePath("run_0_p1_000001_g1.tif"));
        CaptureWriter::Result second = writer.write(*renumbered(frame, 2), 2);
        QVERIFY(second.ok);
        QCOMPARE(readAll(dir.filePath("run_0_p1_g1.lst")), QByteArray("run_0_p1_000001_g1.tif\r\n"));
        QCOMPARE(readAll(dir.filePath("run_0_p1_g2.lst")), QByteArray("run_0_p1_000002_g2.tif\r\n"));
    }

    // A failed write says which file and why, and nothing is listed for it.
    void writerFailureSaysWhichFileAndWhy()
    {
        CaptureWriter writer;
        writer.beginRun(monoRun("/nonexistent-folder"));
        const FrameRef frame = makeFrame16(2, 1, {1, 2});
        const CaptureWriter::Result result = writer.write(*renumbered(frame, 1), 1);
        QVERIFY(!result.ok);
        QVERIFY(result.written.isEmpty());
        QCOMPARE(result.failure.kind, WriteFailure::Image);
        QCOMPARE(result.failure.path, QString("/nonexistent-folder/run_0_p1_000001.tif"));
        QCOMPARE(result.failure.error, ENOENT);
        const FailureBox box = failureBox(result.failure);
        QCOMPARE(box.icon, Prompt::Critical);
        QCOMPARE(box.title, QString("Save tiff"));
        QCOMPARE(box.text, QString("Unable to write file <b>/nonexistent-folder/run_0_p1_000001.tif</b>"
                                   "<br>The folder does not exist."));
        QVERIFY(!QFileInfo::exists("/nonexistent-folder"));
    }

    // A captured frame that cannot be stored is not lost silently: the
    // failure names the file it would have made.
    void writerDropsMismatchedFrames()
    {
        QTemporaryDir dir;
        CaptureWriter writer;
        writer.beginRun(monoRun(dir.path())); // 16-bit run
        const CaptureWriter::Result result = writer.write(*makeFrame8(2, 2, {1, 2, 3, 4}), 1);
        QVERIFY(result.dropped);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        QCOMPARE(result.failure.kind, WriteFailure::Frame);
        QCOMPARE(result.failure.path, dir.filePath("run_0_p1_000001.tif"));
        QCOMPARE(failureBox(result.failure).text,
                 QString("Unable to write file <b>%1</b><br>The frame does not match the capture's image format.")
                     .arg(dir.filePath("run_0_p1_000001.tif")));
    }

    // An image whose list line cannot be written is taken back, so the list
    // names exactly the images there are.
    void writerRemovesImagesItCannotList()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("run_0_p1.lst")); // a folder: the list cannot be opened
        CaptureWriter writer;
        writer.beginRun(monoRun(dir.path()));
        const CaptureWriter::Result result = writer.write(*makeFrame16(2, 1, {1, 2}), 1);
        QVERIFY(!result.ok);
        QCOMPARE(result.failure.kind, WriteFailure::List);
        QCOMPARE(result.failure.path, dir.filePath("run_0_p1.lst"));
        QCOMPARE(result.failure.error, EISDIR);
        QCOMPARE(failureBox(result.failure).title, QString("List file error"));
        QCOMPARE(QDir(dir.path()).entryList({"*.tif"}, QDir::Files), QStringList());
    }

    void failureReasons_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << int(ENOSPC) << "The disk is full.";
        QTest::newRow("quota") << int(EDQUOT) << "The disk is full.";
        QTest::newRow("read-only") << int(EROFS) << "The folder is read-only.";
        QTest::newRow("no permission") << int(EACCES) << "Writing to the folder is not permitted.";
        QTest::newRow("missing folder") << int(ENOENT) << "The folder does not exist.";
        QTest::newRow("other") << int(ENAMETOOLONG) << QString::fromLocal8Bit(strerror(ENAMETOOLONG)) + ".";
    }
    void failureReasons()
    {
        QFETCH(int, error);
        QFETCH(QString, reason);
        QCOMPARE(writeFailureReason(error), reason);
    }

    void writerMultiPage()
    {
        QTemporaryDir dir;
        {
            CaptureWriter writer;
            CaptureWriter::Run run = monoRun(dir.path());
            run.mode.multiPage = true;
            writer.beginRun(run);
            const FrameRef frame = makeFrame16(2, 1, {0xFFFC, 8});
            for (unsigned long long counter = 1; counter <= 3; ++counter) {
                const CaptureWriter::Result result = writer.write(*renumbered(frame, counter), 1);
                QVERIFY(result.ok);
                QVERIFY(result.written.isEmpty());
                QCOMPARE(result.lastName, dir.filePath(QString("run_0_p1_00000%1.tif").arg(counter)));
            }
            writer.endRun();
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"run_0_p1.tif"});
        TIFF* file = TIFFOpen(QFile::encodeName(dir.filePath("run_0_p1.tif")).constData(), "r");
        QVERIFY(file);
        QCOMPARE(int(TIFFNumberOfDirectories(file)), 3);
        uint16_t page = 0, total = 0;
        TIFFSetDirectory(file, 2);
        TIFFGetField(file, TIFFTAG_PAGENUMBER, &page, &total);
        TIFFClose(file);
        QCOMPARE(int(page), 3);
        QCOMPARE(int(total), 3);
    }

    // Widths round up to a multiple of 8; offsets add to the camera's own;
    // the area stays on the sensor (maximum width and height).
    void imageArea_data()
    {
        QTest::addColumn<QRect>("roi");
        QTest::addColumn<qint64>("offsetX");
        QTest::addColumn<qint64>("maxWidth");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("newOffsetX");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<qint64>("newOffsetY");
        QTest::newRow("101 wide gives 104")
            << QRect(QPoint(10, 5), QPoint(110, 24)) << 0ll << 1608ll << 104ll << 10ll << 20ll << 12ll;
        QTest::newRow("96 wide stays") << QRect(QPoint(0, 5), QPoint(95, 24)) << 0ll << 1608ll << 96ll << 0ll << 20ll
                                       << 12ll;
        QTest::newRow("offsets add") << QRect(QPoint(10, 5), QPoint(17, 24)) << 200ll << 1608ll << 8ll << 210ll
                                     << 20ll << 12ll;
        QTest::newRow("rounded width kept on the sensor")
            << QRect(QPoint(1500, 5), QPoint(1607, 24)) << 0ll << 1608ll << 112ll << 1496ll << 20ll << 12ll;
        QTest::newRow("offset kept on the sensor's height")
            << QRect(QPoint(0, 1190), QPoint(7, 1207)) << 0ll << 1608ll << 8ll << 0ll << 18ll << 1190ll;
        QTest::newRow("taller than the sensor")
            << QRect(QPoint(0, 0), QPoint(7, 1299)) << 0ll << 1608ll << 8ll << 0ll << 1208ll << 0ll;
        QTest::newRow("empty") << QRect(QPoint(10, 5), QPoint(9, 24)) << 0ll << 1608ll << 0ll << 0ll << 0ll << 0ll;
        QTest::newRow("left of the image")
            << QRect(QPoint(-1, 5), QPoint(17, 24)) << 0ll << 1608ll << 0ll << 0ll << 0ll << 0ll;
        QTest::newRow("above the image")
            << QRect(QPoint(10, -1), QPoint(17, 24)) << 0ll << 1608ll << 0ll << 0ll << 0ll << 0ll;
    }
    void imageArea()
    {
        QFETCH(QRect, roi);
        QFETCH(qint64, offsetX);
        QFETCH(qint64, maxWidth);
        QFETCH(qint64, width);
        QFETCH(qint64, newOffsetX);
        QFETCH(qint64, height);
        QFETCH(qint64, newOffsetY);
        const CameraImageArea::Area area = CameraImageArea::areaForRoi(roi, offsetX, 7, maxWidth, 1208);
        QCOMPARE(area.width, width);
        if (width > 0) {
            QCOMPARE(area.offsetX, newOffsetX);
            QCOMPARE(area.height, height);
            QCOMPARE(area.offsetY, newOffsetY);
        }
    }

    void imageAreaWrites()
    {
        FakeFeatures camera;
        camera.setInteger("Width", 800, 8, 1608);
        camera.setInteger("Height", 600, 1, 1208);
        camera.setInteger("OffsetX", 16, 0, 1600);
        camera.setInteger("OffsetY", 8, 0, 1200);
        camera.setInteger("WidthMax", 1608);
        camera.setInteger("HeightMax", 1208);
        QVERIFY(CameraImageArea::applyRoi(&camera, QRect(QPoint(4, 2), QPoint(104, 51))));
        QCOMPARE(camera.writes, (QStringList{"Width=104", "Height=50", "OffsetX=20", "OffsetY=10"}));
        QCOMPARE(CameraImageArea::readImageSize(&camera), QSize(104, 50));
        QVERIFY(!CameraImageArea::applyRoi(&camera, QRect(QPoint(0, 0), QPoint(-1, -1))));

        camera.writes.clear();
        QVERIFY(CameraImageArea::resetToFullFrame(&camera));
        QCOMPARE(camera.writes, (QStringList{"OffsetX=0", "OffsetY=0", "Width=1608", "Height=1208"}));

        int64_t w = 0, h = 0;
        QVERIFY(!CameraImageArea::readSensorSize(&camera, w, h));
        camera.setInteger("SensorWidth", 1608);
        camera.setInteger("SensorHeight", 1208);
        QVERIFY(CameraImageArea::readSensorSize(&camera, w, h));
        QCOMPARE(w, int64_t(1608));

        QCOMPARE(CameraImageArea::readSampleDepths(&camera), (SampleDepths{16, 12}));
        camera.setEnum("PixelFormat", 0x01100007);
        QCOMPARE(CameraImageArea::readSampleDepths(&camera), (SampleDepths{16, 14}));
        QCOMPARE(CameraImageArea::readSampleDepths(nullptr), (SampleDepths{16, 12}));

        ScriptedPrompt prompt;
        CameraImageArea::warnSensorSizeUnreadable(nullptr);
        QCOMPARE(prompt.titles(), QStringList{"Warning"});
        QCOMPARE(prompt.shown[0].text, QString("Error in SensorHeight/SensorWidth function"));
    }

    void streamStatistics()
    {
        FakeFeatures stream;
        StreamStatistics stats;
        stats.update(&stream); // nothing there: defaults stay
        QCOMPARE(stats.lastError, QString("N/A"));
        stream.setFloat("Bandwidth", 874400000.0);
        stream.setEnum("LastError", 20, "TIMEOUT");
        stats.update(&stream);
        QCOMPARE(stats.bandwidthMbps, 874.4);
        QCOMPARE(stats.lastError, QString("TIMEOUT"));
        stream.setEnum("LastError", 0, "OK");
        stats.update(&stream);
        QCOMPARE(stats.lastError, QString("N/A"));
    }
};

QTEST_GUILESS_MAIN(TestCaptureFiles)
#include "tst_CaptureFiles.moc"
