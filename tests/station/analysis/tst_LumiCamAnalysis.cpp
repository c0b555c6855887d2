#include "Lumi_cam.h"
#include "RemoteClient.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "analysis/ColourTable.h"
#include "analysis/calDlg.h"
#include "camera/Thread.h"
#include "frames/CustomScene.h"
#include "remote/RemoteServer.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsSceneMouseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/core.hpp>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

// The readouts, colour tables and lens calibration as a user meets them:
// the window on the simulated camera's chessboard (9 x 6 inner corners,
// 53-pixel squares, a light margin of 55 x 54 pixels).
class LumiCamAnalysisTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void calibrationOnTheChessboard();
    void readoutsAndProfile();
    void colourTableAndChannels();

private:
    // The simulated camera sends `frameRate` frames a second.
    bool startWindow(bool colour = false, double frameRate = 25.0);
    // The reply of the window's remote control to `bytes`.
    QByteArray ask(const QByteArray& bytes);

    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Lumi_cam> m_window;
    RemoteClient m_client;
};

using WindowDriver::action;

namespace {

// The 14-bit sample of the light squares and its display byte.
constexpr int light14 = 16383 - 16383 / 10;
constexpr int lightByte = (light14 << 2) >> 8;

void mouse(QGraphicsScene& scene, QEvent::Type type, QPointF pos)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(pos);
    event.setButton(type == QEvent::GraphicsSceneMouseMove ? Qt::NoButton : Qt::LeftButton);
    event.setButtons(type == QEvent::GraphicsSceneMouseRelease ? Qt::NoButton : Qt::LeftButton);
    QCoreApplication::sendEvent(&scene, &event);
}

QRgb shownPixel(const Lumi_cam& window, int x, int y)
{
    return window.scene()->pixmapItem()->pixmap().toImage().pixel(x, y);
}

// How long a test waits for the window and its camera, on a busy machine too.
constexpr int waitMs = 30000;

// Waits until the window has shown a frame after this call: each frame
// shown is a pixmap of its own.
bool nextFrameShown(const Lumi_cam& window)
{
    const qint64 shown = window.scene()->pixmapItem()->pixmap().cacheKey();
    return QTest::qWaitFor([&] { return window.scene()->pixmapItem()->pixmap().cacheKey() != shown; }, waitMs);
}

} // namespace

void LumiCamAnalysisTest::init()
{
    QVERIFY(WindowDriver::writeSettings({{"LAST_AVG", 1}, {"LAST_EXP", 1000}}));
}

void LumiCamAnalysisTest::cleanup()
{
    m_client.disconnectFromStation();
    m_window.reset();
    m_prompt.reset();
    m_camera.reset();
}

bool LumiCamAnalysisTest::startWindow(bool colour, double frameRate)
{
    SimulatedCameraOptions options;
    options.frameRate = frameRate;
    options.pattern = colour ? SimulatedCameraOptions::Pattern::Gradient : SimulatedCameraOptions::Pattern::Chessboard;
    options.ccdType = colour ? 12 : 0;
    m_camera = std::make_unique<SimulatedCamera>(options);
    if (!m_camera->start())
        return false;
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_window = std::make_unique<Lumi_cam>();
    // The colour table loaded at start lies next to the program: no box.
    if (!m_prompt->shown.isEmpty() || !WindowDriver::pick(*m_window, QStringLiteral("127.0.0.1")))
        return false;
    m_window->remoteServer()->setListenAddress(QHostAddress::LocalHost, 0);
    action(*m_window, "actionRemote_Control")->setChecked(true);
    m_prompt->shown.clear(); // the addresses a console can use
    return m_client.connectTo(QHostAddress::LocalHost, m_window->remoteServer()->serverPort());
}

QByteArray LumiCamAnalysisTest::ask(const QByteArray& bytes)
{
    m_client.sendRaw(bytes);
    const QList<QByteArray> replies = m_client.waitForReplies(1, waitMs);
    return replies.isEmpty() ? QByteArray() : replies.first();
}

