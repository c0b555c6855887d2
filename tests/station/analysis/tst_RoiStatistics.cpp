#include "analysis/RoiStatistics.h"

#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <vector>

// The readouts' arithmetic on small images of known samples.
class TestRoiStatistics : public QObject
{
    Q_OBJECT

private slots:
    void roiIntensity_data();
    void roiIntensity();
    void pixelReadout_data();
    void pixelReadout();
    void lineProfile_data();
    void lineProfile();
    void profileScale();
    void sharpness();
};

namespace {

// An image of w x h samples at the given depths, each from `sample(x, y)`.
struct Image
{
    std::vector<uint8_t> s8;
    std::vector<uint16_t> s16;
    PixelSource source;

    template <typename F>
    Image(int w, int h, int displayDepth, int dataDepth, F sample)
    {
        source.width = w;
        source.height = h;
        source.displayDepth = displayDepth;
        source.dataDepth = dataDepth;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (displayDepth == 8)
                    s8.push_back(uint8_t(sample(x, y)));
                else
                    s16.push_back(uint16_t(sample(x, y)));
            }
        if (displayDepth == 8)
            source.samples8 = s8.data();
        else
            source.samples16 = s16.data();
    }
    Image(const Image&) = delete;
};

std::shared_ptr<Image> flat(int displayDepth, int dataDepth, int value)
{
    return std::make_shared<Image>(4, 4, displayDepth, dataDepth, [value](int, int) { return value; });
}

// Columns 0..3 hold 10, 20, 30, 40 (8-bit).
std::shared_ptr<Image> columns()
{
    return std::make_shared<Image>(4, 4, 8, 8, [](int x, int) { return 10 * (x + 1); });
}

} // namespace

using ImagePtr = std::shared_ptr<Image>;
Q_DECLARE_METATYPE(ImagePtr)
Q_DECLARE_METATYPE(RoiCorners)

void TestRoiStatistics::roiIntensity_data()
{
    QTest::addColumn<ImagePtr>("image");
    QTest::addColumn<RoiCorners>("roi");
    QTest::addColumn<bool>("raw");
    QTest::addColumn<bool>("measured");
    QTest::addColumn<int>("value");

    const RoiCorners whole{0, 0, 3, 3};
    QTest::newRow("8-bit 128 in percent") << flat(8, 8, 128) << whole << false << true << 50;
    QTest::newRow("8-bit 128 raw") << flat(8, 8, 128) << whole << true << true << 128;
    QTest::newRow("14-bit full scale in percent") << flat(16, 14, 0xFFFC) << whole << false << true << 100;
    QTest::newRow("14-bit full scale raw") << flat(16, 14, 0xFFFC) << whole << true << true << 16383;
    QTest::newRow("12-bit full scale in percent") << flat(16, 12, 4095) << whole << false << true << 100;
    QTest::newRow("12-bit half raw") << flat(16, 12, 2048) << whole << true << true << 2048;
    QTest::newRow("percent capped at 100") << flat(16, 12, 0xFFFF) << whole << false << true << 100;
    QTest::newRow("drawn top-left to bottom-right") << columns() << RoiCorners{1, 0, 2, 3} << true << true << 25;
    QTest::newRow("drawn bottom-right to top-left") << columns() << RoiCorners{2, 3, 1, 0} << true << true << 25;
    QTest::newRow("one column") << columns() << RoiCorners{3, 0, 3, 3} << true << true << 40;
    QTest::newRow("partly outside: inside pixels only") << columns() << RoiCorners{2, 2, 10, 10} << true << true << 35;
    QTest::newRow("wholly outside reads 0") << columns() << RoiCorners{10, 10, 20, 20} << true << true << 0;
    QTest::newRow("wholly outside in percent") << columns() << RoiCorners{-9, 5, -2, 9} << false << true << 0;
    QTest::newRow("no ROI yet") << columns() << RoiCorners{0, 0, -1, -1} << true << false << 0;
}

void TestRoiStatistics::roiIntensity()
{
    QFETCH(ImagePtr, image);
    QFETCH(RoiCorners, roi);
    QFETCH(bool, raw);
    QFETCH(bool, measured);
    QFETCH(int, value);
    const RoiStatistics::Intensity result = RoiStatistics::roiIntensity(image->source, roi, raw);
    QCOMPARE(result.measured, measured);
    QCOMPARE(result.value, value);
    if (measured)
        QCOMPARE(result.percent, !raw);
}

void TestRoiStatistics::pixelReadout_data()
{
    QTest::addColumn<ImagePtr>("image");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("text");
    QTest::newRow("8-bit") << flat(8, 8, 128) << QPoint(1, 2) << "640x480, 1x2  Image=50%(128)";
    QTest::newRow("14-bit shifted") << flat(16, 14, 0xFFFC) << QPoint(3, 3) << "640x480, 3x3  Image=100%(16383)";
    QTest::newRow("12-bit") << flat(16, 12, 1000) << QPoint(0, 0) << "640x480, 0x0  Image=24%(1000)";
    QTest::newRow("right of the image") << flat(8, 8, 1) << QPoint(4, 0) << QString();
    QTest::newRow("below the image") << flat(8, 8, 1) << QPoint(0, 4) << QString();
}

void TestRoiStatistics::pixelReadout()
{
    QFETCH(ImagePtr, image);
    QFETCH(QPoint, at);
    QFETCH(QString, text);
    QCOMPARE(RoiStatistics::pixelReadout(image->source, at.x(), at.y(), 640, 480), text);
}

