#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SidePanel.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camera/Thread.h"
#include "frames/CustomScene.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

// The camera's settings dialogs and the information and maintenance slots of
// the window, on the simulated camera.
class LumiCamMaintenanceTest : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl& url) { m_opened << url; }

private slots:
    void nothingWithoutCamera();
    void helpOpensTheLocalFile();
    void sensorDialogWritesAndReadsTheCamera();
    void outputLineDialog();
    void temperatureAndInformation();
    void cameraName();
    void workFolderWithCameraSubFolder();
    void rebootAndReset();
    void qePicture_data();
    void qePicture();

private:
    QList<QUrl> m_opened;
};

namespace {

const QString cameraIp = QStringLiteral("127.0.0.1");

QWidget* dialog(const char* objectName)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(objectName))
            return w;
    return nullptr;
}

QComboBox* combo(QWidget* dialog, const char* name)
{
    auto* box = dialog->findChild<QComboBox*>(QLatin1String(name));
    if (!box)
        qFatal("no combo box %s", name);
    return box;
}

QStringList entries(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

QString label(const QWidget& window, const char* name)
{
    return window.findChild<QLabel*>(QLatin1String(name))->text();
}

} // namespace

void LumiCamMaintenanceTest::nothingWithoutCamera()
{
    ScriptedPrompt prompt;
    prompt.questionAnswers << true << true;
    prompt.textAnswers << QStringLiteral("name");
    Lumi_cam window;
    window.showSensorDlg();
    window.showioDlg();
    window.camAbout();
    window.setCamName();
    window.rebootCamera();
    window.resetCamera();
    QVERIFY(!dialog("sensorSettingsDialog"));
    QVERIFY(!dialog("ioSettingsDialog"));
    QCOMPARE(prompt.shown.size(), 0);
    QVERIFY(!WindowDriver::action(window, "actionReset_Camera")->isEnabled());
}

void LumiCamMaintenanceTest::helpOpensTheLocalFile()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
    ScriptedPrompt prompt;
    Lumi_cam window;
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm");
    QFile::remove(path);

    window.help();
    QCOMPARE(prompt.titles(), QStringList{"Help"});
    QVERIFY(prompt.shown.last().text.contains(QLatin1String("was not found")));
    QVERIFY(m_opened.isEmpty());

    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const auto remove = qScopeGuard([&] { QFile::remove(path); });
    window.help();
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    QCOMPARE(prompt.shown.size(), 1);
}

void LumiCamMaintenanceTest::sensorDialogWritesAndReadsTheCamera()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(WindowDriver::pick(window, cameraIp));

    WindowDriver::action(window, "actionSensor_Settings")->trigger();
    QWidget* sensor = dialog("sensorSettingsDialog");
    QVERIFY(sensor && sensor->isVisible() && sensor->isModal());
    QComboBox* taps = combo(sensor, "comboBox");
    QComboBox* depth = combo(sensor, "comboBox_3");
    QComboBox* binning = combo(sensor, "comboBox_4");
    QCOMPARE(taps->currentText(), QStringLiteral("One"));
    QCOMPARE(entries(depth), (QStringList{"8-bit", "12-bit", "14-bit"}));
    QCOMPARE(depth->currentText(), QStringLiteral("14-bit"));
    QCOMPARE(binning->currentText(), QStringLiteral("x1"));
    QCOMPARE(window.sampleDepths().data, 14);

    // Two taps: the camera goes to 8 bits and the window follows.
    taps->setCurrentIndex(1);
    QCOMPARE(entries(depth), (QStringList{"8-bit", "12-bit"}));
    QCOMPARE(depth->currentText(), QStringLiteral("8-bit"));
    QCOMPARE(window.sampleDepths().display, 8);
    depth->setCurrentIndex(1);
    QCOMPARE(window.sampleDepths().data, 12);
    // Binning x2: the whole binned sensor, and the scene follows.
    binning->setCurrentIndex(1);
    QCOMPARE(window.scene()->sceneRect().size(), QSizeF(804, 604));
    QCOMPARE(window.getPayloadSize(), 804u * 604u * 2u);

    // Opened again, it shows what the camera holds, and tells it nothing.
    sensor->close();
    {
        const QSignalBlocker blockTaps(taps);
        const QSignalBlocker blockBinning(binning);
        taps->setCurrentIndex(-1);
        binning->setCurrentIndex(0);
    }
    WindowDriver::action(window, "actionSensor_Settings")->trigger();
    QCOMPARE(taps->currentText(), QStringLiteral("Two"));
    QCOMPARE(depth->currentText(), QStringLiteral("12-bit"));
    QCOMPARE(binning->currentText(), QStringLiteral("x2"));
    QCOMPARE(window.getPayloadSize(), 804u * 604u * 2u);

    // The read-out settings are locked while a run is on, even one that starts
    // with the dialog open.
    WindowDriver::action(window, "actionRun")->setChecked(true);
    QVERIFY(!taps->isEnabled() && !depth->isEnabled() && !binning->isEnabled());
    QVERIFY(combo(sensor, "comboBox_2")->isEnabled());
    WindowDriver::action(window, "actionRun")->setChecked(false);
    QVERIFY(taps->isEnabled() && depth->isEnabled() && binning->isEnabled());

    // The dialogs belong to the connection.
    WindowDriver::action(window, "actionOpenCam")->setChecked(false);
    QVERIFY(!dialog("sensorSettingsDialog"));
    window.showSensorDlg();
    QVERIFY(!dialog("sensorSettingsDialog"));
}