void LumiCamAnalysisTest::calibrationOnTheChessboard()
{
    QVERIFY(startWindow());
    Lumi_cam& window = *m_window;
    ScriptedPrompt& prompt = *m_prompt;
    action(window, "actionDistortion")->trigger();
    auto* dialog = window.findChild<calDlg*>();
    QVERIFY(dialog->isVisible() && dialog->isModal());
    auto* start = dialog->findChild<QPushButton*>(QStringLiteral("pushButton"));
    auto* save = dialog->findChild<QPushButton*>(QStringLiteral("pushButton_2"));
    auto* found = dialog->findChild<QLabel*>(QStringLiteral("label_4"));

    auto* h = dialog->findChild<QSpinBox*>(QStringLiteral("spinBox_2"));
    QTest::keyClick(dialog, Qt::Key_Escape); // does not close it
    QVERIFY(dialog->isVisible());

    // Nothing computed yet: Save says so and asks for no file. A pattern the
    // search cannot take does not start.
    save->click();
    h->setValue(2);
    start->click();
    QCOMPARE(prompt.titles(), (QStringList{"Save CalFile", "Lens Distortion Correction"}));
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("warning"));
    QVERIFY(!start->isChecked() && !window.isPreviewing());

    dialog->findChild<QSpinBox*>(QStringLiteral("spinBox"))->setValue(3);
    h->setValue(9);
    dialog->findChild<QSpinBox*>(QStringLiteral("spinBox_3"))->setValue(6);
    start->click();
    QCOMPARE(start->text(), QStringLiteral("Stop"));
    QVERIFY(window.isPreviewing());

    // Three boards end the collection: the run stops and the result is shown.
    prompt.shown.clear();
    QTRY_COMPARE_WITH_TIMEOUT(prompt.shown.size(), 1, waitMs);
    QVERIFY(!window.isPreviewing());
    QVERIFY(!action(window, "actionRun")->isChecked());
    QCOMPARE(start->text(), QStringLiteral("Start"));
    // Frames already on their way may add their count in brackets.
    QVERIFY2(found->text().startsWith(QLatin1String("Found: 3")), qPrintable(found->text()));
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Reprojection Error"));
    QVERIFY2(QRegularExpression(QStringLiteral("^RMS = [0-9.e+]+ px$")).match(prompt.shown[0].text).hasMatch(),
             qPrintable(prompt.shown[0].text));

    // Saved where the user says; a cancelled dialog writes nothing.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cal.xml"));
    prompt.fileAnswers << path << QString();
    save->click();
    save->click();
    QCOMPARE(prompt.titles(), (QStringList{"Reprojection Error", "Save CalFile", "Save CalFile"}));
    QVERIFY2(prompt.shown[1].text.startsWith(QLatin1String("distortionSIM00001_")), qPrintable(prompt.shown[1].text));
    QVERIFY(prompt.shown[1].text.endsWith(QLatin1String(".xml|XML-data files (*.xml)")));
    cv::FileStorage storage(path.toStdString(), cv::FileStorage::READ);
    cv::Mat matrix;
    storage["Intrinsic_Matrix"] >> matrix;
    QCOMPARE(matrix.size(), cv::Size(3, 3));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"cal.xml"});

    // A collection the camera leaves behind ends with it, without a result.
    h->setValue(31);
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(found->text().startsWith(QLatin1String("Found: 0(")), waitMs);
    action(window, "actionOpenCam")->setChecked(false);
    QVERIFY(!window.isConnected());
    QCOMPARE(start->text(), QStringLiteral("Start"));
    QCOMPARE(prompt.shown.size(), 3);
}

