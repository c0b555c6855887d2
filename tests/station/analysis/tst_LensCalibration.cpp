#include "ScriptedPrompt.h"
#include "analysis/LensCalibration.h"
#include "analysis/calDlg.h"

#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <opencv2/calib3d.hpp>

// The calibration's arithmetic on projected views of a known camera, its
// file, and the dialog that drives it.
class TestLensCalibration : public QObject
{
    Q_OBJECT

private slots:
    void objectPoints();
    void patternUsable_data();
    void patternUsable();
    void calibratesProjectedViews();
    void failureKeepsTheMatrices();
    void degenerateViewsDoNotBlockTheNext();
    void fileReadsBackByNode();
    void saveFailures();
    void suggestedFileName();
    void dialog();
};

namespace {

const cv::Matx33d trueCamera(800, 0, 320, 0, 800, 240, 0, 0, 1);
const cv::Matx<double, 1, 5> trueDistortion(-0.12, 0.05, 0, 0, 0);

// Ten views of a 9 x 6 board, tilted and moved, as a 640 x 480 camera of
// known matrix and distortion sees its corners.
void projectedViews(std::vector<LensCalibration::ObjectPoints>& objects,
                    std::vector<LensCalibration::ImagePoints>& images)
{
    const LensCalibration::ObjectPoints board = LensCalibration::boardObjectPoints(9, 6);
    for (int view = 0; view < 10; ++view) {
        const cv::Vec3d rotation(0.25 * std::sin(view * 0.9), 0.3 * std::cos(view * 1.3), 0.1 * view);
        const cv::Vec3d translation(-3.0 + 0.2 * view, -4.0 + 0.1 * view, 14.0 + view);
        LensCalibration::ImagePoints corners;
        cv::projectPoints(board, rotation, translation, trueCamera, trueDistortion, corners);
        objects.push_back(board);
        images.push_back(corners);
    }
}

} // namespace

void TestLensCalibration::objectPoints()
{
    const LensCalibration::ObjectPoints points = LensCalibration::boardObjectPoints(3, 2);
    const LensCalibration::ObjectPoints expected{{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {1, 0, 0}, {1, 1, 0}, {1, 2, 0}};
    QCOMPARE(points.size(), expected.size());
    for (size_t i = 0; i < points.size(); ++i)
        QCOMPARE(cv::norm(points[i] - expected[i]), 0.0);
    QCOMPARE(LensCalibration::boardObjectPoints(31, 23).size(), size_t(31 * 23));
}

void TestLensCalibration::patternUsable_data()
{
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("v");
    QTest::addColumn<bool>("usable");
    QTest::newRow("3 x 3") << 3 << 3 << true;
    QTest::newRow("9 x 6") << 9 << 6 << true;
    QTest::newRow("defaults 31 x 23") << 31 << 23 << true;
    QTest::newRow("1 x 5") << 1 << 5 << false;
    QTest::newRow("2 x 5") << 2 << 5 << false;
    QTest::newRow("5 x 2") << 5 << 2 << false;
}

void TestLensCalibration::patternUsable()
{
    QFETCH(int, h);
    QFETCH(int, v);
    QFETCH(bool, usable);
    QCOMPARE(LensCalibration::patternUsable(h, v), usable);
}

void TestLensCalibration::calibratesProjectedViews()
{
    std::vector<LensCalibration::ObjectPoints> objects;
    std::vector<LensCalibration::ImagePoints> images;
    projectedViews(objects, images);
    LensCalibration calibration;
    QVERIFY(!calibration.hasResult());
    const LensCalibration::Result result = calibration.compute(objects, images, cv::Size(640, 480));
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY2(result.rms < 0.01, qPrintable(QString::number(result.rms)));
    const cv::Mat& k = calibration.cameraMatrix();
    QVERIFY(std::abs(k.at<double>(0, 0) - 800) < 1);
    QVERIFY(std::abs(k.at<double>(1, 1) - 800) < 1);
    QVERIFY(std::abs(k.at<double>(0, 2) - 320) < 1);
    QVERIFY(std::abs(calibration.distortion().at<double>(0) - trueDistortion(0)) < 0.01);

    // The kept matrices are the next computation's input: it ends where this one did.
    const LensCalibration::Result again = calibration.compute(objects, images, cv::Size(640, 480));
    QVERIFY(again.ok);
    QVERIFY(again.rms < 0.01);
}

void TestLensCalibration::failureKeepsTheMatrices()
{
    std::vector<LensCalibration::ObjectPoints> objects;
    std::vector<LensCalibration::ImagePoints> images;
    projectedViews(objects, images);
    LensCalibration calibration;
    QVERIFY(calibration.compute(objects, images, cv::Size(640, 480)).ok);
    const cv::Mat before = calibration.cameraMatrix().clone();

    // Views whose lists disagree make OpenCV throw: reported, matrices kept.
    images.pop_back();
    const LensCalibration::Result result = calibration.compute(objects, images, cv::Size(640, 480));
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(cv::norm(calibration.cameraMatrix(), before), 0.0);

    LensCalibration empty;
    QVERIFY(!empty.compute({}, {}, cv::Size(640, 480)).ok);
    QVERIFY(!empty.hasResult());
}

void TestLensCalibration::degenerateViewsDoNotBlockTheNext()
{
    // Views whose corners all fall on one point give OpenCV nothing to work
    // with: its matrices come back not-a-number, which is no result.
    const LensCalibration::ObjectPoints board = LensCalibration::boardObjectPoints(9, 6);
    const LensCalibration::ImagePoints point(board.size(), cv::Point2f(100, 100));
    LensCalibration calibration;
    const LensCalibration::Result degenerate =
        calibration.compute({board, board, board}, {point, point, point}, cv::Size(640, 480));
    QVERIFY(!degenerate.ok);
    QCOMPARE(degenerate.error, QStringLiteral("the views do not determine the camera (RMS = nan px)"));
    QVERIFY(!calibration.hasResult());

    // Nor the next computation's start: good views calibrate as if nothing had gone before.
    std::vector<LensCalibration::ObjectPoints> objects;
    std::vector<LensCalibration::ImagePoints> images;
    projectedViews(objects, images);
    const LensCalibration::Result next = calibration.compute(objects, images, cv::Size(640, 480));
    QVERIFY2(next.ok, qPrintable(next.error));
    QVERIFY2(next.rms < 0.01, qPrintable(QString::number(next.rms)));
}

void TestLensCalibration::fileReadsBackByNode()
{
    std::vector<LensCalibration::ObjectPoints> objects;
    std::vector<LensCalibration::ImagePoints> images;
    projectedViews(objects, images);
    LensCalibration calibration;
    QVERIFY(calibration.compute(objects, images, cv::Size(640, 480)).ok);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cal.xml"));
    QCOMPARE(calibration.save(path), QString());
    cv::FileStorage storage(path.toStdString(), cv::FileStorage::READ);
    QVERIFY(storage.isOpened());
    cv::Mat matrix;
    cv::Mat distortion;
    storage["Intrinsic_Matrix"] >> matrix;
    storage["Distortion"] >> distortion;
    QCOMPARE(cv::norm(matrix, calibration.cameraMatrix()), 0.0);
    QCOMPARE(cv::norm(distortion, calibration.distortion()), 0.0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("<?xml"));
}

void TestLensCalibration::saveFailures()
{
    QTemporaryDir dir;
    LensCalibration none;
    QVERIFY(!none.save(dir.filePath(QStringLiteral("a.xml"))).isEmpty());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("a.xml"))));

    std::vector<LensCalibration::ObjectPoints> objects;
    std::vector<LensCalibration::ImagePoints> images;
    projectedViews(objects, images);
    LensCalibration calibration;
    QVERIFY(calibration.compute(objects, images, cv::Size(640, 480)).ok);
    const QString unwritable = dir.filePath(QStringLiteral("missing/folder/cal.xml"));
    QCOMPARE(calibration.save(unwritable), QStringLiteral("Unable to write file <b>%1</b>").arg(unwritable));
    QVERIFY(!calibration.save(QString()).isEmpty()); // a cancelled dialog's name
}

