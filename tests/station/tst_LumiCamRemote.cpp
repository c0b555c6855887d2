#include "GvcpTestClient.h"
#include "HeldPrompt.h"
#include "Lumi_cam.h"
#include "PulseGeneratorSim.h"
#include "RemoteClient.h"
#include "ScriptedPrompt.h"
#include "SidePanel.h"
#include "SimCamFeatures.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camera/Thread.h"
#include "remote/RemoteServer.h"
#include "runs/TmxLink.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTimer>
#include <QToolBar>
#include <QWidgetAction>
#include <QtTest>

#include <memory>

// The station as a console sees it (remote control against the window with
// the simulated camera) and its acquisition modes with the simulated pulse
// generator.
class LumiCamRemoteTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void repliesInEveryState();
    void remoteCaptureFillsFolder();
    void blocksAndRoi();
    void modeLayoutsAndGenerator();
    void runEndedDuringExposureWait_data();
    void runEndedDuringExposureWait();
    void clientLeavesEarly_data();
    void clientLeavesEarly();
    void unattendedFolderErrors();
    void namesStayInFolder();
    void startWithoutFolder();

private:
    QByteArray ask(const QByteArray& bytes) { return WindowDriver::ask(m_client, bytes); }
    void enableRemote();

    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Lumi_cam> m_window;
    RemoteClient m_client;
};

using WindowDriver::action;

namespace {

const QByteArray noCamera("No Camera\0", 10);
const QByteArray ready("Ready\0", 6);
const QByteArray preview("Preview\0", 8);
const QByteArray readyDone("ReadyDone\0", 10);

// Sends `bytes` on a connection of its own and closes it at once, as the
// console does with its commands.
void sendAndLeave(quint16 port, const QByteArray& bytes)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(socket.waitForConnected(2000));
    socket.write(bytes);
    QVERIFY(socket.waitForBytesWritten(2000));
    socket.disconnectFromHost();
}

QStringList cameraBarOrder(const Lumi_cam& window)
{
    QStringList names;
    for (QAction* a : window.findChild<QToolBar*>(QStringLiteral("toolBarCam"))->actions())
        names << a->objectName();
    return names;
}

} // namespace

void LumiCamRemoteTest::initTestCase()
{
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY(m_camera->start());
}

void LumiCamRemoteTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(WindowDriver::writeSettings({{"LAST_FRM", 2},
                                         {"LAST_PNT", "p1"},
                                         {"LAST_AVG", 1},
                                         {"LAST_EXP", 1000},
                                         {"LAST_EXP_G1", "1000"},
                                         {"LAST_CNT_G1", 100},
                                         {"LAST_PRD_G1", "5000"},
                                         {"LAST_DLY_G1", "10"},
                                         {"LAST_WDT_G1", "30"},
                                         {"LAST_EXP_G2", "2000"},
                                         {"LAST_CNT_G2", 200},
                                         {"LAST_PRD_G2", "8000"},
                                         {"LAST_DLY_G2", "20"},
                                         {"LAST_WDT_G2", "40"}}));
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_window = std::make_unique<Lumi_cam>();
}

void LumiCamRemoteTest::cleanup()
{
    m_client.disconnectFromStation();
    m_window.reset();
    m_prompt.reset();
}

void LumiCamRemoteTest::enableRemote()
{
    // An ephemeral port, so the test needs no lock on the station's own port.
    m_window->remoteServer()->setListenAddress(QHostAddress::LocalHost, 0);
    action(*m_window, "actionRemote_Control")->setChecked(true);
    QVERIFY(m_window->remoteServer()->isListening());
    QCOMPARE(action(*m_window, "actionRemote_Control")->text(), QStringLiteral("Disable Remote Control"));
    QVERIFY(m_client.connectTo(QHostAddress::LocalHost, m_window->remoteServer()->serverPort()));
    m_client.takeReceivedBytes();
}