void LumiCamMaintenanceTest::outputLineDialog()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(WindowDriver::pick(window, cameraIp));

    WindowDriver::action(window, "actionInput_Ouput_Signals")->trigger();
    QWidget* io = dialog("ioSettingsDialog");
    QVERIFY(io && io->isVisible() && io->isModal());
    QCOMPARE(io->windowTitle(), QStringLiteral("Output Signals"));
    QComboBox* signal = combo(io, "comboBox_2");
    QComboBox* polarity = combo(io, "comboBox");
    // The connection's configuration.
    QCOMPARE(signal->currentText(), QStringLiteral("ExposureWindow (Trigger)"));
    QCOMPARE(polarity->currentText(), QStringLiteral("ActiveHigh"));

    signal->setCurrentIndex(signal->findText(QStringLiteral("Strobe1")));
    polarity->setCurrentIndex(polarity->findText(QStringLiteral("ActiveLow")));
    io->close();
    {
        const QSignalBlocker blockSignal(signal);
        const QSignalBlocker blockPolarity(polarity);
        signal->setCurrentIndex(0);
        polarity->setCurrentIndex(1);
    }
    WindowDriver::action(window, "actionInput_Ouput_Signals")->trigger();
    QCOMPARE(signal->currentIndex(), 12);
    QCOMPARE(signal->currentText(), QStringLiteral("Strobe1"));
    QCOMPARE(polarity->currentIndex(), 0);
}

void LumiCamMaintenanceTest::temperatureAndInformation()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(WindowDriver::pick(window, cameraIp));
    const QString degrees = QString(QChar(0xB0)) + QLatin1Char('C');

    // The idle thread reads the camera's temperature.
    QTRY_COMPARE_WITH_TIMEOUT(label(window, "temperatureLabel"), QStringLiteral("Camera: 40") + degrees, 10000);
    window.updateCamTemp(21);
    QCOMPARE(label(window, "temperatureLabel"), QStringLiteral("Camera: 21") + degrees);
    // During a run the label shows the stream errors.
    WindowDriver::action(window, "actionRun")->setChecked(true);
    window.updateCamTemp(33);
    QVERIFY(!label(window, "temperatureLabel").contains(QLatin1String("33")));
    WindowDriver::action(window, "actionRun")->setChecked(false);

    WindowDriver::action(window, "actionCamera_Info")->trigger();
    WindowDriver::action(window, "actionAbout")->trigger();
    QCOMPARE(prompt.titles(), (QStringList{"About Camera", "About"}));
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("about"));
    QCOMPARE(prompt.shown[0].text, QStringLiteral("<b>Camera Information</b><br>Firmware Version: 2 (build 517)<br>"
                                                  "XML Version: 3<br>IPEngine Version: 1.4.2"));
    QVERIFY(prompt.shown[1].text.contains(QLatin1String("(64-bit)")));
    QVERIFY(prompt.shown[1].text.contains(QLatin1String("Version 2.5.3 (Nov 28 2017)")));
}