void TestLensCalibration::suggestedFileName()
{
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QString name = LensCalibration::suggestedFileName(QStringLiteral("SIM00001"), when);
    QCOMPARE(name, QStringLiteral("distortionSIM00001_Tue_Mar_5_2024_14.07.09.xml"));
    QVERIFY(!name.contains(QLatin1Char(' ')));
    QVERIFY(!name.contains(QLatin1Char(':')));
}

void TestLensCalibration::dialog()
{
    ScriptedPrompt prompt;
    calDlg dialog;
    auto* start = dialog.findChild<QPushButton*>(QStringLiteral("pushButton"));
    auto* found = dialog.findChild<QLabel*>(QStringLiteral("label_4"));
    auto* h = dialog.findChild<QSpinBox*>(QStringLiteral("spinBox_2"));
    auto* v = dialog.findChild<QSpinBox*>(QStringLiteral("spinBox_3"));
    QVERIFY(start && found && h && v);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Lens Distortion Correction"));
    QCOMPARE(dialog.boards(), 10);
    QCOMPARE(dialog.h(), 31);
    QCOMPARE(dialog.v(), 23);
    QCOMPARE(h->minimum(), 1);
    QCOMPARE(found->text(), QStringLiteral("Found: 0"));
    QSignalSpy starts(&dialog, &calDlg::startCalibration);
    QSignalSpy saves(&dialog, &calDlg::calFileName);

    // Escape does not close it.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());

    // A pattern the search cannot take is refused before anything starts.
    h->setValue(2);
    v->setValue(5);
    start->click();
    QVERIFY(!start->isChecked());
    QCOMPARE(start->text(), QStringLiteral("Start"));
    QCOMPARE(starts.count(), 0);
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("warning"));

    h->setValue(9);
    v->setValue(6);
    start->click();
    QCOMPARE(start->text(), QStringLiteral("Stop"));
    QCOMPARE(starts.count(), 1);
    QCOMPARE(starts[0][0].toBool(), true);
    QCOMPARE(dialog.h(), 9);
    QCOMPARE(dialog.v(), 6);
    dialog.updateCal(2, 17);
    QCOMPARE(found->text(), QStringLiteral("Found: 2(17)"));
    dialog.calFinished();
    QVERIFY(!start->isChecked());
    QCOMPARE(start->text(), QStringLiteral("Start"));
    QCOMPARE(found->text(), QStringLiteral("Found: 10"));
    QCOMPARE(starts.count(), 2);
    QCOMPARE(starts[1][0].toBool(), false);

    // Given up by the window: the button comes back without a signal.
    start->click();
    QCOMPARE(starts.count(), 3);
    dialog.stopCollection();
    QVERIFY(!start->isChecked());
    QCOMPARE(start->text(), QStringLiteral("Start"));
    QCOMPARE(starts.count(), 3);

    dialog.findChild<QPushButton*>(QStringLiteral("pushButton_2"))->click();
    QCOMPARE(saves.count(), 1);
    QCOMPARE(saves[0][0].toString(), QString());

    // The window's close button does close it.
    dialog.close();
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestLensCalibration)
#include "tst_LensCalibration.moc"