void LumiCamRemoteTest::repliesInEveryState()
{
    enableRemote();
    Lumi_cam& window = *m_window;
    QCOMPARE(ask("#status"), noCamera);

    // Without a camera the run commands and "#camname=" do nothing; the
    // folder can still be set.
    const QString folder = m_dir->filePath(QStringLiteral("early/runs"));
    QCOMPARE(ask("#start#preview#camname=Other"), noCamera);
    QVERIFY(!action(window, "actionCapture")->isChecked());
    QVERIFY(!action(window, "actionRun")->isChecked());
    QVERIFY(!window.isCapturing() && !window.isPreviewing());
    QCOMPARE(ask(("#folder=" + folder).toUtf8()), noCamera);
    QCOMPARE(window.sidePanel().workFolder->text(), folder);
    QVERIFY(QFileInfo(folder).isDir());

    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    QCOMPARE(ask("#status"), ready);
    QCOMPARE(ask(QByteArray("#preview\0", 9)), ready); // the reply comes before the command
    QVERIFY(window.isPreviewing());
    QCOMPARE(ask("#status"), preview);
    QCOMPARE(ask("#preview"), preview); // already previewing: nothing changes
    QCOMPARE(ask(QByteArray("#nopreview\0\0\0", 13)), preview);
    QVERIFY(!window.isPreviewing());
    QCOMPARE(ask("#status"), ready);

    // A capture of 4 frames: "Captured n/4" while it runs (a frame a second
    // then), "ReadyDone" followed by "Ready" once its last file is written,
    // then "Ready" alone.
    QCOMPARE(ask("#fr=4"), ready);
    m_camera->setFrameRate(1);
    QCOMPARE(ask("#start"), ready);
    const QByteArray running = ask("#status");
    m_camera->setFrameRate(SimulatedCameraOptions().frameRate);
    QVERIFY(window.isCapturing());
    QVERIFY2(running.startsWith("Captured ") && running.endsWith("/4" + QByteArray(1, '\0'))
                 && running.count('\0') == 1,
             running.constData());
    QCOMPARE(WindowDriver::statusAfterCapture(m_client), readyDone + ready);
    QVERIFY(!window.isCapturing());
    QCOMPARE(ask("#status"), ready);

    // A preview started during a capture stops the capture first; a capture
    // stopped by the user is not reported as done.
    QCOMPARE(ask("#fr=10000"), ready);
    QCOMPARE(ask("#start"), ready);
    QVERIFY(window.isCapturing());
    QVERIFY(ask("#preview").startsWith("Captured "));
    QVERIFY(window.isPreviewing());
    QVERIFY(!window.isCapturing());
    QVERIFY(!action(window, "actionCapture")->isChecked());
    QCOMPARE(ask("#status"), preview);
    QCOMPARE(ask(QByteArray("#nopreview\0\0\0", 13)), preview);
    QCOMPARE(ask("#status"), ready);

    // "#camname=" renames the camera and refreshes its identity.
    QCOMPARE(ask("#camname=Bench 2"), ready);
    QCOMPARE(window.windowTitle(), QStringLiteral("[Bench 2] - Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("connectionLabel"))->text(),
             QStringLiteral("Connected: Tarnel-M  [Bench 2]"));
}

void LumiCamRemoteTest::remoteCaptureFillsFolder()
{
    enableRemote();
    Lumi_cam& window = *m_window;
    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    const QString folder = m_dir->filePath(QStringLiteral("remote"));
    QCOMPARE(ask(("#folder=" + folder).toUtf8()), ready);
    QCOMPARE(ask("#pre=shot"), ready);
    QCOMPARE(ask("#pnt=p2"), ready); // two frames, as stored
    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    QList<QByteArray> replies;
    QCOMPARE(WindowDriver::statusAfterCapture(m_client, &replies), readyDone + ready);
    for (const QByteArray& reply : replies.mid(0, replies.size() - 1))
        QVERIFY2(reply.startsWith("Captured "), reply.constData());

    const QDir dir(folder);
    QCOMPARE(dir.entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 2);
    QCOMPARE(dir.entryList({QStringLiteral("*.lst")}, QDir::Files), QStringList{"shot_p2.lst"});
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("shot_p2.settings"))));
    QFile list(dir.filePath(QStringLiteral("shot_p2.lst")));
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll().count('\n'), 2);
}

