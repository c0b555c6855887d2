#include "analysis/RoiStatistics.h"

#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <functional>
#include <memory>

// The readouts' arithmetic on small images of known samples.
class TestRoiStatistics : public QObject
{
    Q_OBJECT

private slots:
    void roiIntensity_data();
    void roiIntensity();
    void pixelReadout();
    void lineProfile_data();
    void lineProfile();
    void sharpness();
};

namespace {

// w x h samples at the given depths, each from `sample(x, y)`.
struct Image
{
    std::vector<uint8_t> s8;
    std::vector<uint16_t> s16;
    PixelSource source;
};
using ImagePtr = std::shared_ptr<Image>;

ImagePtr image(int w, int h, int displayDepth, int dataDepth, const std::function<int(int, int)>& sample)
{
    auto im = std::make_shared<Image>();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            displayDepth == 8 ? im->s8.push_back(uint8_t(sample(x, y))) : im->s16.push_back(uint16_t(sample(x, y)));
    im->source = {displayDepth == 8 ? im->s8.data() : nullptr, displayDepth == 8 ? nullptr : im->s16.data(),
                  w, h, displayDepth, dataDepth};
    return im;
}

ImagePtr flat(int displayDepth, int dataDepth, int value)
{
    return image(4, 4, displayDepth, dataDepth, [value](int, int) { return value; });
}

} // namespace

Q_DECLARE_METATYPE(ImagePtr)
Q_DECLARE_METATYPE(RoiCorners)

void TestRoiStatistics::roiIntensity_data()
{
    QTest::addColumn<ImagePtr>("im");
    QTest::addColumn<RoiCorners>("roi");
    QTest::addColumn<bool>("raw");
    QTest::addColumn<int>("value");

    const RoiCorners whole{0, 0, 3, 3};
    const ImagePtr columns = image(4, 4, 8, 8, [](int x, int) { return 10 * (x + 1); }); // 10 20 30 40
    QTest::newRow("8-bit 128 in percent") << flat(8, 8, 128) << whole << false << 50;
    QTest::newRow("8-bit 128 raw") << flat(8, 8, 128) << whole << true << 128;
    QTest::newRow("14-bit full scale in percent") << flat(16, 14, 0xFFFC) << whole << false << 100;
    QTest::newRow("14-bit full scale raw") << flat(16, 14, 0xFFFC) << whole << true << 16383;
    QTest::newRow("12-bit full scale in percent") << flat(16, 12, 4095) << whole << false << 100;
    QTest::newRow("percent capped at 100") << flat(16, 12, 0xFFFF) << whole << false << 100;
    QTest::newRow("drawn top-left first") << columns << RoiCorners{1, 0, 2, 3} << true << 25;
    QTest::newRow("drawn bottom-right first") << columns << RoiCorners{2, 3, 1, 0} << true << 25;
    QTest::newRow("one column") << columns << RoiCorners{3, 0, 3, 3} << true << 40;
    QTest::newRow("partly outside: inside pixels only") << columns << RoiCorners{2, 2, 10, 10} << true << 35;
    QTest::newRow("wholly outside reads 0") << columns << RoiCorners{10, 10, 20, 20} << false << 0;
    QTest::newRow("no ROI yet") << columns << RoiCorners{0, 0, -1, -1} << true << 0;
}

void TestRoiStatistics::roiIntensity()
{
    QFETCH(ImagePtr, im);
    QFETCH(RoiCorners, roi);
    QFETCH(bool, raw);
    QFETCH(int, value);
    const RoiStatistics::Intensity result = RoiStatistics::roiIntensity(im->source, roi, raw);
    QCOMPARE(result.value, value);
    QCOMPARE(result.measured, roi.x2 >= 0);
    QCOMPARE(result.percent, !raw || !result.measured);
}

void TestRoiStatistics::pixelReadout()
{
    using RoiStatistics::pixelReadout;
    QCOMPARE(pixelReadout(flat(8, 8, 128)->source, 1, 2, 640, 480), QStringLiteral("640x480, 1x2  Image=50%(128)"));
    QCOMPARE(pixelReadout(flat(16, 14, 0xFFFC)->source, 3, 3, 640, 480),
             QStringLiteral("640x480, 3x3  Image=100%(16383)"));
    QCOMPARE(pixelReadout(flat(16, 12, 1000)->source, 0, 0, 8, 6), QStringLiteral("8x6, 0x0  Image=24%(1000)"));
    QCOMPARE(pixelReadout(flat(8, 8, 1)->source, 4, 0, 640, 480), QString());
    QCOMPARE(pixelReadout(flat(8, 8, 1)->source, 0, 4, 640, 480), QString());
}

