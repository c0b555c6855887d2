#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SidePanel.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
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
    void nothingWithoutCameraAndHelp();
    void settingsDialogs();
    void temperatureInformationAndName();
    void workFolderWithCameraSubFolder();
    void rebootAndReset();
    void colourQePicture();

private:
    QList<QUrl> m_opened;
};

using WindowDriver::Station;
using WindowDriver::combo;
using WindowDriver::dialog;

namespace {

// Shows another entry without telling the camera.
void stale(QComboBox* box, int index)
{
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

} // namespace

void LumiCamMaintenanceTest::nothingWithoutCameraAndHelp()
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
    QVERIFY(!dialog("sensorSettingsDialog") && !dialog("ioSettingsDialog"));
    QCOMPARE(prompt.shown.size(), 0);

    // Help: the file beside the program, as a local-file URL.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm");
    QFile::remove(path);
    window.help();
    QCOMPARE(prompt.titles(), QStringList{"Help"});
    QVERIFY(m_opened.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const auto remove = qScopeGuard([&] { QFile::remove(path); });
    window.help();
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    QCOMPARE(prompt.shown.size(), 1);
}

void LumiCamMaintenanceTest::settingsDialogs()
{
    Station s;
    QVERIFY(s.connect());
    s.action("actionSensor_Settings")->trigger();
    QWidget* sensor = dialog("sensorSettingsDialog");
    QVERIFY(sensor && sensor->isVisible() && sensor->isModal());
    QComboBox* taps = combo(sensor, "comboBox");
    QComboBox* depth = combo(sensor, "comboBox_3");
    QComboBox* binning = combo(sensor, "comboBox_4");
    QCOMPARE(taps->currentText() + depth->currentText() + binning->currentText(), QStringLiteral("One14-bitx1"));

    // Two taps: the camera goes to 8 bits and the window follows; then 12 bits.
    taps->setCurrentIndex(1);
    QCOMPARE(depth->count(), 2);
    QCOMPARE(s.window.sampleDepths().display, 8);
    depth->setCurrentIndex(1);
    QCOMPARE(s.window.sampleDepths().data, 12);
    // Binning x2: the whole binned sensor, and the scene follows.
    binning->setCurrentIndex(1);
    QCOMPARE(s.window.scene()->sceneRect().size(), QSizeF(804, 604));

    // Opened again, it shows what the camera holds and tells it nothing.
    sensor->close();
    stale(taps, -1);
    stale(binning, 0);
    s.action("actionSensor_Settings")->trigger();
    QCOMPARE(taps->currentText() + depth->currentText() + binning->currentText(), QStringLiteral("Two12-bitx2"));
    QCOMPARE(s.window.getPayloadSize(), 804u * 604u * 2u);

    // The read-out settings are locked while a run is on, even one that
    // starts with the dialog open.
    s.action("actionRun")->setChecked(true);
    QVERIFY(!taps->isEnabled() && !depth->isEnabled() && !binning->isEnabled());
    QVERIFY(combo(sensor, "comboBox_2")->isEnabled());
    s.action("actionRun")->setChecked(false);
    QVERIFY(taps->isEnabled() && depth->isEnabled() && binning->isEnabled());
    sensor->close();

    // Output line: the connection's "ExposureWindow", "ActiveHigh", then the user's choice.
    s.action("actionInput_Ouput_Signals")->trigger();
    QWidget* io = dialog("ioSettingsDialog");
    QVERIFY(io && io->isVisible() && io->isModal());
    QComboBox* signal = combo(io, "comboBox_2");
    QComboBox* polarity = combo(io, "comboBox");
    QCOMPARE(signal->currentText(), QStringLiteral("ExposureWindow (Trigger)"));
    QCOMPARE(polarity->currentText(), QStringLiteral("ActiveHigh"));
    signal->setCurrentIndex(signal->findText(QStringLiteral("Strobe1")));
    polarity->setCurrentIndex(polarity->findText(QStringLiteral("ActiveLow")));
    io->close();
    stale(signal, 0);
    stale(polarity, 1);
    s.action("actionInput_Ouput_Signals")->trigger();
    QCOMPARE(signal->currentIndex(), 12);
    QCOMPARE(polarity->currentIndex(), 0);

    // The dialogs belong to the connection.
    s.action("actionOpenCam")->setChecked(false);
    QVERIFY(!dialog("sensorSettingsDialog") && !dialog("ioSettingsDialog"));
}

void LumiCamMaintenanceTest::temperatureInformationAndName()
{
    Station s;
    QVERIFY(s.connect());
    const QString degrees = QString(QChar(0xB0)) + QLatin1Char('C');

    // The idle thread reads the camera's temperature; during a run the label
    // shows the stream errors.
    QTRY_COMPARE_WITH_TIMEOUT(s.label("temperatureLabel"), QStringLiteral("Camera: 40") + degrees,
                              WindowDriver::PatienceMs);
    s.action("actionRun")->setChecked(true);
    s.window.updateCamTemp(33);
    QVERIFY(!s.label("temperatureLabel").contains(QLatin1String("33")));
    s.action("actionRun")->setChecked(false);

    s.action("actionCamera_Info")->trigger();
    QCOMPARE(s.prompt.shown.last().title, QStringLiteral("About Camera"));
    QCOMPARE(s.prompt.shown.last().text, QStringLiteral("<b>Camera Information</b><br>Firmware Version: 2 (build 517)"
                                                        "<br>XML Version: 3<br>IPEngine Version: 1.4.2"));
    s.action("actionShow_Quantum_Efficiency")->trigger();
    auto* qe = s.window.findChild<QMessageBox*>();
    QVERIFY(qe->isVisible() && !qe->isModal());
    QCOMPARE(qe->windowTitle(), QStringLiteral("Monochrome Quantum Efficiency "));

    // 16 characters are taken, 17 refused; a cancel still shows the identity,
    // with the name of the last search.
    s.prompt.shown.clear();
    s.prompt.textAnswers << QStringLiteral("ABCDEFGHIJKLMNOP") << QStringLiteral("ABCDEFGHIJKLMNOPQ") << QString();
    QAction* rename = s.action("actionSet_Camera_Name");
    rename->trigger();
    rename->trigger();
    s.window.setWindowTitle(QStringLiteral("stale"));
    rename->trigger();
    QCOMPARE(s.prompt.titles(), (QStringList{"Set camera name", "Set camera name", "Error", "Set camera name"}));
    QCOMPARE(s.prompt.shown[0].text, QStringLiteral("New name:|SimCam"));
    QCOMPARE(s.prompt.shown[2].text, QStringLiteral("Camera name should be less than 16 symbols"));
    QCOMPARE(s.prompt.shown[3].text, QStringLiteral("New name:|ABCDEFGHIJKLMNOP"));
    QCOMPARE(s.label("connectionLabel"), QStringLiteral("Connected: Tarnel-M  [SimCam]"));
    QCOMPARE(s.window.windowTitle(), QStringLiteral("[SimCam] - Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
}

void LumiCamMaintenanceTest::workFolderWithCameraSubFolder()
{
    QTemporaryDir root;
    const QString first = root.filePath(QStringLiteral("first"));
    const QString second = root.filePath(QStringLiteral("second"));
    const QString blocker = root.filePath(QStringLiteral("blocker"));
    QVERIFY(QDir().mkpath(first) && QDir().mkpath(second));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    SimulatedCameraOptions options;
    options.userName = "cam a";
    Station s(options);
    QVERIFY(s.connect());
    s.action("actionCamera_name_subfolder")->setChecked(true);
    QToolButton* chooser = s.window.sidePanel().folderChooser;
    QSettings settings(QStringLiteral("Kessane"), QStringLiteral("Lumivar"));
    s.prompt.fileAnswers << first << QString() << QString() << blocker;

    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(s.prompt.shown.last().title, QStringLiteral("Select work directory"));
    QCOMPARE(s.window.sidePanel().workFolder->text(), first);
    QVERIFY(s.action("actionCapture")->isEnabled());
    QVERIFY(QFileInfo(first + QStringLiteral("/CAM_CAM.A")).isDir());
    QCOMPARE(settings.value(QStringLiteral("LAST_PTH")).toString(), first);

    // Cancelled: the folder stays and is stored again; the chooser starts
    // where the user last chose, or where "#folder=" went.
    settings.remove(QStringLiteral("LAST_PTH"));
    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(s.prompt.shown.last().text, first);
    QCOMPARE(s.window.sidePanel().workFolder->text(), first);
    QCOMPARE(settings.value(QStringLiteral("LAST_PTH")).toString(), first);
    QVERIFY(s.window.setWorkFolder(second));
    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(s.prompt.shown.last().text, second);

    // A sub-folder that cannot be made is reported.
    QTest::mouseClick(chooser, Qt::LeftButton);
    QCOMPARE(s.prompt.shown.last().title, QStringLiteral("Folder error"));
    QVERIFY(s.prompt.shown.last().text.endsWith(blocker + QStringLiteral("/CAM_CAM.A")));
}

void LumiCamMaintenanceTest::rebootAndReset()
{
    Station s;
    QVERIFY(s.connect());
    s.prompt.questionAnswers << false;
    s.action("actionReboot_Camera")->trigger();
    QCOMPARE(s.prompt.shown.last().kind, QStringLiteral("critical question"));
    QCOMPARE(s.prompt.shown.last().title, QStringLiteral("Kessane Lumivar"));
    QVERIFY(s.prompt.shown.last().defaultNo);
    QVERIFY(s.window.isConnected() && s.window.acquisitionThread());
    QCOMPARE(s.camera.deviceResets(), 0u);

    // Yes during a preview: the run and the thread end, the camera is told,
    // then the station disconnects.
    struct Case
    {
        const char* action;
        const char* question;
        uint64_t deviceResets; // after the answer
        uint64_t headResets;
    };
    const Case cases[] = {{"actionReboot_Camera", "Are you sure you want to reboot this camera?", 1, 0},
                          {"actionReset_Camera", "Are you sure you want to reset camera's circuitry?", 1, 1}};
    for (const Case& c : cases) {
        if (!s.window.isConnected()) {
            s.action("actionOpenCam")->setChecked(true);
            QVERIFY(WindowDriver::pick(s.window, QStringLiteral("127.0.0.1")));
        }
        QVERIFY(s.action("actionReset_Camera")->isEnabled());
        s.action("actionRun")->setChecked(true);
        s.prompt.questionAnswers << true;
        s.action(c.action)->trigger();
        QCOMPARE(s.prompt.shown.last().text, QLatin1String(c.question));
        QCOMPARE(s.camera.deviceResets(), c.deviceResets);
        QCOMPARE(s.camera.headResets(), c.headResets);
        QVERIFY(!s.window.isConnected() && !s.window.acquisitionThread() && !s.window.isPreviewing());
        QVERIFY(!s.action("actionRun")->isChecked() && !s.action("actionOpenCam")->isChecked());
        QCOMPARE(s.label("connectionLabel"), QStringLiteral("Disconnected"));
    }
}

void LumiCamMaintenanceTest::colourQePicture()
{
    SimulatedCameraOptions options;
    options.ccdType = 12;
    Station s(options);
    QVERIFY(s.connect());
    s.action("actionShow_Quantum_Efficiency")->trigger();
    QCOMPARE(s.window.findChild<QMessageBox*>()->windowTitle(), QStringLiteral("Color Quantum Efficiency"));
}

QTEST_MAIN(LumiCamMaintenanceTest)
#include "tst_LumiCamMaintenance.moc"
