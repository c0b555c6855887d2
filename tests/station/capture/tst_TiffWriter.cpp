#include "capture/TiffWriter.h"

#include <QtTest>

#include <tiffio.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <vector>

namespace {

struct ReadBack
{
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, compression = 0, samplesPerPixel = 0, photometric = 0, orientation = 0, planar = 0;
    std::vector<int> samples;
};

// Reads the current directory of an open file.
ReadBack readDirectory(TIFF* file)
{
    ReadBack r;
    TIFFGetField(file, TIFFTAG_IMAGEWIDTH, &r.width);
    TIFFGetField(file, TIFFTAG_IMAGELENGTH, &r.height);
    TIFFGetFieldDefaulted(file, TIFFTAG_BITSPERSAMPLE, &r.bits);
    TIFFGetFieldDefaulted(file, TIFFTAG_COMPRESSION, &r.compression);
    TIFFGetFieldDefaulted(file, TIFFTAG_SAMPLESPERPIXEL, &r.samplesPerPixel);
    TIFFGetField(file, TIFFTAG_PHOTOMETRIC, &r.photometric);
    TIFFGetFieldDefaulted(file, TIFFTAG_ORIENTATION, &r.orientation);
    TIFFGetFieldDefaulted(file, TIFFTAG_PLANARCONFIG, &r.planar);
    std::vector<uint8_t> row(TIFFScanlineSize(file));
    for (uint32_t y = 0; y < r.height; ++y) {
        if (TIFFReadScanline(file, row.data(), y, 0) < 0)
            return ReadBack();
        for (uint32_t x = 0; x < r.width; ++x)
            r.samples.push_back(r.bits == 8 ? row[x] : reinterpret_cast<uint16_t*>(row.data())[x]);
    }
    return r;
}

ReadBack readTiff(const QString& path)
{
    TIFF* file = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!file)
        return ReadBack();
    ReadBack r = readDirectory(file);
    TIFFClose(file);
    return r;
}