void TestRoiStatistics::lineProfile_data()
{
    QTest::addColumn<QLine>("line");
    QTest::addColumn<int>("step");
    QTest::addColumn<QVector<QPoint>>("pixels"); // sampled (column, row), in order

    const int plot = RoiStatistics::Profile::Plot;
    const int unchanged = RoiStatistics::Profile::Unchanged;
    const QVector<QPoint> diagonal{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}};
    QTest::newRow("diagonal along x") << QLine(0, 0, 10, 5) << plot << diagonal;
    QTest::newRow("diagonal drawn backwards") << QLine(10, 5, 0, 0) << plot << diagonal;
    QTest::newRow("steep, along y") << QLine(2, 1, 4, 7) << plot
                                    << QVector<QPoint>{{2, 1}, {2, 2}, {2, 3}, {3, 4}, {3, 5}, {3, 6}};
    QTest::newRow("horizontal") << QLine(7, 3, 2, 3) << plot
                                << QVector<QPoint>{{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}};
    QTest::newRow("vertical") << QLine(4, 1, 4, 5) << plot << QVector<QPoint>{{4, 1}, {4, 2}, {4, 3}, {4, 4}};
    QTest::newRow("no length") << QLine(3, 3, 3, 3) << unchanged << QVector<QPoint>();
    QTest::newRow("end of a drag") << QLine(0, 0, 0, 0) << unchanged << QVector<QPoint>();
    QTest::newRow("end outside") << QLine(0, 0, 20, 5) << unchanged << QVector<QPoint>();
    QTest::newRow("close") << QLine(-10, -10, -10, -10) << int(RoiStatistics::Profile::Close) << QVector<QPoint>();
}

void TestRoiStatistics::lineProfile()
{
    QFETCH(QLine, line);
    QFETCH(int, step);
    QFETCH(QVector<QPoint>, pixels);
    // Sample = 100 x column + row, so every plotted value names its pixel.
    const ImagePtr grid = image(20, 10, 16, 12, [](int x, int y) { return 100 * x + y; });
    const RoiStatistics::Profile profile = RoiStatistics::lineProfile(grid->source, line);
    QCOMPARE(int(profile.step), step);
    QCOMPARE(profile.x.size(), pixels.size());
    QCOMPARE(profile.y.size(), pixels.size());
    for (int i = 0; i < pixels.size(); ++i) {
        QCOMPARE(profile.x[i], double(i));
        QCOMPARE(profile.y[i], (100 * pixels[i].x() + pixels[i].y()) / 65536.0 * 100.0);
    }
    // The scale is the stored sample over 2^(display depth): a 12-bit frame at
    // full scale plots at about 6.25 %, an 8-bit 128 at 50 %.
    QCOMPARE(RoiStatistics::lineProfile(flat(16, 12, 4095)->source, QLine(0, 0, 3, 0)).y.value(0), 4095 / 655.36);
    QCOMPARE(RoiStatistics::lineProfile(flat(8, 8, 128)->source, QLine(0, 0, 0, 3)).y.value(0), 50.0);
}

void TestRoiStatistics::sharpness()
{
    // A flat ROI has no second derivative.
    std::vector<uint8_t> flatImage(40 * 30, 77);
    QCOMPARE(RoiStatistics::roiSharpness(flatImage.data(), 40, 30, {5, 5, 20, 20}).value_or(-1), 0.0);

    // A sharp edge scores above the same edge blurred.
    cv::Mat edge(30, 40, CV_8UC1, cv::Scalar(20));
    edge(cv::Rect(20, 0, 20, 30)) = cv::Scalar(220);
    cv::Mat blurred;
    cv::GaussianBlur(edge, blurred, cv::Size(9, 9), 3);
    const std::optional<double> sharp = RoiStatistics::roiSharpness(edge.data, 40, 30, {30, 25, 10, 5});
    const std::optional<double> soft = RoiStatistics::roiSharpness(blurred.data, 40, 30, {10, 5, 30, 25});
    QVERIFY(sharp && soft);
    QVERIFY(*sharp > 2 * *soft);

    // Both ways count alike: a ramp across the ROI scores as the same ramp down it.
    cv::Mat across(30, 30, CV_8UC1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            across.at<uint8_t>(y, x) = uint8_t((x * x) % 251);
    const cv::Mat down = across.t();
    const std::optional<double> acrossScore = RoiStatistics::roiSharpness(across.data, 30, 30, {4, 4, 25, 25});
    const std::optional<double> downScore = RoiStatistics::roiSharpness(down.data, 30, 30, {4, 4, 25, 25});
    QVERIFY(acrossScore && downScore && *acrossScore > 0);
    QCOMPARE(*downScore, *acrossScore);

    // Nothing to score: no columns, or not inside the image.
    QVERIFY(!RoiStatistics::roiSharpness(edge.data, 40, 30, {0, 0, -1, 5}));
    QVERIFY(!RoiStatistics::roiSharpness(edge.data, 40, 30, {30, 20, 40, 25}));
    QVERIFY(RoiStatistics::roiSharpness(edge.data, 40, 30, {30, 20, 39, 29}));
}

QTEST_APPLESS_MAIN(TestRoiStatistics)
#include "tst_RoiStatistics.moc"