void LumiCamRemoteTest::blocksAndRoi()
{
    enableRemote();
    Lumi_cam& window = *m_window;
    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    const SidePanel& panel = window.sidePanel();

    // Several commands in one block, a NUL ending the text.
    QCOMPARE(ask(QByteArray("#lut#normon#fr=20\0\0\0#pnt=never", 31)), ready);
    QVERIFY(action(window, "actionLUT")->isChecked());
    QVERIFY(action(window, "actionDScale")->isChecked());
    QCOMPARE(panel.frames->value(), 20);
    QCOMPARE(panel.point->text(), QStringLiteral("p1")); // "#pnt=" lies after the NUL
    // A parameter runs to the end of the text.
    QCOMPARE(ask("#aver=3#pre=a1"), ready);
    QCOMPARE(panel.prefix->text(), QStringLiteral("a1"));
    QCOMPARE(panel.average->value(), 1); // "3#pre=a1" is no number
    QCOMPARE(ask("#aver=3"), ready);
    QCOMPARE(panel.average->value(), 3);

    // Only the first 512 bytes of a 600-byte block count.
    QByteArray big = "#aver=7";
    big += QByteArray(600 - big.size() - 6, ' ');
    big += "#fr=99";
    QCOMPARE(big.size(), 600);
    QCOMPARE(ask(big), ready);
    QCOMPARE(panel.average->value(), 7);
    QCOMPARE(panel.frames->value(), 20);

    // A number that is not one: the spin boxes clamp 0.
    QCOMPARE(ask("#exp=abc"), ready);
    QCOMPARE(panel.exposure->value(), panel.exposure->minimum());

    // "#getroi": the value and no status, twice; then the status again.
    QCOMPARE(ask("#getroi#start"), QByteArray("0\0", 2));
    QVERIFY(!window.isCapturing());
    QCOMPARE(ask("#status"), QByteArray("0\0", 2));
    QCOMPARE(ask("#status"), ready);
}

