#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SidePanel.h"
#include "camera/camSearchDlg.h"
#include "frames/CustomScene.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

// The station started with no camera on the network: the window as the user
// first sees it, the side panel restored from the stored settings, and the
// close confirmation.
class LumiCamStartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsDisconnectedWithSearchOpen();
    void sidePanelRestoredAndClamped();
    void controlsWaitForCamera();
    void closeConfirmation_data();
    void closeConfirmation();
    void exposureUnitSwitch_data();
    void exposureUnitSwitch();
};

namespace {

QAction* action(const QWidget& window, const char* name)
{
    auto* found = window.findChild<QAction*>(QLatin1String(name));
    if (!found)
        qFatal("no action %s", name);
    return found;
}

QString labelText(const QWidget& window, const char* name)
{
    const auto* label = window.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label>");
}

int cameraRows(const camSearchDlg& dialog)
{
    const auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    const QAbstractItemModel* model = tree ? tree->model() : nullptr;
    int rows = 0;
    for (int i = 0; model && i < model->rowCount(); ++i)
        rows += model->rowCount(model->index(i, 0));
    return rows;
}

} // namespace

void LumiCamStartupTest::initTestCase()
{
    // The station's native store, as a user's earlier runs left it.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                        + QStringLiteral("/Kessane");
    QVERIFY(QDir().mkpath(dir));
    QFile file(dir + QStringLiteral("/Lumivar.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\n"
               "LAST_EXP=5\n"
               "LAST_CNT_G1=500000\n"
               "LAST_DLY_G2=45\n"
               "LAST_FRM=250\n"
               "LAST_AVG=4\n"
               "LAST_TRG=0\n"
               "LAST_PRT=shot_9\n");
}

void LumiCamStartupTest::startsDisconnectedWithSearchOpen()
{
    ScriptedPrompt prompt;
    Lumi_cam window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
    QCOMPARE(labelText(window, "connectionLabel"), QStringLiteral("Disconnected"));
    QVERIFY(!window.isConnected());
    QCOMPARE(window.acquisitionThread(), nullptr);

    auto* dialog = window.findChild<camSearchDlg*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isModal());
    QCOMPARE(cameraRows(*dialog), 0);
    QVERIFY(action(window, "actionOpenCam")->isChecked());
    QVERIFY(prompt.shown.isEmpty());

    // Closing the empty search unchecks the connect action and stays disconnected.
    dialog->close();
    QVERIFY(!action(window, "actionOpenCam")->isChecked());
    QCOMPARE(labelText(window, "connectionLabel"), QStringLiteral("Disconnected"));
    QVERIFY(!window.isConnected());
}

void LumiCamStartupTest::sidePanelRestoredAndClamped()
{
    ScriptedPrompt prompt;
    Lumi_cam window;
    const SidePanel& panel = window.sidePanel();
    QCOMPARE(panel.exposure->value(), 10.0);      // 5 is below the range
    QCOMPARE(panel.gate[0].count->value(), 131071); // above the range
    QCOMPARE(panel.gate[1].count->value(), 1000);
    QCOMPARE(panel.gate[0].delay->text(), QStringLiteral("0"));
    QCOMPARE(panel.gate[1].delay->text(), QStringLiteral("45"));
    QCOMPARE(panel.gate[0].exposure->text(), QStringLiteral("30"));
    QCOMPARE(panel.gate[1].ledWidth->text(), QStringLiteral("30"));
    QCOMPARE(panel.frames->value(), 250);
    QCOMPARE(panel.average->value(), 4);
    QVERIFY(!panel.extTrigger->isChecked());
    QCOMPARE(panel.prefix->text(), QStringLiteral("shot_9"));
    QCOMPARE(panel.point->text(), QStringLiteral("point_0"));
    QCOMPARE(panel.workFolder->text(), QString());
    QVERIFY(panel.workFolder->isReadOnly());
    QCOMPARE(panel.workFolder->width(), 400);

    // The file bar sits on a tool-bar row of its own and holds the file widgets.
    auto* files = window.findChild<QToolBar*>(QStringLiteral("toolBarFiles"));
    QVERIFY(files);
    QVERIFY(window.toolBarBreak(files));
    QVERIFY(files->isAncestorOf(panel.prefix));
    QVERIFY(files->isAncestorOf(panel.multipage));
}

