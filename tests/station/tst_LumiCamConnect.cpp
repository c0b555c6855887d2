#include "Lumi_cam.h"
#include "LogLines.h"
#include "RaiseRefused.h"
#include "ScriptedPrompt.h"
#include "SidePanel.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camera/camSearchDlg.h"
#include "camera/NqSystem.h"
#include "camera/Thread.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// Connecting the station to the simulated camera through the search dialog,
// disconnecting and connecting again, and the refusals.
class LumiCamConnectTest : public QObject
{
    Q_OBJECT

private slots:
    void connectDisconnectConnect_data();
    void connectDisconnectConnect();
    void acquisitionStartsAndStops();
    void destroyedWithFramesQueued();
    void cameraHeldElsewhereIsRefused();
    void closeWhileConnected();
    void receiverPriorityIsSaid();

private:
    void writeWorkFolder(const QString& folder);
};

using WindowDriver::PatienceMs;
using WindowDriver::action;
using WindowDriver::pick;

namespace {

const char* const cameraActions[] = {"actionRun", "actionTurbo", "actionLUT", "actionDScale", "actionTrigger",
                                     "actionShow_Quantum_Efficiency", "actionCamera_Info", "actionGates",
                                     "actionSet_Camera_Name", "actionReboot_Camera", "actionSensor_Settings",
                                     "actionInput_Ouput_Signals"};

QLabel* label(const QWidget& window, const char* name)
{
    return window.findChild<QLabel*>(QLatin1String(name));
}

bool isDisconnectedState(const Lumi_cam& window)
{
    if (window.isConnected() || window.acquisitionThread())
        return false;
    if (label(window, "connectionLabel")->text() != QLatin1String("Disconnected"))
        return false;
    if (window.findChild<QToolBar*>(QStringLiteral("toolBarCam"))->isEnabled())
        return false;
    for (const char* name : cameraActions)
        if (action(window, name)->isEnabled())
            return false;
    return !window.sidePanel().exposure->isEnabled() && !window.sidePanel().gate[0].count->isEnabled()
           && !window.sidePanel().folderChooser->isEnabled();
}

} // namespace

void LumiCamConnectTest::writeWorkFolder(const QString& folder)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                        + QStringLiteral("/Kessane");
    QVERIFY(QDir().mkpath(dir));
    QFile file(dir + QStringLiteral("/Lumivar.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[General]\nLAST_PTH=%1\n").arg(folder).toUtf8());
}

void LumiCamConnectTest::connectDisconnectConnect_data()
{
    QTest::addColumn<int>("ccdType");
    QTest::addColumn<QString>("workFolder");
    QTest::addColumn<QString>("connectionText");
    QTest::newRow("monochrome, no work folder") << 0 << QString() << "Connected: Tarnel-M  [SimCam]";
    QTest::newRow("colour, with work folder") << 12 << "captures/today" << "Connected: Tarnel-C  [SimCam]";
}

