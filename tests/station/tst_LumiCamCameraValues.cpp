#include "LogLines.h"
#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SidePanel.h"
#include "SimulatedCamera.h"
#include "TestFrames.h"
#include "WindowDriver.h"
#include "camera/Thread.h"
#include "frames/PixelConversion.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

// What the window, its settings dialogs and the capture sidecar say is what
// the camera has: on a simulated camera that lacks features or refuses writes.
class LumiCamCameraValuesTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedDialogWritesShowTheCamerasValues();
    void sidecarRecordsWhatTheCameraTook_data();
    void sidecarRecordsWhatTheCameraTook();
    void sizeLabelFollowsTheFrames();
    void averageGreensSetsTheProcessWideFlag();
};

using WindowDriver::Station;
using WindowDriver::combo;
using WindowDriver::dialog;

// A refused write leaves the box on the camera's value (or on none, for a
// feature the camera lacks) and the status bar names the feature; a write the
// camera takes stays shown.
void LumiCamCameraValuesTest::refusedDialogWritesShowTheCamerasValues()
{
    SimulatedCameraOptions options;
    options.missingFeatures = {"FlatFieldCorrection"};
    options.refusedFeatures = {"BlackLevelCorrection", "OUT1Selector"};
    Station s(options);
    QVERIFY(s.connect());
    QStatusBar* status = s.window.statusBar();

    s.action("actionSensor_Settings")->trigger();
    QWidget* sensor = dialog("sensorSettingsDialog");
    QVERIFY(sensor && sensor->isVisible());
    QComboBox* flatField = combo(sensor, "comboBox_5");
    QComboBox* blackLevel = combo(sensor, "comboBox_11");
    QComboBox* smear = combo(sensor, "comboBox_10");
    QCOMPARE(flatField->currentIndex(), -1); // the camera has none to show
    QCOMPARE(blackLevel->currentText(), QStringLiteral("Off"));

    flatField->setCurrentIndex(flatField->findText(QStringLiteral("On")));
    QCOMPARE(flatField->currentIndex(), -1);
    QCOMPARE(status->currentMessage(), QStringLiteral("The camera refused FlatFieldCorrection"));
    blackLevel->setCurrentIndex(blackLevel->findText(QStringLiteral("On")));
    QCOMPARE(blackLevel->currentText(), QStringLiteral("Off"));
    QCOMPARE(status->currentMessage(), QStringLiteral("The camera refused BlackLevelCorrection"));
    status->clearMessage();
    smear->setCurrentIndex(smear->findText(QStringLiteral("Advanced")));
    QCOMPARE(smear->currentText(), QStringLiteral("Advanced"));
    QVERIFY(status->currentMessage().isEmpty());
    // Opened again, the dialog reads the camera: the taken setting is there.
    sensor->close();
    s.action("actionSensor_Settings")->trigger();
    QCOMPARE(smear->currentText(), QStringLiteral("Advanced"));
    QCOMPARE(blackLevel->currentText() + flatField->currentText(), QStringLiteral("Off"));
    sensor->close();

    s.action("actionInput_Ouput_Signals")->trigger();
    QWidget* io = dialog("ioSettingsDialog");
    QVERIFY(io && io->isVisible());
    QComboBox* signal = combo(io, "comboBox_2");
    QComboBox* polarity = combo(io, "comboBox");
    QCOMPARE(signal->currentText(), QStringLiteral("ExposureWindow (Trigger)"));
    signal->setCurrentIndex(signal->findText(QStringLiteral("ExposureStart (Trigger)")));
    QCOMPARE(signal->currentText(), QStringLiteral("ExposureWindow (Trigger)"));
    QCOMPARE(status->currentMessage(), QStringLiteral("The camera refused OUT1Selector"));
    polarity->setCurrentIndex(polarity->findText(QStringLiteral("ActiveLow")));
    io->close();
    s.action("actionInput_Ouput_Signals")->trigger();
    QCOMPARE(signal->currentText() + polarity->currentText(), QStringLiteral("ExposureWindow (Trigger)ActiveLow"));
    QVERIFY(s.prompt.shown.isEmpty());
}

void LumiCamCameraValuesTest::sidecarRecordsWhatTheCameraTook_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("standardOnly"); // the camera has the standard exposure feature only
    QTest::addColumn<double>("exposure");
    // The user asks for 1000 us; the camera starts at 10000 us.
    QTest::newRow("taken") << false << false << 1000.0;
    QTest::newRow("refused") << true << false << 10000.0;
    QTest::newRow("standard feature") << false << true << 1000.0;
}