void LumiCamRemoteTest::modeLayoutsAndGenerator()
{
    PulseGeneratorSim generator;
    QVERIFY(generator.start());
    enableRemote();
    Lumi_cam& window = *m_window;
    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    QCOMPARE(cameraBarOrder(window),
             (QStringList{"actionTrigger", "actionPulseWidth", "actionSChannel", "actionRChannel", "exposureBox",
                          "framesBox", "averageBox", "actionTurbo", "actionFocus", "actionLUT", "actionDScale",
                          "actionROI", "actionDistortion"}));

    // Frame accumulation asks for the generator at once (a modal dialog;
    // the mode switch runs events before it, so wait for it to show).
    bool dialogShown = false;
    auto answer = WindowDriver::answerGeneratorDialog(window, generator.address(), &dialogShown);
    action(window, "actionFrame_Accumulation_Mode")->setChecked(true);
    QVERIFY(dialogShown);
    QVERIFY(window.isTwoGate());
    QCOMPARE(cameraBarOrder(window), (QStringList{"modeLabel", "actionGates", "gatePanel", "framesBox",
                                                  "actionTurbo", "actionLUT", "actionDScale", "actionFocus"}));
    QCOMPARE(window.sidePanel().framesLabel->text(), QStringLiteral("Pairs:"));
    QAction* generatorAction = window.findChild<QAction*>(QStringLiteral("generatorAction"));
    QVERIFY(window.findChild<QToolBar*>(QStringLiteral("mainToolBar"))->actions().contains(generatorAction));
    QCOMPARE(generatorAction->text(), QStringLiteral("TMX IP"));
    QCOMPARE(window.sidePanel().gate[0].period->styleSheet(), QStringLiteral("QLineEdit{background: yellow;}"));
    QCOMPARE(window.sidePanel().gate[1].period->styleSheet(), QStringLiteral("QLineEdit{background: white;}"));
    QTRY_VERIFY_WITH_TIMEOUT(!generator.requests().isEmpty(), WindowDriver::PatienceMs);
    QCOMPARE(generator.requests().first().path, QStringLiteral("/sg_status.shtml"));

    // Gate2 selected: its exposure in the box.
    action(window, "actionGates")->setChecked(true);
    QCOMPARE(window.activeGate().number, 2);
    QCOMPARE(window.sidePanel().exposure->value(), 2000.0);
    action(window, "actionGates")->setChecked(false);
    QCOMPARE(window.activeGate().number, 1);

    // A preview programs the generator with Gate1's values.
    generator.clearRequests();
    QCOMPARE(ask("#preview"), ready);
    // Shown frames send run requests too; the program is the one with the fields.
    const auto programRequest = [&generator]() -> PulseGeneratorSim::Request {
        for (const PulseGeneratorSim::Request& r : generator.requests())
            if (!r.query.isEmpty() && r.query.first().first == QLatin1String("ts1"))
                return r;
        return {};
    };
    QTRY_VERIFY_WITH_TIMEOUT(!programRequest().query.isEmpty(), WindowDriver::PatienceMs);
    const PulseGeneratorSim::Request program = programRequest();
    QCOMPARE(program.path, QStringLiteral("/sg_run.shtml"));
    const QList<QPair<QString, QString>> expected{
        {"ts1", "0"},         {"p1", "249999"},     {"pn1", "99"},   {"ch1_st1", "0"}, {"ch1_et1", "1500"},
        {"ch2_st1", "500"}, {"ch2_et1", "50500"}, {"freq1", "0"}, {"save", "1"},    {"sg1_run", "1"}};
    QCOMPARE(program.query, expected);
    QCOMPARE(ask(QByteArray("#nopreview\0\0\0", 13)), preview);

    // A capture sends both gates: a Gate2 period that is no number refuses
    // it with a box, and the generator is sent nothing.
    QCOMPARE(ask(("#folder=" + m_dir->filePath(QStringLiteral("gated"))).toUtf8()), ready);
    window.sidePanel().gate[1].period->setText(QStringLiteral("8O00"));
    generator.clearRequests();
    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    QCOMPARE(m_prompt->titles().filter(QStringLiteral("Gate Error")).size(), 1);
    QCOMPARE(m_prompt->shown.last().text, QStringLiteral("<b>Gate2 Period(us)</b> should be a number!"));
    QVERIFY(!window.isCapturing());
    QVERIFY(!action(window, "actionCapture")->isChecked());
    // Every request made so far has reached the generator, or was given up.
    const TmxLink* link = window.generatorLink();
    QTRY_VERIFY_WITH_TIMEOUT(link->settledUpTo(link->lastRequest()), WindowDriver::PatienceMs);
    QVERIFY(programRequest().query.isEmpty());
    window.sidePanel().gate[1].period->setText(QStringLiteral("8000"));

    // Double framing keeps the two-gate flag; radiometric clears it.
    action(window, "actionDouble_Framing_Mode")->setChecked(true);
    QVERIFY(window.isTwoGate());
    QCOMPARE(cameraBarOrder(window),
             (QStringList{"modeLabel", "actionTrigger", "actionPulseWidth", "actionGates", "exposureBox",
                          "framesBox", "averageBox", "actionTurbo", "actionFocus", "actionLUT", "actionDScale",
                          "actionROI", "actionDistortion"}));
    QVERIFY(action(window, "actionTrigger")->isChecked());
    QVERIFY(action(window, "actionPulseWidth")->isChecked());
    QCOMPARE(window.sidePanel().frames->singleStep(), 2);
    QVERIFY(!window.findChild<QToolBar*>(QStringLiteral("mainToolBar"))->actions().contains(generatorAction));

    action(window, "actionRadiometric_Mode")->setChecked(true);
    QVERIFY(!window.isTwoGate());
    QCOMPARE(window.sidePanel().framesLabel->text(), QStringLiteral("Frames"));
    QCOMPARE(window.sampleDepths(), (SampleDepths{16, 14}));

    // Lifetime: gates without a tool bar of their own, and back.
    dialogShown = false;
    answer = WindowDriver::answerGeneratorDialog(window, generator.address(), &dialogShown);
    action(window, "actionLifetime_mode")->setChecked(true);
    QVERIFY(dialogShown);
    QVERIFY(window.isTwoGate());
    QVERIFY(cameraBarOrder(window).isEmpty());
    QCOMPARE(action(window, "actionLifetime_mode")->text(), QStringLiteral("Switch to Radiometric"));
    action(window, "actionLifetime_mode")->setChecked(false);
    QVERIFY(!window.isTwoGate());
    QCOMPARE(cameraBarOrder(window).first(), QStringLiteral("actionTrigger"));
    QCOMPARE(action(window, "actionLifetime_mode")->text(), QStringLiteral("Switch to Lifetime"));
    QVERIFY(m_prompt->titles().filter(QStringLiteral("TMX connection problem")).isEmpty());
}