// Collects what is printed on standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = dup(2);
        m_file.open();
        dup2(m_file.handle(), 2);
    }
    QString text()
    {
        std::fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        m_saved = -1;
        m_file.seek(0);
        return QString::fromLocal8Bit(m_file.readAll());
    }
    ~StderrCapture()
    {
        if (m_saved >= 0)
            text();
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace

class TestTiffWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<int>("displayDepth");
        QTest::addColumn<int>("dataDepth");
        QTest::addColumn<bool>("compress");
        QTest::addColumn<int>("width");
        QTest::addColumn<QVector<int>>("in");
        QTest::addColumn<QVector<int>>("out");
        QTest::newRow("8-bit") << 8 << 8 << false << 3 << QVector<int>{0, 1, 255, 7, 128, 254}
                               << QVector<int>{0, 1, 255, 7, 128, 254};
        QTest::newRow("12-bit unchanged") << 16 << 12 << false << 2 << QVector<int>{4095, 0, 1, 2048}
                                          << QVector<int>{4095, 0, 1, 2048};
        QTest::newRow("14-bit shifted") << 16 << 14 << false << 2 << QVector<int>{0xFFFC, 0, 4, 0x8000}
                                        << QVector<int>{16383, 0, 1, 0x2000};
        QTest::newRow("odd width 5") << 16 << 12 << false << 5
                                     << QVector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}
                                     << QVector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("LZW 14-bit") << 16 << 14 << true << 2 << QVector<int>{0xFFFC, 0xFFFC, 0xFFFC, 8}
                                    << QVector<int>{16383, 16383, 16383, 2};
    }
    void roundTrip()
    {
        QFETCH(int, displayDepth);
        QFETCH(int, dataDepth);
        QFETCH(bool, compress);
        QFETCH(int, width);
        QFETCH(QVector<int>, in);
        QFETCH(QVector<int>, out);
        const int height = in.size() / width;
        std::vector<uint8_t> bytes8(in.begin(), in.end());
        std::vector<uint16_t> samples16(in.begin(), in.end());
        const void* data = displayDepth == 8 ? static_cast<const void*>(bytes8.data()) : samples16.data();

        QVERIFY(writeTiff("frame.tif", width, height, data, {displayDepth, dataDepth, compress}));
        const ReadBack r = readTiff("frame.tif");
        QCOMPARE(int(r.width), width);
        QCOMPARE(int(r.height), height);
        QCOMPARE(int(r.bits), displayDepth);
        QCOMPARE(int(r.samplesPerPixel), 1);
        QCOMPARE(int(r.photometric), PHOTOMETRIC_MINISBLACK);
        QCOMPARE(int(r.orientation), ORIENTATION_TOPLEFT);
        QCOMPARE(int(r.planar), PLANARCONFIG_CONTIG);
        QCOMPARE(int(r.compression), compress ? COMPRESSION_LZW : COMPRESSION_NONE);
        QCOMPARE(QVector<int>(r.samples.begin(), r.samples.end()), out);
    }

    // Planes are half size; an odd-width mosaic is read with its own stride.
    void planes_data()
    {
        QTest::addColumn<int>("displayDepth");
        QTest::addColumn<int>("dataDepth");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("greens");
        QTest::newRow("14-bit S") << 16 << 14 << 1 << false;
        QTest::newRow("14-bit R greens") << 16 << 14 << 0 << true;
        QTest::newRow("12-bit R") << 16 << 12 << 0 << false;
        QTest::newRow("8-bit S") << 8 << 8 << 1 << true;
    }
    void planes()
    {
        QFETCH(int, displayDepth);
        QFETCH(int, dataDepth);
        QFETCH(int, flags);
        QFETCH(bool, greens);
        const int mosaicWidth = 9, mosaicHeight = 4; // plane 4 x 2
        std::vector<uint16_t> mosaic16(mosaicWidth * mosaicHeight);
        std::vector<uint8_t> mosaic8(mosaic16.size());
        for (size_t i = 0; i < mosaic16.size(); ++i) {
            mosaic16[i] = i % 2 ? 0xFFFC : uint16_t(i * 100);
            mosaic8[i] = uint8_t(i * 7);
        }
        const void* mosaic = displayDepth == 8 ? static_cast<const void*>(mosaic8.data()) : mosaic16.data();
        QVERIFY(writeTiffPlane("plane.tif", 4, 2, mosaic, mosaicWidth, {displayDepth, dataDepth, false}, flags,
                               greens));
        const ReadBack r = readTiff("plane.tif");
        QCOMPARE(int(r.width), 4);
        QCOMPARE(int(r.height), 2);
        QCOMPARE(int(r.bits), displayDepth);
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 4; ++j) {
                auto at = [&](int row, int col) {
                    const size_t k = size_t(row) * mosaicWidth + col;
                    const int s = displayDepth == 8 ? mosaic8[k] : mosaic16[k];
                    return dataDepth == 14 ? s >> 2 : s;
                };
                const int expected = flags == 1 ? at(2 * i, 2 * j + 1)
                                     : greens   ? (at(2 * i, 2 * j) + at(2 * i + 1, 2 * j + 1)) / 2
                                                : at(2 * i, 2 * j);
                QCOMPARE(r.samples[size_t(i) * 4 + j], expected);
            }
        }
    }

    void multiPage()
    {
        const std::vector<uint16_t> frame = {0xFFFC, 4, 8, 12};
        {
            TiffHandle file = openMultiPageTiff("pages.tif");
            QVERIFY(file);
            for (int page = 1; page <= 3; ++page)
                QVERIFY(writeTiffPage(file.get(), 2, 2, frame.data(), {16, 14, false}, page, 3));
        }
        TIFF* file = TIFFOpen("pages.tif", "r");
        QVERIFY(file);
        QCOMPARE(int(TIFFNumberOfDirectories(file)), 3);
        for (int page = 1; page <= 3; ++page) {
            QVERIFY(TIFFSetDirectory(file, tdir_t(page - 1)));
            uint16_t number = 0, total = 0;
            QVERIFY(TIFFGetField(file, TIFFTAG_PAGENUMBER, &number, &total));
            QCOMPARE(int(number), page);
            QCOMPARE(int(total), 3);
            const ReadBack r = readDirectory(file);
            QCOMPARE(QVector<int>(r.samples.begin(), r.samples.end()), (QVector<int>{16383, 1, 2, 3}));
        }
        TIFFClose(file);
    }

    // The layout other programs read, offsets masked.
    void tiffdumpListing()
    {
        const QString tiffdump = QStandardPaths::findExecutable("tiffdump");
        if (tiffdump.isEmpty())
            QSKIP("tiffdump (libtiff-tools) is not installed");
        const std::vector<uint16_t> frame = {0, 1, 4095, 4094, 100, 200, 300, 400};
        QVERIFY(writeTiff("golden.tif", 4, 2, frame.data(), {16, 12, false}));
        QProcess dump;
        dump.start(tiffdump, {"golden.tif"});
        QVERIFY(dump.waitForFinished(10000));
        QString listing = QString::fromLocal8Bit(dump.readAllStandardOutput());
        listing.replace(QRegularExpression("offset \\d+ \\(0x[0-9a-f]+\\)"), "offset <masked>");
        listing.replace(QRegularExpression("(StripOffsets \\(273\\) LONG \\(4\\) 1)<\\d+>"), "\\1<masked>");

        QFile golden(qEnvironmentVariable("KESSANE_SOURCE_DIR") + "/tests/station/capture/golden/frame_4x2_16bit.tiffdump");
        QVERIFY2(golden.open(QIODevice::ReadOnly), qPrintable(golden.fileName()));
        QCOMPARE(listing, QString::fromLocal8Bit(golden.readAll()));
    }

    // Frames larger than a strip: every strip in its place, from the frame
    // itself or through the shift, and in every mode.
    void manyStrips_data()
    {
        QTest::addColumn<int>("dataDepth");
        QTest::addColumn<bool>("compress");
        QTest::addColumn<int>("height");
        // 1000 samples a row: 131 rows a strip.
        QTest::newRow("12-bit") << 12 << false << 301; // 602 kB: three strips, the last one short
        QTest::newRow("14-bit") << 14 << false << 301;
        QTest::newRow("14-bit LZW") << 14 << true << 301;
        QTest::newRow("14-bit, the last strip one row") << 14 << false << 132;
    }
    void manyStrips()
    {
        QFETCH(int, dataDepth);
        QFETCH(bool, compress);
        QFETCH(int, height);
        const int width = 1000;
        std::vector<uint16_t> frame(size_t(width) * height);
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = uint16_t(i * 4);
        QVERIFY(writeTiff("large.tif", width, height, frame.data(), {16, dataDepth, compress}));
        const ReadBack r = readTiff("large.tif");
        QCOMPARE(r.samples.size(), frame.size());
        for (size_t i = 0; i < frame.size(); ++i)
            if (r.samples[i] != (dataDepth == 14 ? frame[i] >> 2 : frame[i]))
                QFAIL(qPrintable(QString("sample %1 is %2").arg(i).arg(r.samples[i])));
    }

    // Planes larger than a strip: each strip is picked from its own rows of
    // the mosaic (two mosaic rows a plane row), read with the mosaic's stride.
    void manyStripPlanes_data()
    {
        QTest::addColumn<int>("displayDepth");
        QTest::addColumn<int>("dataDepth");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("greens");
        QTest::newRow("8-bit S") << 8 << 8 << 1 << false;
        QTest::newRow("8-bit R greens") << 8 << 8 << 0 << true;
        QTest::newRow("12-bit R") << 16 << 12 << 0 << false;
        QTest::newRow("14-bit S") << 16 << 14 << 1 << false;
        QTest::newRow("14-bit R greens") << 16 << 14 << 0 << true;
    }
    void manyStripPlanes()
    {
        QFETCH(int, displayDepth);
        QFETCH(int, dataDepth);
        QFETCH(int, flags);
        QFETCH(bool, greens);
        // 8-bit planes take 436 rows a strip, 16-bit ones 218: three strips or more.
        const int planeWidth = 601, planeHeight = 900;
        const int stride = 2 * planeWidth + 3;
        std::vector<uint16_t> mosaic16(size_t(stride) * 2 * planeHeight);
        std::vector<uint8_t> mosaic8(mosaic16.size());
        for (size_t i = 0; i < mosaic16.size(); ++i) {
            mosaic16[i] = uint16_t(i * 2654435761u >> 7);
            mosaic8[i] = uint8_t(i * 2654435761u >> 13);
        }
        const void* mosaic = displayDepth == 8 ? static_cast<const void*>(mosaic8.data()) : mosaic16.data();
        QVERIFY(writeTiffPlane("large-plane.tif", planeWidth, planeHeight, mosaic, stride,
                               {displayDepth, dataDepth, false}, flags, greens));
        const ReadBack r = readTiff("large-plane.tif");
        QCOMPARE(r.samples.size(), size_t(planeWidth) * planeHeight);
        const auto at = [&](int row, int col) {
            const size_t k = size_t(row) * stride + col;
            const int s = displayDepth == 8 ? mosaic8[k] : mosaic16[k];
            return dataDepth == 14 ? s >> 2 : s;
        };
        for (int i = 0; i < planeHeight; ++i) {
            for (int j = 0; j < planeWidth; ++j) {
                const int expected = flags == 1 ? at(2 * i, 2 * j + 1)
                                     : greens   ? (at(2 * i, 2 * j) + at(2 * i + 1, 2 * j + 1)) / 2
                                                : at(2 * i, 2 * j);
                const int got = r.samples[size_t(i) * planeWidth + j];
                if (got != expected)
                    QFAIL(qPrintable(QString("plane sample (%1, %2) is %3, not %4").arg(i).arg(j).arg(got).arg(expected)));
            }
        }
    }

    // A file that cannot be finished is not left behind, and the caller
    // learns why. (A file size limit stands in for a full disk.)
    void failedFileIsRemoved()
    {
        const std::vector<uint16_t> frame(size_t(400) * 300, 7);
        struct rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 100 * 1024;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        StderrCapture capture;
        const WriteResult result = writeTiff("cut.tif", 400, 300, frame.data(), {16, 14, false});
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!result);
        QCOMPARE(result.error, EFBIG);
        QVERIFY(!QFile::exists("cut.tif"));
        QVERIFY(capture.text().contains("Error writing to cut.tif file\n"));
    }

    void unwritablePath()
    {
        const std::vector<uint16_t> frame(4);
        StderrCapture capture;
        QCOMPARE(writeTiff("/nonexistent-folder/a.tif", 2, 2, frame.data(), {}).error, ENOENT);
        QVERIFY(!writeTiffPlane("/nonexistent-folder/b.tif", 1, 1, frame.data(), 2, {}, 1, false));
        QVERIFY(!openMultiPageTiff("/nonexistent-folder/c.tif"));
        QVERIFY(!writeTiffPage(nullptr, 2, 2, frame.data(), {}, 1, 1));
        const QString err = capture.text();
        QVERIFY2(err.contains("Can't open file /nonexistent-folder/a.tif for writing\n"), qPrintable(err));
        QVERIFY(err.contains("Can't open file /nonexistent-folder/b.tif for writing\n"));
        QVERIFY(err.contains("Can't open file /nonexistent-folder/c.tif for writing\n"));
    }

    // A device that accepts no data: the failure is caught, not reported as success.
    void fullDisk()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full");
        const std::vector<uint16_t> frame(64 * 64, 1);
        StderrCapture capture;
        QCOMPARE(writeTiff("/dev/full", 64, 64, frame.data(), {}).error, ENOSPC);
        const QString err = capture.text();
        QVERIFY2(err.contains("/dev/full"), qPrintable(err));
        // Only a file of our own is removed after a failure, never a device.
        QVERIFY(QFile::exists("/dev/full"));
    }
};

QTEST_GUILESS_MAIN(TestTiffWriter)
#include "tst_TiffWriter.moc"