void LumiCamConnectTest::connectDisconnectConnect()
{
    QFETCH(int, ccdType);
    QFETCH(QString, workFolder);
    QFETCH(QString, connectionText);
    const QString folder = workFolder.isEmpty() ? QString() : QDir::current().absoluteFilePath(workFolder);
    writeWorkFolder(folder);

    SimulatedCameraOptions options;
    options.ccdType = ccdType;
    SimulatedCamera camera(options);
    QVERIFY(camera.start());

    ScriptedPrompt prompt;
    Lumi_cam window;
    window.show();
    const bool colour = ccdType == 12;

    for (int round = 0; round < 2; ++round) {
        QVERIFY2(pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");
        QVERIFY(!window.findChild<camSearchDlg*>()->isVisible());
        QVERIFY(action(window, "actionOpenCam")->isChecked());
        const Thread* thread = window.acquisitionThread();
        QVERIFY(thread);
        QVERIFY(thread->isRunning());

        QCOMPARE(window.windowTitle(), QStringLiteral("[SimCam] - Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
        QCOMPARE(label(window, "connectionLabel")->text(), connectionText);
        QCOMPARE(label(window, "connectionLabel")->toolTip(), QStringLiteral("127.0.0.1"));
        QVERIFY(window.findChild<QToolBar*>(QStringLiteral("toolBarCam"))->isEnabled());
        for (const char* name : cameraActions)
            QVERIFY2(action(window, name)->isEnabled(), name);
        QCOMPARE(action(window, "actionCapture")->isEnabled(), !folder.isEmpty());
        QCOMPARE(action(window, "actionLifetime_mode")->isEnabled(), !colour);
        QCOMPARE(action(window, "actionLifetime_mode")->text(), QStringLiteral("Switch to Lifetime"));
        QCOMPARE(action(window, "actionSChannel")->isEnabled(), colour);
        QCOMPARE(action(window, "actionRChannel")->isEnabled(), colour);
        QCOMPARE(action(window, "actionAverage_Green_s")->isEnabled(), colour);
        const SidePanel& panel = window.sidePanel();
        QCOMPARE(panel.splitColors->isChecked(), colour);
        QCOMPARE(panel.splitColors->isEnabled(), colour);
        QVERIFY(panel.exposure->isEnabled());
        QVERIFY(panel.gate[1].ledWidth->isEnabled());
        QVERIFY(panel.folderChooser->isEnabled());
        if (!folder.isEmpty())
            QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(window.getPayloadSize() >= 640u * 480u * 2u);

        // Disconnect through the connect action.
        action(window, "actionOpenCam")->setChecked(false);
        QVERIFY(isDisconnectedState(window));
        QCOMPARE(window.getPayloadSize(), 0u);
        // A capture action once enabled stays as it was when there is no folder.
        QCOMPARE(action(window, "actionCapture")->isEnabled(), false);

        // And search again.
        action(window, "actionOpenCam")->setChecked(true);
        QVERIFY(window.findChild<camSearchDlg*>()->isVisible());
    }
    for (const ScriptedPrompt::Shown& box : prompt.shown)
        QVERIFY2(box.text == QLatin1String("Can't set 9000 as packet size"), qPrintable(box.text));
}

void LumiCamConnectTest::acquisitionStartsAndStops()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(pick(window, QStringLiteral("127.0.0.1")));
    const Thread* thread = window.acquisitionThread();
    QVERIFY(thread);
    QCOMPARE(thread->framesReceived(), 0ull); // connected, but the camera is not acquiring

    window.startAcquisition();
    QTRY_VERIFY_WITH_TIMEOUT(thread->framesReceived() >= 3, PatienceMs);
    QCOMPARE(thread->errorCount(), 0ull);
    window.stopAcquisition();
    // Stopped, the camera finishes at most the frame it is sending; every
    // frame it sent before comes in.
    const unsigned long long sent = camera.framesSent();
    QTRY_VERIFY_WITH_TIMEOUT(thread->framesReceived() >= sent, PatienceMs);
    QTest::qWait(300);
    QVERIFY(camera.framesSent() <= sent + 1);
    const unsigned long long stopped = thread->framesReceived();

    // Disconnecting with frames still queued to the window lets them go
    // before the pipeline stops.
    window.startAcquisition();
    QTRY_VERIFY_WITH_TIMEOUT(thread->framesReceived() > stopped, PatienceMs);
    QThread::msleep(300); // frames pile up in the event queue
    action(window, "actionOpenCam")->setChecked(false);
    QVERIFY(isDisconnectedState(window));
    QCoreApplication::processEvents();

    // The camera can be taken again right away.
    action(window, "actionOpenCam")->setChecked(true);
    QVERIFY(pick(window, QStringLiteral("127.0.0.1")));
    QVERIFY(window.acquisitionThread());
    QCOMPARE(window.acquisitionThread()->framesReceived(), 0ull);
}

void LumiCamConnectTest::destroyedWithFramesQueued()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    {
        Lumi_cam window;
        QVERIFY(pick(window, QStringLiteral("127.0.0.1")));
        window.startAcquisition();
        QTRY_VERIFY_WITH_TIMEOUT(window.acquisitionThread()->framesReceived() > 0, PatienceMs);
        QThread::msleep(300); // frames pile up in the event queue
    } // the frames must not outlive the pipeline they came from
    NqDevice other;
    QVERIFY(other.Connect(NqString("127.0.0.1")).IsOK());
}

void LumiCamConnectTest::cameraHeldElsewhereIsRefused()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    NqSystem system;
    system.SetDetectionTimeout(500);
    QVERIFY(system.Find().IsOK());
    const NqDeviceInfo* info = nullptr;
    for (uint32_t i = 0; i < system.GetInterfaceCount() && !info; ++i)
        for (uint32_t j = 0; j < system.GetInterface(i)->GetDeviceCount(); ++j)
            if (system.GetInterface(i)->GetDeviceInfo(j)->GetIPAddress() == NqString("127.0.0.1"))
                info = system.GetInterface(i)->GetDeviceInfo(j);
    QVERIFY(info);

    ScriptedPrompt prompt;
    Lumi_cam window;
    // Another controller takes the camera after it was listed.
    camera.setControlPrivilege(2);
    window.connectCamera(info);

    QVERIFY(isDisconnectedState(window));
    QVERIFY(!action(window, "actionOpenCam")->isChecked());
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Warning"));
    QCOMPARE(prompt.shown[0].text, QStringLiteral("Selected camera is already in use!"));

    // Once free again the same camera connects.
    camera.setControlPrivilege(0);
    action(window, "actionOpenCam")->setChecked(true);
    QVERIFY(pick(window, QStringLiteral("127.0.0.1")));
    QVERIFY(window.isConnected());
}