void TestRoiStatistics::lineProfile_data()
{
    QTest::addColumn<ImagePtr>("image");
    QTest::addColumn<QLine>("line");
    QTest::addColumn<int>("step");
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<QPoint>>("pixels"); // sampled (column, row), in order

    // Sample = 100 x column + row, so every plotted value names its pixel.
    const auto grid = std::make_shared<Image>(20, 10, 16, 12, [](int x, int y) { return 100 * x + y; });
    const int plot = RoiStatistics::Profile::Plot;
    const int unchanged = RoiStatistics::Profile::Unchanged;
    QTest::newRow("diagonal along x") << grid << QLine(0, 0, 10, 5) << plot
                                      << QVector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}
                                      << QVector<QPoint>{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2},
                                                         {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}};
    QTest::newRow("diagonal drawn backwards") << grid << QLine(10, 5, 0, 0) << plot
                                              << QVector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}
                                              << QVector<QPoint>{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2},
                                                                 {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}};
    QTest::newRow("steep, along y") << grid << QLine(2, 1, 4, 7) << plot << QVector<double>{0, 1, 2, 3, 4, 5}
                                    << QVector<QPoint>{{2, 1}, {2, 2}, {2, 3}, {3, 4}, {3, 5}, {3, 6}};
    QTest::newRow("horizontal") << grid << QLine(7, 3, 2, 3) << plot << QVector<double>{0, 1, 2, 3, 4}
                                << QVector<QPoint>{{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}};
    QTest::newRow("vertical") << grid << QLine(4, 1, 4, 5) << plot << QVector<double>{0, 1, 2, 3}
                              << QVector<QPoint>{{4, 1}, {4, 2}, {4, 3}, {4, 4}};
    QTest::newRow("no length") << grid << QLine(3, 3, 3, 3) << unchanged << QVector<double>() << QVector<QPoint>();
    QTest::newRow("end of a drag") << grid << QLine(0, 0, 0, 0) << unchanged << QVector<double>()
                                   << QVector<QPoint>();
    QTest::newRow("end outside") << grid << QLine(0, 0, 20, 5) << unchanged << QVector<double>()
                                 << QVector<QPoint>();
    QTest::newRow("close") << grid << QLine(-10, -10, -10, -10) << int(RoiStatistics::Profile::Close)
                           << QVector<double>() << QVector<QPoint>();
}

void TestRoiStatistics::lineProfile()
{
    QFETCH(ImagePtr, image);
    QFETCH(QLine, line);
    QFETCH(int, step);
    QFETCH(QVector<double>, x);
    QFETCH(QVector<QPoint>, pixels);
    const RoiStatistics::Profile profile = RoiStatistics::lineProfile(image->source, line);
    QCOMPARE(int(profile.step), step);
    QCOMPARE(profile.x, x);
    QCOMPARE(profile.y.size(), pixels.size());
    for (int i = 0; i < pixels.size(); ++i)
        QCOMPARE(profile.y[i], (100 * pixels[i].x() + pixels[i].y()) / 65536.0 * 100.0);
}

void TestRoiStatistics::profileScale()
{
    // The scale is the stored sample over 2^(display depth): a 12-bit frame
    // at full scale plots at about 6.25 %, an 8-bit 128 at 50 %.
    const auto full12 = flat(16, 12, 4095);
    QCOMPARE(RoiStatistics::lineProfile(full12->source, QLine(0, 0, 3, 0)).y.value(0), 4095 / 655.36);
    const auto half8 = flat(8, 8, 128);
    QCOMPARE(RoiStatistics::lineProfile(half8->source, QLine(0, 0, 0, 3)).y.value(0), 50.0);
}

void TestRoiStatistics::sharpness()
{
    // A flat ROI has no second derivative.
    std::vector<uint8_t> flatImage(40 * 30, 77);
    QCOMPARE(RoiStatistics::roiSharpness(flatImage.data(), 40, 30, {5, 5, 20, 20}).value_or(-1), 0.0);

    // A sharp edge scores above the same edge blurred, whichever corner order.
    cv::Mat edge(30, 40, CV_8UC1, cv::Scalar(20));
    edge(cv::Rect(20, 0, 20, 30)) = cv::Scalar(220);
    cv::Mat blurred;
    cv::GaussianBlur(edge, blurred, cv::Size(9, 9), 3);
    const RoiCorners roi{30, 25, 10, 5};
    const std::optional<double> sharp = RoiStatistics::roiSharpness(edge.data, 40, 30, roi);
    const std::optional<double> soft = RoiStatistics::roiSharpness(blurred.data, 40, 30, roi);
    QVERIFY(sharp && soft);
    QVERIFY2(*sharp > 2 * *soft, qPrintable(QStringLiteral("%1 vs %2").arg(*sharp).arg(*soft)));

    // Nothing to score: no rows, or not inside the image.
    QVERIFY(!RoiStatistics::roiSharpness(edge.data, 40, 30, {0, 0, -1, 5}));
    QVERIFY(!RoiStatistics::roiSharpness(edge.data, 40, 30, {30, 20, 40, 25}));
    QVERIFY(!RoiStatistics::roiSharpness(edge.data, 40, 30, {-1, 0, 5, 5}));
    QVERIFY(RoiStatistics::roiSharpness(edge.data, 40, 30, {30, 20, 39, 29}));
}

QTEST_APPLESS_MAIN(TestRoiStatistics)
#include "tst_RoiStatistics.moc"