void LumiCamRemoteTest::runEndedDuringExposureWait_data()
{
    QTest::addColumn<QString>("endingAction");
    QTest::newRow("preview stopped") << "actionRun";
    QTest::newRow("camera disconnected") << "actionOpenCam";
}

// A long exposure waits over a second for the camera while events run; a
// preview ended meanwhile must not start the acquisition afterwards.
void LumiCamRemoteTest::runEndedDuringExposureWait()
{
    QFETCH(QString, endingAction);
    Lumi_cam& window = *m_window;
    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    window.sidePanel().exposure->setValue(50000); // above the shortest frame time

    QAction* ending = action(window, qPrintable(endingAction));
    bool endedInsideWait = false;
    QTimer::singleShot(200, &window, [&] {
        endedInsideWait = window.isPreviewing();
        ending->setChecked(false);
    });
    action(window, "actionRun")->setChecked(true);
    QVERIFY(endedInsideWait);
    QVERIFY(!window.isPreviewing());
    QVERIFY(!action(window, "actionRun")->isChecked());
    if (window.isConnected()) {
        // The camera was never told to start: nothing stopped it since.
        GvcpTestClient camera;
        uint32_t acquisition = 1;
        uint16_t status = 1;
        QVERIFY(camera.readRegister("127.0.0.1", 3956, simcam::RegAcquisition, acquisition, status));
        QCOMPARE(status, uint16_t(0));
        QCOMPARE(acquisition, 0u);
        QCOMPARE(window.acquisitionThread()->framesReceived(), 0ull);
        QCOMPARE(window.stationState().previewing, false);
    }
}

void LumiCamRemoteTest::clientLeavesEarly_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("box");
    QTest::newRow("long exposure wait") << QByteArray("#exp=50000") << false;
    QTest::newRow("box") << QByteArray("#folder=/proc/nope/x") << true;
}

// The console writes its command and closes at once; the station is still
// handling it (a wait, a box) when the connection goes.
void LumiCamRemoteTest::clientLeavesEarly()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, box);
    enableRemote();
    m_prompt.reset();
    auto* held = new HeldPrompt;
    held->holdMs = 400;
    m_prompt.reset(held);
    Lumi_cam& window = *m_window;
    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    const quint16 port = window.remoteServer()->serverPort();
    sendAndLeave(port, command);
    // The command has been carried out.
    QTRY_VERIFY_WITH_TIMEOUT(box ? held->titles().contains(QStringLiteral("Folder error"))
                                 : window.sidePanel().exposure->value() == 50000,
                             WindowDriver::PatienceMs);
    sendAndLeave(port, "#status");
    // The clients are gone; only the test's own is left.
    QTRY_COMPARE_WITH_TIMEOUT(window.remoteServer()->clientCount(), 1, WindowDriver::PatienceMs);
    QCOMPARE(ask("#fr=7"), ready);
    // It runs once the command before it has ended.
    QTRY_COMPARE_WITH_TIMEOUT(window.sidePanel().frames->value(), 7, WindowDriver::PatienceMs);
}

