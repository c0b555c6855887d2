#include "Lumi_cam.h"
#include "RemoteClient.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "analysis/ColourTable.h"
#include "analysis/calDlg.h"
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

// The readouts, colour tables and the lens calibration as a user meets them:
// the window on the simulated camera's chessboard (9 x 6 inner corners, a
// light margin of 55 x 54 pixels around it).
class LumiCamAnalysisTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void calibrationOnTheChessboard();
    void readoutsAndRoiValue();
    void colourTableSwitch();
    void channelViews();

private:
    bool startWindow(const SimulatedCameraOptions& options);
    // Sends `bytes` to the window's remote control and returns the reply.
    QByteArray ask(const QByteArray& bytes);

    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Lumi_cam> m_window;
    RemoteClient m_client;
};

using WindowDriver::action;

namespace {

// 14-bit samples of the chessboard's light squares and margin, and their
// display byte.
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

void drag(QGraphicsScene& scene, QPointF from, QPointF to)
{
    mouse(scene, QEvent::GraphicsSceneMousePress, from);
    mouse(scene, QEvent::GraphicsSceneMouseMove, to);
    mouse(scene, QEvent::GraphicsSceneMouseRelease, to);
}

QRgb shownPixel(const Lumi_cam& window, int x, int y)
{
    return window.scene()->pixmapItem()->pixmap().toImage().pixel(x, y);
}

SimulatedCameraOptions chessboardCamera()
{
    SimulatedCameraOptions options;
    options.pattern = SimulatedCameraOptions::Pattern::Chessboard;
    return options;
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

bool LumiCamAnalysisTest::startWindow(const SimulatedCameraOptions& options)
{
    m_camera = std::make_unique<SimulatedCamera>(options);
    if (!m_camera->start())
        return false;
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_window = std::make_unique<Lumi_cam>();
    // The colour table loaded at start lies next to the program: no box.
    return m_prompt->shown.isEmpty() && WindowDriver::pick(*m_window, QStringLiteral("127.0.0.1"));
}

QByteArray LumiCamAnalysisTest::ask(const QByteArray& bytes)
{
    if (!m_window->remoteServer()->isListening()) {
        m_window->remoteServer()->setListenAddress(QHostAddress::LocalHost, 0);
        action(*m_window, "actionRemote_Control")->setChecked(true);
        if (!m_client.connectTo(QHostAddress::LocalHost, m_window->remoteServer()->serverPort()))
            return QByteArray();
    }
    m_client.takeReceivedBytes();
    m_client.sendRaw(bytes);
    const QList<QByteArray> replies = m_client.waitForReplies(1);
    return replies.isEmpty() ? QByteArray() : replies.first();
}

void LumiCamAnalysisTest::calibrationOnTheChessboard()
{
    QVERIFY(startWindow(chessboardCamera()));
    Lumi_cam& window = *m_window;
    ScriptedPrompt& prompt = *m_prompt;
    QVERIFY(action(window, "actionDistortion")->isEnabled());
    action(window, "actionDistortion")->trigger();
    auto* dialog = window.findChild<calDlg*>();
    QVERIFY(dialog && dialog->isVisible() && dialog->isModal());
    auto* start = dialog->findChild<QPushButton*>(QStringLiteral("pushButton"));
    auto* save = dialog->findChild<QPushButton*>(QStringLiteral("pushButton_2"));
    auto* found = dialog->findChild<QLabel*>(QStringLiteral("label_4"));

    // Nothing computed yet: Save says so and asks for no file.
    save->click();
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Save CalFile"));
    prompt.shown.clear();

    dialog->findChild<QSpinBox*>(QStringLiteral("spinBox"))->setValue(3);
    dialog->findChild<QSpinBox*>(QStringLiteral("spinBox_2"))->setValue(9);
    dialog->findChild<QSpinBox*>(QStringLiteral("spinBox_3"))->setValue(6);
    start->click();
    QVERIFY(action(window, "actionRun")->isChecked());
    QVERIFY(window.isPreviewing());

    // Three boards end the collection: the run stops and the result is shown.
    QTRY_VERIFY_WITH_TIMEOUT(!prompt.shown.isEmpty(), 30000);
    QVERIFY(!action(window, "actionRun")->isChecked());
    QVERIFY(!window.isPreviewing());
    QVERIFY(!start->isChecked());
    QCOMPARE(start->text(), QStringLiteral("Start"));
    // Frames already on their way may still add their count in brackets.
    QVERIFY2(found->text().startsWith(QLatin1String("Found: 3")), qPrintable(found->text()));
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("information"));
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Reprojection Error"));
    QVERIFY2(QRegularExpression(QStringLiteral("^RMS = [0-9.e+-]+ px$")).match(prompt.shown[0].text).hasMatch(),
             qPrintable(prompt.shown[0].text));

    // Saved where the user says; a cancelled dialog writes nothing.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cal.xml"));
    prompt.fileAnswers << path << QString();
    save->click();
    QCOMPARE(prompt.shown.size(), 2);
    QCOMPARE(prompt.shown[1].kind, QStringLiteral("saveFile"));
    QCOMPARE(prompt.shown[1].title, QStringLiteral("Save CalFile"));
    QVERIFY2(QRegularExpression(QStringLiteral("^distortionSIM00001_[^ :]+\\.xml\\|XML-data files \\(\\*\\.xml\\)$"))
                 .match(prompt.shown[1].text)
                 .hasMatch(),
             qPrintable(prompt.shown[1].text));
    cv::FileStorage storage(path.toStdString(), cv::FileStorage::READ);
    QVERIFY(storage.isOpened());
    cv::Mat matrix;
    storage["Intrinsic_Matrix"] >> matrix;
    QCOMPARE(matrix.rows, 3);
    QCOMPARE(matrix.cols, 3);
    save->click();
    QCOMPARE(prompt.shown.size(), 3); // the dialog only
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"cal.xml"});
}