void LumiCamConnectTest::closeWhileConnected()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    window.show();
    QVERIFY(pick(window, QStringLiteral("127.0.0.1")));
    QVERIFY(window.isConnected());

    // During an acquisition the question carries the critical icon.
    action(window, "actionRun")->setChecked(true);
    QTRY_VERIFY(window.isPreviewing());
    prompt.questionAnswers << false;
    window.close();
    QVERIFY(window.isVisible());
    QCOMPARE(prompt.shown.last().kind, QStringLiteral("critical question"));
    QCOMPARE(prompt.shown.last().text, QStringLiteral("Are you sure you want to close program during acquisition?"));
    action(window, "actionRun")->setChecked(false);

    prompt.questionAnswers << false << true;
    window.close();
    QVERIFY(window.isVisible());
    QVERIFY(window.isConnected());
    QVERIFY(window.acquisitionThread());

    window.close();
    QVERIFY(!window.isVisible());
    QVERIFY(isDisconnectedState(window));
    QCOMPARE(prompt.titles().filter(QStringLiteral("Kessane Lumivar")).size(), 3);

    // The camera is free for the next controller.
    NqDevice other;
    QVERIFY(other.Connect(NqString("127.0.0.1")).IsOK());
}

// Each stream the station opens says once whether its receiving thread runs
// above the station; where the system refused, how to grant it.
void LumiCamConnectTest::receiverPriorityIsSaid()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    const LogLines lines("kessane.station.shell");
    const bool mayRaise = threadMayRaiseTo(::getpriority(PRIO_PROCESS, id_t(::getpid())) - 10);
    for (int round = 1; round <= 2; ++round) {
        QVERIFY2(pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");
        QCOMPARE(lines.count(QStringLiteral("stream: receiving thread")), round);
        QCOMPARE(lines.count(QStringLiteral("stream: receiving thread raised")), mayRaise ? round : 0);
        QCOMPARE(lines.count(QStringLiteral("stream: to grant")), mayRaise ? 0 : round);
        action(window, "actionOpenCam")->setChecked(false);
        QVERIFY(isDisconnectedState(window));
        action(window, "actionOpenCam")->setChecked(true); // the search again
    }

    RaiseRefused refused;
    if (!refused.active())
        QSKIP("the raise cannot be taken away here");
    const int refusals = lines.count(QStringLiteral("stream: receiving thread not raised, the system refused it"));
    const int grants = lines.count(QStringLiteral("stream: to grant"));
    QVERIFY2(pick(window, QStringLiteral("127.0.0.1")), "the camera is not listed");
    QCOMPARE(lines.count(QStringLiteral("stream: receiving thread not raised, the system refused it")), refusals + 1);
    QCOMPARE(lines.count(QStringLiteral("stream: to grant")), grants + 1);
    QVERIFY(lines.has(QStringLiteral("setcap cap_sys_nice+ep")));
    QVERIFY(lines.has(QStringLiteral("/etc/security/limits.conf")));
    action(window, "actionOpenCam")->setChecked(false);
}

QTEST_MAIN(LumiCamConnectTest)
#include "tst_LumiCamConnect.moc"