// The exposure box, the status bar and the sidecar tell the exposure the
// camera took.
void LumiCamCameraValuesTest::sidecarRecordsWhatTheCameraTook()
{
    QFETCH(bool, refused);
    QFETCH(bool, standardOnly);
    QFETCH(double, exposure);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), 2, QStringLiteral("run")));
    SimulatedCameraOptions options;
    if (refused)
        options.refusedFeatures = {"ExposureTimeRaw"}; // and the float exposure on its register
    if (standardOnly)
        options.missingFeatures = {"ExposureTimeRaw"};
    const LogLines log("kessane.station.shell");
    Station s(options);
    QVERIFY(s.connect());
    // The connection shows the camera's exposure; the user asks for 1000 us.
    s.window.sidePanel().exposure->setValue(1000);
    QCOMPARE(s.window.sidePanel().exposure->value(), exposure);
    QCOMPARE(s.window.statusBar()->currentMessage(),
             refused ? QStringLiteral("The camera refused ExposureTimeRaw") : QString());
    QCOMPARE(log.count(QStringLiteral("changeExposure: The camera refused ExposureTimeRaw: the first;")), int(refused));
    if (refused) {
        // As a two-gate capture writes it at every frame: the refusal is
        // shown each time, but logged only once, then as a count.
        for (int i = 0; i < 50; ++i) {
            s.window.statusBar()->clearMessage();
            s.window.sidePanel().exposure->setValue(1000 + 1000 * (i % 2));
            QCOMPARE(s.window.statusBar()->currentMessage(), QStringLiteral("The camera refused ExposureTimeRaw"));
        }
    }
    QCOMPARE(log.count(QStringLiteral("refused")), int(refused));

    s.action("actionCapture")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(s.window.stationState().captureDone, WindowDriver::PatienceMs);
    QSettings sidecar(QDir(folder.path()).filePath(QStringLiteral("run.settings")), QSettings::IniFormat);
    QCOMPARE(sidecar.value(QStringLiteral("Camera/Exposure")).toString(), QStringLiteral("%1us").arg(exposure));
    QCOMPARE(sidecar.value(QStringLiteral("Camera/Cam_IP")).toString(), QStringLiteral("127.0.0.1"));
}

// The size label names the frames' size: after a binning change, and for a
// frame of another size than the camera's image.
void LumiCamCameraValuesTest::sizeLabelFollowsTheFrames()
{
    Station s;
    QVERIFY(s.connect());
    QCOMPARE(s.label("sizeLabel"), QStringLiteral("640x480"));
    // A frame of a size the camera was not asked for is named too.
    s.window.showSignal(1, makeFrame16(8, 4, std::vector<uint16_t>(32, 100)));
    QCOMPARE(s.label("sizeLabel"), QStringLiteral("8x4"));

    QSize lastFrame;
    QObject context;
    connect(s.window.acquisitionThread(), &Thread::imageReady, &context,
            [&](unsigned long long, FrameRef frame) { lastFrame = QSize(int(frame->width), int(frame->height)); });

    s.action("actionSensor_Settings")->trigger();
    QWidget* sensor = dialog("sensorSettingsDialog");
    QVERIFY(sensor);
    QComboBox* binning = combo(sensor, "comboBox_4");
    for (const QString& factor : {QStringLiteral("x2"), QStringLiteral("x1")}) {
        binning->setCurrentIndex(binning->findText(factor));
        lastFrame = QSize();
        s.action("actionRun")->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(lastFrame.isValid(), WindowDriver::PatienceMs);
        const QString expected = factor == QLatin1String("x2") ? QStringLiteral("804x604") : QStringLiteral("1608x1208");
        QCOMPARE(QStringLiteral("%1x%2").arg(lastFrame.width()).arg(lastFrame.height()), expected);
        // Once the window has shown one.
        QTRY_COMPARE_WITH_TIMEOUT(s.label("sizeLabel"), expected, WindowDriver::PatienceMs);
        s.action("actionRun")->setChecked(false);
    }
    sensor->close();
}

// The menu's "Average Green's" sets the one flag the plane extractors' callers read.
void LumiCamCameraValuesTest::averageGreensSetsTheProcessWideFlag()
{
    Station s;
    QVERIFY(!greenAveraging());
    s.action("actionAverage_Green_s")->setChecked(true);
    QVERIFY(greenAveraging());
    s.action("actionAverage_Green_s")->setChecked(false);
    QVERIFY(!greenAveraging());
}

QTEST_MAIN(LumiCamCameraValuesTest)
#include "tst_LumiCamCameraValues.moc"