void LumiCamAnalysisTest::readoutsAndRoiValue()
{
    QVERIFY(startWindow(chessboardCamera()));
    Lumi_cam& window = *m_window;
    CustomScene& scene = *window.scene();
    QCOMPARE(ask("#getroi"), QByteArray("0")); // no ROI yet

    action(window, "actionRun")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(scene.frameShown(), 10000);

    // An ROI in the light margin, as a percentage and, with Intensity, raw.
    drag(scene, {2, 2}, {40, 40});
    QCOMPARE(ask("#getroi"), QByteArray("90"));
    QCOMPARE(scene.valueLabel()->text(), QStringLiteral("90%"));
    action(window, "actionIntensity")->setChecked(true);
    QTRY_COMPARE_WITH_TIMEOUT(scene.intensityValue(), light14, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(scene.valueLabel()->text(), QString::number(light14), 5000);

    // The pixel under the cursor.
    mouse(scene, QEvent::GraphicsSceneMouseMove, {5, 6});
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("sizeLabel"))->text(),
             QStringLiteral("640x480, 5x6  Image=90%(%1)").arg(light14));

    // Sharpness mode: an ROI across the board's edges scores, the lens hears it.
    QSignalSpy scores(&window, &Lumi_cam::currentSHARPNESS);
    scene.setSharpnessMode(true);
    drag(scene, {100, 100}, {300, 300});
    QVERIFY(!scores.isEmpty());
    QVERIFY(scores.last()[0].toDouble() > 0);
    scene.setSharpnessMode(false);

    // A horizontal profile line across the board is plotted.
    auto* plot = window.findChild<QwtPlot*>();
    QVERIFY(!plot); // a top-level window of its own, not a child
    action(window, "actionPlotProfile")->setChecked(true);
    mouse(scene, QEvent::GraphicsSceneMousePress, {10, 100});
    mouse(scene, QEvent::GraphicsSceneMouseMove, {600, 100});
    QWidget* plotWindow = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QLatin1String("Plot Profile"))
            plotWindow = w;
    QVERIFY(plotWindow);
    QVERIFY(plotWindow->isVisible());
    const QwtPlotCurve* curve = nullptr;
    for (QwtPlotItem* item : static_cast<QwtPlot*>(plotWindow)->itemList(QwtPlotItem::Rtti_PlotCurve))
        curve = static_cast<const QwtPlotCurve*>(item);
    QVERIFY(curve);
    QCOMPARE(int(curve->dataSize()), 590);
    QCOMPARE(curve->sample(0).y(), (light14 << 2) / 65536.0 * 100.0);
    mouse(scene, QEvent::GraphicsSceneMouseRelease, {600, 100});
    QVERIFY(scene.hasProfileLine());

    // Closed by hand, the next frame shows it again; the tool off hides it for good.
    plotWindow->close();
    QTRY_VERIFY_WITH_TIMEOUT(plotWindow->isVisible(), 5000);
    action(window, "actionPlotProfile")->setChecked(false);
    QVERIFY(!plotWindow->isVisible());
    QTest::qWait(300);
    QVERIFY(!plotWindow->isVisible());
    action(window, "actionRun")->setChecked(false);
}