void LumiCamAnalysisTest::readoutsAndProfile()
{
    QVERIFY(startWindow());
    Lumi_cam& window = *m_window;
    CustomScene& scene = *window.scene();
    QCOMPARE(ask("#getroi"), QByteArray("0")); // no ROI yet
    action(window, "actionRun")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(scene.frameShown(), waitMs);

    // An ROI in the light margin, and the pixel under the cursor.
    mouse(scene, QEvent::GraphicsSceneMousePress, {2, 2});
    mouse(scene, QEvent::GraphicsSceneMouseRelease, {40, 40});
    QCOMPARE(ask("#getroi"), QByteArray("90"));
    QCOMPARE(scene.valueLabel()->text(), QStringLiteral("90%"));
    mouse(scene, QEvent::GraphicsSceneMouseMove, {5, 6});
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("sizeLabel"))->text(),
             QStringLiteral("640x480, 5x6  Image=90%(%1)").arg(light14));

    // A horizontal profile line across the board is plotted.
    action(window, "actionPlotProfile")->setChecked(true);
    mouse(scene, QEvent::GraphicsSceneMousePress, {10, 100});
    mouse(scene, QEvent::GraphicsSceneMouseMove, {600, 100});
    QwtPlot* plot = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QLatin1String("Plot Profile"))
            plot = qobject_cast<QwtPlot*>(w);
    QVERIFY(plot && plot->isVisible());
    const auto* curve = static_cast<const QwtPlotCurve*>(plot->itemList(QwtPlotItem::Rtti_PlotCurve).value(0));
    QCOMPARE(int(curve->dataSize()), 590);
    QCOMPARE(curve->sample(0).y(), (light14 << 2) / 65536.0 * 100.0);
    mouse(scene, QEvent::GraphicsSceneMouseRelease, {600, 100});

    // The tool off hides the plot for good: the frames after it leave it hidden.
    action(window, "actionPlotProfile")->setChecked(false);
    QVERIFY(nextFrameShown(window));
    QVERIFY(!plot->isVisible());
}

void LumiCamAnalysisTest::colourTableAndChannels()
{
    QVector<QRgb> rainbow;
    QVERIFY(ColourTable::load(QCoreApplication::applicationDirPath() + QStringLiteral("/rainbow.lut"), &rainbow));

    // "#lut" before any frame only switches the table on.
    QVERIFY(startWindow());
    Lumi_cam& window = *m_window;
    QCOMPARE(ask("#lut"), QByteArray("Ready"));
    QVERIFY(action(window, "actionLUT")->isChecked());
    action(window, "actionRun")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(window.scene()->frameShown(), waitMs);
    action(window, "actionRun")->setChecked(false);
    QTRY_COMPARE_WITH_TIMEOUT(shownPixel(window, 5, 5), rainbow[lightByte], waitMs);

    // Switched off and on, the same frame is shown again at once.
    action(window, "actionLUT")->setChecked(false);
    QCOMPARE(shownPixel(window, 5, 5), qRgb(lightByte, lightByte, lightByte));
    action(window, "actionLUT")->setChecked(true);
    QCOMPARE(shownPixel(window, 5, 5), rainbow[lightByte]);
    cleanup();

    // A colour camera's gradient: the S plane takes the second pixel of each
    // cell's first row, the R plane the first, one display step below. The
    // gradient moves with every frame, so the camera sends one, then the next
    // ten seconds later, when the preview has long been stopped.
    QVERIFY(startWindow(true, 0.1));
    Lumi_cam& colour = *m_window;
    action(colour, "actionRun")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(colour.scene()->frameShown(), waitMs);
    action(colour, "actionRun")->setChecked(false);
    QCOMPARE(colour.scene()->pixmapItem()->pixmap().size(), QSize(320, 240));
    const int sValue = qRed(shownPixel(colour, 0, 0));
    ask("#ref");
    QVERIFY(!action(colour, "actionSChannel")->isChecked());
    QCOMPARE((sValue - qRed(shownPixel(colour, 0, 0)) + 256) % 256, 1);
    action(colour, "actionSChannel")->trigger(); // a user's click
    QVERIFY(!action(colour, "actionRChannel")->isChecked());
    QCOMPARE(qRed(shownPixel(colour, 0, 0)), sValue);
    QCOMPARE(colour.acquisitionThread()->framesReceived(), 1ull); // all of it on one frame
}

QTEST_MAIN(LumiCamAnalysisTest)
#include "tst_LumiCamAnalysis.moc"