void LumiCamMaintenanceTest::cameraName()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(WindowDriver::pick(window, cameraIp));
    QAction* rename = WindowDriver::action(window, "actionSet_Camera_Name");

    prompt.textAnswers << QStringLiteral("ABCDEFGHIJKLMNOP") << QStringLiteral("ABCDEFGHIJKLMNOPQ") << QString();
    rename->trigger(); // 16 characters: taken
    rename->trigger(); // 17: refused
    QCOMPARE(prompt.shown.size(), 3);
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Set camera name"));
    QCOMPARE(prompt.shown[0].text, QStringLiteral("New name:|SimCam"));
    QCOMPARE(prompt.shown[1].text, QStringLiteral("New name:|ABCDEFGHIJKLMNOP"));
    QCOMPARE(prompt.shown[2].kind, QStringLiteral("information"));
    QCOMPARE(prompt.shown[2].title, QStringLiteral("Error"));
    QCOMPARE(prompt.shown[2].text, QStringLiteral("Camera name should be less than 16 symbols"));

    // Cancelled: the identity is shown again, with the name of the last search.
    window.findChild<QLabel*>(QStringLiteral("connectionLabel"))->setText(QStringLiteral("stale"));
    window.setWindowTitle(QStringLiteral("stale"));
    rename->trigger();
    QCOMPARE(prompt.shown.last().text, QStringLiteral("New name:|ABCDEFGHIJKLMNOP"));
    QCOMPARE(label(window, "connectionLabel"), QStringLiteral("Connected: Tarnel-M  [SimCam]"));
    QCOMPARE(window.windowTitle(), QStringLiteral("[SimCam] - Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
}

void LumiCamMaintenanceTest::workFolderWithCameraSubFolder()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString first = root.filePath(QStringLiteral("first"));
    const QString second = root.filePath(QStringLiteral("second"));
    QVERIFY(QDir().mkpath(first) && QDir().mkpath(second));
    QFile blocker(root.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    SimulatedCameraOptions options;
    options.userName = "cam a";
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(WindowDriver::pick(window, cameraIp));
    WindowDriver::action(window, "actionCamera_name_subfolder")->setChecked(true);
    QToolButton* chooser = window.sidePanel().folderChooser;
    QSettings settings(QStringLiteral("Kessane"), QStringLiteral("Lumivar"));

    prompt.fileAnswers << first << QString() << QString() << blocker.fileName();
    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(prompt.shown.last().kind, QStringLiteral("directory"));
    QCOMPARE(prompt.shown.last().title, QStringLiteral("Select work directory"));
    QCOMPARE(window.sidePanel().workFolder->text(), first);
    QVERIFY(WindowDriver::action(window, "actionCapture")->isEnabled());
    QVERIFY(QFileInfo(first + QStringLiteral("/CAM_CAM.A")).isDir());
    QCOMPARE(settings.value(QStringLiteral("LAST_PTH")).toString(), first);

    // Cancelled: the folder stays, and is stored again; the chooser starts
    // where the user last chose.
    settings.remove(QStringLiteral("LAST_PTH"));
    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(prompt.shown.last().text, first);
    QCOMPARE(window.sidePanel().workFolder->text(), first);
    QCOMPARE(settings.value(QStringLiteral("LAST_PTH")).toString(), first);

    // "#folder=" moves the chooser's start too.
    QVERIFY(window.setWorkFolder(second));
    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(prompt.shown.last().text, second);

    // A sub-folder that cannot be made is reported.
    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(prompt.shown.last().kind, QStringLiteral("critical"));
    QCOMPARE(prompt.shown.last().title, QStringLiteral("Folder error"));
    QVERIFY(prompt.shown.last().text.contains(blocker.fileName() + QStringLiteral("/CAM_CAM.A")));
}

void LumiCamMaintenanceTest::rebootAndReset()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(WindowDriver::pick(window, cameraIp));
    QVERIFY(WindowDriver::action(window, "actionReset_Camera")->isEnabled());

    prompt.questionAnswers << false;
    WindowDriver::action(window, "actionReboot_Camera")->trigger();
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("critical question"));
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Kessane Lumivar"));
    QCOMPARE(prompt.shown[0].text, QStringLiteral("Are you sure you want to reboot this camera?"));
    QVERIFY(prompt.shown[0].defaultNo);
    QVERIFY(window.isConnected() && window.acquisitionThread());

    struct Case
    {
        const char* action;
        const char* question;
    };
    for (const Case c : {Case{"actionReboot_Camera", "Are you sure you want to reboot this camera?"},
                         Case{"actionReset_Camera", "Are you sure you want to reset camera's circuitry?"}}) {
        if (!window.isConnected()) {
            WindowDriver::action(window, "actionOpenCam")->setChecked(true);
            QVERIFY(WindowDriver::pick(window, cameraIp));
        }
        WindowDriver::action(window, "actionRun")->setChecked(true);
        QVERIFY(window.isPreviewing());
        prompt.questionAnswers << true;
        WindowDriver::action(window, c.action)->trigger();
        QCOMPARE(prompt.shown.last().text, QLatin1String(c.question));
        QVERIFY(!window.isConnected());
        QVERIFY(!window.acquisitionThread());
        QVERIFY(!window.isPreviewing());
        QVERIFY(!WindowDriver::action(window, "actionRun")->isChecked());
        QVERIFY(!WindowDriver::action(window, "actionOpenCam")->isChecked());
        QCOMPARE(label(window, "connectionLabel"), QStringLiteral("Disconnected"));
        QVERIFY(!WindowDriver::action(window, "actionReset_Camera")->isEnabled());
    }
}

void LumiCamMaintenanceTest::qePicture_data()
{
    QTest::addColumn<int>("ccdType");
    QTest::addColumn<QString>("title");
    QTest::newRow("colour") << 12 << "Color Quantum Efficiency";
    QTest::newRow("monochrome") << 0 << "Monochrome Quantum Efficiency ";
}

void LumiCamMaintenanceTest::qePicture()
{
    QFETCH(int, ccdType);
    QFETCH(QString, title);
    SimulatedCameraOptions options;
    options.ccdType = ccdType;
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    ScriptedPrompt prompt;
    Lumi_cam window;
    QVERIFY(WindowDriver::pick(window, cameraIp));
    WindowDriver::action(window, "actionShow_Quantum_Efficiency")->trigger();
    auto* box = window.findChild<QMessageBox*>();
    QVERIFY(box && box->isVisible() && !box->isModal());
    QCOMPARE(box->windowTitle(), title);
}

QTEST_MAIN(LumiCamMaintenanceTest)
#include "tst_LumiCamMaintenance.moc"
