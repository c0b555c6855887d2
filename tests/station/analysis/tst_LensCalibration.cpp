#include "analysis/LensCalibration.h"

#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/calib3d.hpp>

// The calibration's arithmetic on projected views of a known camera, and its file.
class TestLensCalibration : public QObject
{
    Q_OBJECT

private slots:
    void boardAndPattern();
    void calibratesProjectedViews();
    void pixelsAreTakenSquare();
    void failuresKeepTheMatrices();
    void calibrationFile();
};

namespace {

const cv::Matx33d trueCamera(800, 0, 320, 0, 800, 240, 0, 0, 1);
const cv::Matx<double, 1, 5> trueDistortion(-0.12, 0.05, 0, 0, 0);

// Ten views of a 9 x 6 board, tilted and moved, as a 640 x 480 camera of
// known matrix and distortion sees its corners.
LensCalibration::Result calibrate(LensCalibration& calibration, const cv::Matx33d& camera = trueCamera)
{
    const LensCalibration::ObjectPoints board = LensCalibration::boardObjectPoints(9, 6);
    std::vector<LensCalibration::ObjectPoints> objects(10, board);
    std::vector<LensCalibration::ImagePoints> images(10);
    for (int view = 0; view < 10; ++view) {
        const cv::Vec3d rotation(0.25 * std::sin(view * 0.9), 0.3 * std::cos(view * 1.3), 0.1 * view);
        const cv::Vec3d translation(-3.0 + 0.2 * view, -4.0 + 0.1 * view, 14.0 + view);
        cv::projectPoints(board, rotation, translation, camera, trueDistortion, images[view]);
    }
    return calibration.compute(objects, images, cv::Size(640, 480));
}

} // namespace

void TestLensCalibration::boardAndPattern()
{
    const LensCalibration::ObjectPoints points = LensCalibration::boardObjectPoints(3, 2);
    const LensCalibration::ObjectPoints expected{{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {1, 0, 0}, {1, 1, 0}, {1, 2, 0}};
    QCOMPARE(points.size(), expected.size());
    for (size_t i = 0; i < points.size(); ++i)
        QCOMPARE(cv::norm(points[i] - expected[i]), 0.0);
    // The corner search takes 3 x 3 inner corners and more.
    QVERIFY(LensCalibration::patternUsable(3, 3));
    QVERIFY(LensCalibration::patternUsable(31, 23));
    QVERIFY(!LensCalibration::patternUsable(1, 5));
    QVERIFY(!LensCalibration::patternUsable(2, 5));
    QVERIFY(!LensCalibration::patternUsable(5, 2));
}

void TestLensCalibration::calibratesProjectedViews()
{
    LensCalibration calibration;
    QVERIFY(!calibration.hasResult());
    const LensCalibration::Result result = calibrate(calibration);
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY2(result.rms < 0.01, qPrintable(QString::number(result.rms)));
    const cv::Mat& k = calibration.cameraMatrix();
    QVERIFY(std::abs(k.at<double>(0, 0) - 800) < 1 && std::abs(k.at<double>(1, 1) - 800) < 1);
    QVERIFY(std::abs(k.at<double>(0, 2) - 320) < 1 && std::abs(k.at<double>(1, 2) - 240) < 1);
    QVERIFY(std::abs(calibration.distortion().at<double>(0) - trueDistortion(0)) < 0.01);
    // The kept matrices are the next computation's input: it ends where this one did.
    QVERIFY(calibrate(calibration).rms < 0.01);
}

void TestLensCalibration::pixelsAreTakenSquare()
{
    // The fit keeps the focal lengths' ratio at one, so a sensor seen with
    // pixels 5 % taller than wide still gives a square-pixel camera.
    LensCalibration calibration;
    const LensCalibration::Result result = calibrate(calibration, cv::Matx33d(800, 0, 320, 0, 840, 240, 0, 0, 1));
    QVERIFY2(result.ok, qPrintable(result.error));
    const cv::Mat& k = calibration.cameraMatrix();
    QCOMPARE(k.at<double>(0, 0), k.at<double>(1, 1));
    QVERIFY(result.rms > 0.1); // the square fit cannot match those views
}

void TestLensCalibration::failuresKeepTheMatrices()
{
    LensCalibration calibration;
    QVERIFY(calibrate(calibration).ok);
    const cv::Mat before = calibration.cameraMatrix().clone();
    const LensCalibration::ObjectPoints board = LensCalibration::boardObjectPoints(9, 6);

    // Lists that disagree make OpenCV throw: reported, matrices kept.
    const LensCalibration::Result thrown = calibration.compute({board, board}, {{}}, cv::Size(640, 480));
    QVERIFY(!thrown.ok);
    QVERIFY(!thrown.error.isEmpty());
    QCOMPARE(cv::norm(calibration.cameraMatrix(), before), 0.0);

    // Corners all on one point come back not-a-number: no result, and no
    // start for the next computation either.
    const LensCalibration::ImagePoints point(board.size(), cv::Point2f(100, 100));
    const LensCalibration::Result degenerate =
        calibration.compute({board, board, board}, {point, point, point}, cv::Size(640, 480));
    QVERIFY(!degenerate.ok);
    QCOMPARE(degenerate.error, QStringLiteral("the views do not determine the camera (RMS = nan px)"));
    QCOMPARE(cv::norm(calibration.cameraMatrix(), before), 0.0);
    QVERIFY(calibrate(calibration).rms < 0.01);
}

void TestLensCalibration::calibrationFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cal.xml"));
    LensCalibration calibration;
    QVERIFY(!calibration.save(path).isEmpty()); // nothing computed yet
    QVERIFY(!QFile::exists(path));

    QVERIFY(calibrate(calibration).ok);
    QCOMPARE(calibration.save(path), QString());
    cv::FileStorage storage(path.toStdString(), cv::FileStorage::READ);
    cv::Mat matrix;
    cv::Mat distortion;
    storage["Intrinsic_Matrix"] >> matrix;
    storage["Distortion"] >> distortion;
    QCOMPARE(cv::norm(matrix, calibration.cameraMatrix()), 0.0);
    QCOMPARE(cv::norm(distortion, calibration.distortion()), 0.0);

    const QString unwritable = dir.filePath(QStringLiteral("missing/cal.xml"));
    QCOMPARE(calibration.save(unwritable), QStringLiteral("Unable to write file <b>%1</b>").arg(unwritable));

    const QString name = LensCalibration::suggestedFileName(QStringLiteral("SIM1"), {{2024, 3, 5}, {14, 7, 9}});
    QCOMPARE(name, QStringLiteral("distortionSIM1_Tue_Mar_5_2024_14.07.09.xml"));
}

QTEST_APPLESS_MAIN(TestLensCalibration)
#include "tst_LensCalibration.moc"
