#include "capture/CaptureNaming.h"
#include "capture/ListFiles.h"
#include "capture/WriteFailure.h"
#include "frames/StatusTexts.h"

#include <QtTest>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>

class TestCaptureNaming : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("mode"); // c colour, g two-gate, d double framing, m multi-page, s split
        QTest::addColumn<QString>("point");
        QTest::addColumn<qulonglong>("counter");
        QTest::addColumn<int>("averaging");
        QTest::addColumn<int>("gate");
        QTest::addColumn<QStringList>("names");    // after "F/run_0"
        QTest::addColumn<QStringList>("channels"); // "-" for no list entry
        QTest::addColumn<QString>("writers");      // W whole frame, P plane, G page

        QTest::newRow("standard, empty point") << "" << "" << 7ull << 1 << 1
            << QStringList{"_000007.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("standard, point") << "" << "p1" << 7ull << 1 << 1
            << QStringList{"_p1_000007.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("standard, N=4 numbers 1, 2, ...") << "" << "p1" << 8ull << 4 << 1
            << QStringList{"_p1_000002.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("standard, seven digits") << "" << "" << 1234567ull << 1 << 1
            << QStringList{"_1234567.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("multi-page keeps the name") << "m" << "p1" << 3ull << 1 << 1
            << QStringList{"_p1_000003.tif"} << QStringList{"-"} << "G";
        QTest::newRow("double framing, odd counter") << "d" << "p1" << 1ull << 1 << 1
            << QStringList{"_p1_000001_dfm_g2.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("double framing, even counter") << "d" << "p1" << 2ull << 1 << 2
            << QStringList{"_p1_000002_dfm_g1.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("double framing wins over two-gate and N") << "dgm" << "" << 4ull << 4 << 2
            << QStringList{"_000004_dfm_g1.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("two-gate, gate 2") << "g" << "p1" << 3ull << 1 << 2
            << QStringList{"_p1_000003_g2.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("two-gate counts frames, not averages") << "gm" << "p1" << 4ull << 2 << 1
            << QStringList{"_p1_000004_g1.tif"} << QStringList{"mono"} << "W";
        QTest::newRow("colour mosaic, N=2") << "cgd" << "p1" << 6ull << 2 << 1
            << QStringList{"_p1_000003.tif"} << QStringList{"color"} << "W";
        QTest::newRow("colour split") << "cs" << "p1" << 12ull << 1 << 1
            << QStringList{"_p1_000012_p.tif", "_p1_000012_r.tif"} << QStringList{"p", "r"} << "PP";
    }
    void names()
    {
        QFETCH(QString, mode);
        QFETCH(QString, point);
        QFETCH(qulonglong, counter);
        QFETCH(int, averaging);
        QFETCH(int, gate);
        QFETCH(QStringList, names);
        QFETCH(QStringList, channels);
        QFETCH(QString, writers);

        CaptureModeFlags flags;
        flags.colour = mode.contains('c');
        flags.twoGate = mode.contains('g');
        flags.doubleFraming = mode.contains('d');
        flags.multiPage = mode.contains('m');
        flags.splitColours = mode.contains('s');
        const QVector<CaptureFile> files =
            captureFiles(captureRowFor(flags), {"F", "run_0", point}, counter, averaging, gate);
        QCOMPARE(files.size(), names.size());
        for (int i = 0; i < files.size(); ++i) {
            QCOMPARE(files[i].path, "F/run_0" + names[i]);
            QCOMPARE(files[i].listChannel.isEmpty() ? QString("-") : files[i].listChannel, channels[i]);
            QCOMPARE(QString("WPG").at(files[i].writer), writers.at(i));
        }
        if (writers == "PP") {
            QCOMPARE(files[0].planeFlags, 1);
            QCOMPARE(files[1].planeFlags, 0);
        }
    }

    void otherNames()
    {
        QCOMPARE(sidecarPath({"F", "run_0", ""}), QString("F/run_0.settings"));
        QCOMPARE(sidecarPath({"F", "run_0", "p1"}), QString("F/run_0_p1.settings"));
        QCOMPARE(multiPagePath({"F", "run_0", "p1"}), QString("F/run_0_p1.tif"));
        QCOMPARE(frameNumberText(0), QString("000000"));
        QCOMPARE(frameNumberText(10000000), QString("10000000"));
    }

    void fileNameParts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("part");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("plain") << "run 12-b.c" << true;
        QTest::newRow("non-ASCII") << QString::fromUtf8("Messpunkt-\xc3\xa4") << true;
        QTest::newRow("one dot") << "." << true;
        QTest::newRow("parent") << ".." << false;
        QTest::newRow("dots inside") << "a..b" << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("climbing") << "../../outside_" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("absolute") << "/etc/x" << false;
        QTest::newRow("tab") << "a\tb" << false;
        QTest::newRow("newline") << "a\n" << false;
        QTest::newRow("DEL") << "a\x7f" << false;
        QTest::newRow("C1 control") << QString(QChar(0x85)) << false;
    }

    void fileNameParts()
    {
        QFETCH(QString, text);
        QFETCH(bool, part);
        QCOMPARE(isFileNamePart(text), part);
    }

    void listPaths_data()
    {
        QTest::addColumn<QString>("tiff");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("list");
        QTest::newRow("mono") << "F/run_0_p1_000012.tif" << "mono" << "F/run_0_p1.lst";
        QTest::newRow("two-gate") << "F/run_0_p1_000012_g2.tif" << "mono" << "F/run_0_p1_g2.lst";
        QTest::newRow("double framing") << "F/run_0_p1_000012_dfm_g1.tif" << "mono" << "F/run_0_p1_dfm_g1.lst";
        QTest::newRow("colour") << "F/run_0_p1_000012.tif" << "color" << "F/run_0_p1_color.lst";
        QTest::newRow("S plane") << "F/run_0_p1_000012_p.tif" << "p" << "F/run_0_p1_p.lst";
        QTest::newRow("R plane") << "F/run_0_p1_000012_r.tif" << "r" << "F/run_0_p1_r.lst";
        QTest::newRow("empty point") << "F/run_0_000012.tif" << "mono" << "F/run_0.lst";
        QTest::newRow("seven digits") << "F/run_0_1234567.tif" << "mono" << "F/run_0.lst";
        QTest::newRow("prefix with six digits loses them") << "F/s_202612_000001.tif" << "mono" << "F/s.lst";
        QTest::newRow("folder named motif survives") << "/data/motif/run_0_000001.tif" << "mono"
                                                     << "/data/motif/run_0.lst";
        QTest::newRow("folder with six digits survives") << "/data/scan_123456/run_000001_g1.tif" << "mono"
                                                         << "/data/scan_123456/run_g1.lst";
        QTest::newRow("prefix motif survives") << "F/motif_000001.tif" << "mono" << "F/motif.lst";
    }
    void listPaths()
    {
        QFETCH(QString, tiff);
        QFETCH(QString, channel);
        QFETCH(QString, list);
        QCOMPARE(listFilePath(tiff, channel), list);
    }

    void listFilesStartAfreshEachRun()
    {
        QTemporaryDir dir;
        const QString tiff1 = dir.filePath("run_0_000001.tif");
        const QString tiff2 = dir.filePath("run_0_000002.tif");
        QFile old(dir.filePath("run_0.lst"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("stale_000009.tif\r\n");
        old.close();

        ListFiles lists;
        lists.beginRun();
        QVERIFY(lists.append(tiff1, "mono"));
        QVERIFY(lists.append(tiff2, "mono"));
        QVERIFY(lists.append(dir.filePath("run_0_000002_p.tif"), "p"));
        QCOMPARE(readAll(dir.filePath("run_0.lst")), QByteArray("run_0_000001.tif\r\nrun_0_000002.tif\r\n"));
        QCOMPARE(readAll(dir.filePath("run_0_p.lst")), QByteArray("run_0_000002_p.tif\r\n"));

        lists.beginRun(); // a second capture with the same names
        QVERIFY(lists.append(tiff2, "mono"));
        QCOMPARE(readAll(dir.filePath("run_0.lst")), QByteArray("run_0_000002.tif\r\n"));
    }

    void listFileFailureSaysWhy()
    {
        ListFiles lists;
        lists.beginRun();
        const QString tiff = "/nonexistent-folder/run_0_000001.tif";
        const WriteResult result = lists.append(tiff, "mono");
        QCOMPARE(result.error, ENOENT);
        const FailureBox box = failureBox({WriteFailure::List, listFilePath(tiff, "mono"), result.error});
        QCOMPARE(box.icon, Prompt::Warning);
        QCOMPARE(box.title, QString("List file error"));
        QCOMPARE(box.text, QString("Warning: Can't open /nonexistent-folder/run_0.lst file for writing!"
                                   "<br>The folder does not exist."));
    }

    // The disk fills while a line is written: the cut line is taken back, so
    // the list holds whole lines only, and the caller learns that the image
    // was not listed. (A file size limit stands in for the full disk.)
    void listLineCutShortIsTakenBack()
    {
        QTemporaryDir dir;
        ListFiles lists;
        lists.beginRun();
        QVERIFY(lists.append(dir.filePath("run_0_000001.tif"), "mono"));
        const QByteArray first("run_0_000001.tif\r\n");
        struct rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = rlim_t(first.size() + 10);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const WriteResult cut = lists.append(dir.filePath("run_0_000002.tif"), "mono");
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!cut);
        QCOMPARE(cut.error, ENOSPC);
        QCOMPARE(readAll(dir.filePath("run_0.lst")), first);
        // With room again the list goes on after its whole lines.
        QVERIFY(lists.append(dir.filePath("run_0_000003.tif"), "mono"));
        QCOMPARE(readAll(dir.filePath("run_0.lst")), first + "run_0_000003.tif\r\n");
    }

    void runStatus_data()
    {
        QTest::addColumn<bool>("capturing");
        QTest::addColumn<bool>("radiometric");
        QTest::addColumn<qulonglong>("counter");
        QTest::addColumn<QString>("text");
        QTest::newRow("preview") << false << false << 41ull << "Preview: 41 images 12-bit, 29.5 FPS, 874Mbps";
        QTest::newRow("capture") << true << true << 5ull << "Captured: 5/100 images 12-bit, 29.5 FPS, 874Mbps";
        QTest::newRow("capture pairs") << true << false << 5ull << "Captured: 2/50 pairs 12-bit, 29.5 FPS, 874Mbps";
        // The camera stops a few frames after the target.
        QTest::newRow("past the target") << true << true << 103ull << "Captured: 100/100 images 12-bit, 29.5 FPS, 874Mbps";
        QTest::newRow("pairs past the target") << true << false << 103ull
                                               << "Captured: 50/50 pairs 12-bit, 29.5 FPS, 874Mbps";
    }
    void runStatus()
    {
        QFETCH(bool, capturing);
        QFETCH(bool, radiometric);
        QFETCH(qulonglong, counter);
        QFETCH(QString, text);
        StatusTexts::RunStatus status;
        status.capturing = capturing;
        status.radiometric = radiometric;
        status.counter = counter;
        status.framesPerSecond = 29.46;
        status.bandwidthMbps = 873.6;
        status.dataDepth = 12;
        status.targetFrames = 100;
        QCOMPARE(StatusTexts::runStatusText(status), text);
    }

    void streamErrors()
    {
        QCOMPARE(StatusTexts::streamErrorText(3, "N/A"), QString("Errors: 3  Last: N/A"));
        QCOMPARE(StatusTexts::streamErrorStyle(0), QString("QLabel{background: none;}"));
        QCOMPARE(StatusTexts::streamErrorStyle(1), QString("QLabel{background: red;}"));
    }

private:
    static QByteArray readAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

QTEST_GUILESS_MAIN(TestCaptureNaming)
#include "tst_CaptureNaming.moc"