void LumiCamAnalysisTest::colourTableSwitch()
{
    QFile file(QCoreApplication::applicationDirPath() + QStringLiteral("/rainbow.lut"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QVector<QRgb> rainbow = ColourTable::parse(file.readAll());
    QCOMPARE(rainbow.size(), 256);

    // "#lut" before any frame only switches the table on.
    QVERIFY(startWindow(chessboardCamera()));
    Lumi_cam& window = *m_window;
    QCOMPARE(ask("#lut"), QByteArray("Ready"));
    QVERIFY(action(window, "actionLUT")->isChecked());
    QVERIFY(window.scene()->pixmapItem()->pixmap().isNull());

    action(window, "actionRun")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(window.scene()->frameShown(), 10000);
    action(window, "actionRun")->setChecked(false);
    QTRY_COMPARE_WITH_TIMEOUT(shownPixel(window, 5, 5), rainbow[lightByte], 5000);

    // Switched off and on, the same frame is shown again at once.
    action(window, "actionLUT")->setChecked(false);
    QCOMPARE(shownPixel(window, 5, 5), qRgb(lightByte, lightByte, lightByte));
    action(window, "actionLUT")->setChecked(true);
    QCOMPARE(shownPixel(window, 5, 5), rainbow[lightByte]);
}

void LumiCamAnalysisTest::channelViews()
{
    // A colour camera's moving gradient: the S plane takes the second pixel
    // of each cell's first row, the R plane the first, one display step apart.
    SimulatedCameraOptions options;
    options.ccdType = 12;
    QVERIFY(startWindow(options));
    Lumi_cam& window = *m_window;
    QAction* s = action(window, "actionSChannel");
    QAction* r = action(window, "actionRChannel");
    QVERIFY(s->isChecked());
    action(window, "actionRun")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(window.scene()->frameShown(), 10000);
    action(window, "actionRun")->setChecked(false);
    QTest::qWait(200);
    QCOMPARE(window.scene()->pixmapItem()->pixmap().size(), QSize(320, 240));
    const int sValue = qRed(shownPixel(window, 0, 0));

    ask("#ref");
    QVERIFY(r->isChecked());
    QVERIFY(!s->isChecked());
    QCOMPARE((sValue - qRed(shownPixel(window, 0, 0)) + 256) % 256, 1);

    s->trigger(); // a user's click on the S channel
    QVERIFY(s->isChecked());
    QVERIFY(!r->isChecked());
    QCOMPARE(qRed(shownPixel(window, 0, 0)), sValue);
}

QTEST_MAIN(LumiCamAnalysisTest)
#include "tst_LumiCamAnalysis.moc"