// Nobody at the screen: failing folder commands keep coming, each on a
// connection of its own. Their boxes wait for nobody: the station runs every
// command and keeps answering; the last error stays in the status bar.
void LumiCamRemoteTest::unattendedFolderErrors()
{
    enableRemote();
    m_prompt.reset();
    auto* held = new HeldPrompt;
    m_prompt.reset(held);
    const quint16 port = m_window->remoteServer()->serverPort();
    for (int i = 0; i < 20; ++i)
        sendAndLeave(port, "#folder=/proc/nope/" + QByteArray::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(held->shown.size(), 20, WindowDriver::PatienceMs);
    QCOMPARE(ask("#status"), noCamera);
    QCOMPARE(held->mostOpen, 0);
    QCOMPARE(held->waitedTitles(), QStringList());
    QCOMPARE(held->titles().count(QStringLiteral("Folder error")), 20);
    QCOMPARE(m_window->statusBar()->currentMessage(),
             QStringLiteral("Folder error: Could not create output folder: /proc/nope/19"));
}

// Names from the console never leave the work folder.
void LumiCamRemoteTest::namesStayInFolder()
{
    enableRemote();
    Lumi_cam& window = *m_window;
    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    const SidePanel& panel = window.sidePanel();
    const QString folder = m_dir->filePath(QStringLiteral("a/b/work"));
    QCOMPARE(ask(("#folder=" + folder).toUtf8()), ready);
    QCOMPARE(ask("#pre=shot"), ready);
    for (const char* refused : {"#pre=../../outside_", "#pnt=x/../../y", "#pre=tab\tname", "#pre=bell\x07"})
        QCOMPARE(ask(refused), ready);
    QCOMPARE(panel.prefix->text(), QStringLiteral("shot"));
    QCOMPARE(panel.point->text(), QStringLiteral("p1"));
    // A relative folder would land beside the station's working folder.
    QCOMPARE(ask("#folder=../../elsewhere"), ready);
    QCOMPARE(m_prompt->titles(), (QStringList{"Remote Control Network's", "Folder error"}));
    QCOMPARE(panel.workFolder->text(), folder);
    QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("../../elsewhere"))));

    QCOMPARE(ask("#fr=2"), ready);
    QCOMPARE(ask("#start"), ready);
    QCOMPARE(WindowDriver::statusAfterCapture(m_client), readyDone + ready);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(m_dir->filePath("a")).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(folder).entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 2);

    // The user cannot type such names either.
    QLineEdit* prefix = panel.prefix;
    prefix->clear();
    QTest::keyClicks(prefix, QStringLiteral("a/../b\\c\t"));
    QCOMPARE(prefix->text(), QStringLiteral("a.bc"));

    // Not a number: 0, which the box clamps to its minimum.
    QCOMPARE(ask("#exp=inf"), ready);
    QCOMPARE(panel.exposure->value(), panel.exposure->minimum());
}

// A console's "#start" without a work folder starts nothing and opens no box
// that would hold the station; the user's button still explains in a box.
void LumiCamRemoteTest::startWithoutFolder()
{
    enableRemote();
    Lumi_cam& window = *m_window;
    QVERIFY(WindowDriver::pick(window, QStringLiteral("127.0.0.1")));
    QVERIFY(window.sidePanel().workFolder->text().isEmpty());
    QCOMPARE(ask("#preview"), ready);
    QCOMPARE(ask(QByteArray("#start\0", 7)), preview);
    QVERIFY(!window.isCapturing());
    QVERIFY(window.isPreviewing());
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("No work folder is set: the capture was not started."));
    QCOMPARE(ask("#status"), preview);
    QCOMPARE(m_prompt->titles(), QStringList{"Remote Control Network's"});

    QCOMPARE(ask(QByteArray("#nopreview\0\0\0", 13)), preview);
    action(window, "actionCapture")->setChecked(true);
    QCOMPARE(m_prompt->titles(), (QStringList{"Remote Control Network's", "Capture"}));
    QVERIFY(!window.isCapturing());
}

QTEST_MAIN(LumiCamRemoteTest)
#include "tst_LumiCamRemote.moc"