void LumiCamStartupTest::controlsWaitForCamera()
{
    ScriptedPrompt prompt;
    Lumi_cam window;
    for (const char* name : {"actionRun", "actionCapture", "actionTurbo", "actionLUT", "actionTrigger",
                             "actionShow_Quantum_Efficiency", "actionCamera_Info", "actionGates",
                             "actionSet_Camera_Name", "actionReboot_Camera", "actionSensor_Settings",
                             "actionInput_Ouput_Signals", "actionLifetime_mode", "actionPulseWidth",
                             "actionSChannel", "actionRChannel", "actionReset_Camera", "actionDistortion"})
        QVERIFY2(!action(window, name)->isEnabled(), name);
    for (const char* name : {"actionOpenCam", "actionExit", "actionHelp", "actionAbout", "actionZoomIn",
                             "actionPlotProfile", "actionRemote_Control", "actionFocus"})
        QVERIFY2(action(window, name)->isEnabled(), name);
    QVERIFY(!window.findChild<QToolBar*>(QStringLiteral("toolBarCam"))->isEnabled());
    QVERIFY(action(window, "actionSChannel")->isChecked());
    // The exposure box starts in microseconds, and the unit actions agree.
    QVERIFY(action(window, "actionUs")->isChecked());
    QVERIFY(!action(window, "actionMs")->isChecked());
    QCOMPARE(window.sidePanel().exposureLabel->text(), QStringLiteral("Exposure (us)"));
    QVERIFY(action(window, "actionRadiometric_Mode")->isChecked());

    // The three modes exclude each other.
    action(window, "actionDouble_Framing_Mode")->setChecked(true);
    QVERIFY(!action(window, "actionRadiometric_Mode")->isChecked());

    const SidePanel& panel = window.sidePanel();
    for (QWidget* w : {static_cast<QWidget*>(panel.exposure), static_cast<QWidget*>(panel.exposureLabel),
                       static_cast<QWidget*>(panel.gateLabel[1]), static_cast<QWidget*>(panel.gate[1].count),
                       static_cast<QWidget*>(panel.gate[0].ledWidth), static_cast<QWidget*>(panel.folderChooser),
                       static_cast<QWidget*>(panel.splitColors), static_cast<QWidget*>(panel.multipage)})
        QVERIFY(!w->isEnabled());
    // Frames and averaging sit on the camera tool bar, which waits for a
    // camera; they themselves stay enabled.
    const QToolBar* cameraBar = window.findChild<QToolBar*>(QStringLiteral("toolBarCam"));
    QVERIFY(cameraBar->isAncestorOf(panel.frames));
    QVERIFY(panel.frames->isEnabledTo(cameraBar));
    QVERIFY(panel.average->isEnabledTo(cameraBar));
    QVERIFY(panel.prefix->isEnabled());
}

void LumiCamStartupTest::closeConfirmation_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("viaExitAction");
    QTest::newRow("No keeps the window") << false << false;
    QTest::newRow("Yes closes") << true << false;
    QTest::newRow("Exit action asks too") << false << true;
}

void LumiCamStartupTest::closeConfirmation()
{
    QFETCH(bool, answer);
    QFETCH(bool, viaExitAction);

    ScriptedPrompt prompt;
    Lumi_cam window;
    window.findChild<camSearchDlg*>()->close();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    action(window, "actionPlotProfile")->setChecked(true);
    QVERIFY(window.scene()->lineMode());
    prompt.questionAnswers << answer;
    if (viaExitAction)
        action(window, "actionExit")->trigger();
    else
        window.close();

    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("warning question"));
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Kessane Lumivar"));
    QCOMPARE(prompt.shown[0].text, QStringLiteral("Are you sure you want to quit?"));
    QCOMPARE(window.isVisible(), !answer);
    QVERIFY(!window.isConnected());
    // Line-profile mode ends whatever the answer.
    QVERIFY(!window.scene()->lineMode());
    QVERIFY(!action(window, "actionPlotProfile")->isChecked());
}

void LumiCamStartupTest::exposureUnitSwitch_data()
{
    QTest::addColumn<double>("microseconds");
    QTest::addColumn<double>("milliseconds");
    QTest::addColumn<double>("back");
    QTest::newRow("100000 us") << 100000.0 << 100.0 << 100000.0;
    // Above the millisecond box's old microsecond maximum: never clamped
    // through the range of the unit being left.
    QTest::newRow("16777215 us") << 16777215.0 << 16777.0 << 16777000.0;
    QTest::newRow("10 us") << 10.0 << 0.0 << 10.0;
    // To the nearest millisecond, not cut down to the one below.
    QTest::newRow("1600 us") << 1600.0 << 2.0 << 2000.0;
}

void LumiCamStartupTest::exposureUnitSwitch()
{
    QFETCH(double, microseconds);
    QFETCH(double, milliseconds);
    QFETCH(double, back);
    ScriptedPrompt prompt;
    Lumi_cam window;
    const SidePanel& panel = window.sidePanel();
    panel.exposure->setValue(microseconds);
    QCOMPARE(panel.exposure->value(), microseconds);

    action(window, "actionMs")->setChecked(true);
    QVERIFY(!action(window, "actionUs")->isChecked());
    QCOMPARE(panel.exposureLabel->text(), QStringLiteral("Exposure (ms)"));
    QCOMPARE(panel.exposure->value(), milliseconds);
    QCOMPARE(panel.exposure->maximum(), 16777.0);

    action(window, "actionUs")->setChecked(true);
    QVERIFY(!action(window, "actionMs")->isChecked());
    QCOMPARE(panel.exposureLabel->text(), QStringLiteral("Exposure (us)"));
    QCOMPARE(panel.exposure->value(), back);
    QCOMPARE(panel.exposure->maximum(), 16777215.0);
}

QTEST_MAIN(LumiCamStartupTest)
#include "tst_LumiCamStartup.moc"
