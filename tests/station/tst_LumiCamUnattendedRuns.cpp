#include "SidePanel.h"
#include "UnattendedStation.h"
#include "camera/Thread.h"
#include "runs/RunRules.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QSet>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

// A station that a console steers while nobody watches it, while its runs
// change under it: the mode and the trigger during a preview, a capture
// running past its target, an exposure sent during a capture or a preview.
// The station neither takes the camera for lost nor counts, stores or waits
// for what it should not.
class LumiCamUnattendedRunsTest : public QObject, private UnattendedStation
{
    Q_OBJECT

private slots:
    void init() { initStation(); }
    void cleanup() { cleanupStation(); }
    void silenceBoundFollowsModeChanges();
    void countsStopAtTheTarget();
    void exposureSentDuringACaptureWaitsForItsEnd();
    void stopAndANewerExposureInOneBlock();
    void longExposureDuringAPreview();
};

using WindowDriver::action;
using WindowDriver::PatienceMs;

// A preview in double framing (triggered: its stream is not watched), then
// radiometric and the trigger off: the camera free-runs from there, one frame
// every 4 s, longer than the exposure the station asked for. The bound
// follows the frame time the camera reports: it answers and sends, so it is
// never taken for lost. Frame accumulation at last: the camera waits for the
// generator's triggers, however long, and is not watched again.
void LumiCamUnattendedRunsTest::silenceBoundFollowsModeChanges()
{
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 5, QStringLiteral("run")));
    SimulatedCameraOptions options;
    options.frameRate = 0.25;
    startStation(options);
    Lumi_cam& window = *m_window;
    action(window, "actionDouble_Framing_Mode")->setChecked(true);
    QVERIFY(action(window, "actionTrigger")->isChecked());
    action(window, "actionRun")->setChecked(true);
    QCOMPARE(window.acquisitionThread()->silenceLimit(), 0u);
    action(window, "actionRadiometric_Mode")->setChecked(true);
    action(window, "actionTrigger")->setChecked(false);
    // Watched at once: 3 s beyond three of the camera's 4 s frames.
    QCOMPARE(window.acquisitionThread()->silenceLimit(), 15000u);
    const unsigned long long before = window.stationState().framesReceived;
    // Two frames: the stream was watched through a whole period (or the
    // camera was taken for lost, or a box came).
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= before + 2 || !window.isConnected()
                                 || !m_prompt->shown.isEmpty(),
                             PatienceMs);
    QVERIFY(window.isConnected());
    QVERIFY(window.isPreviewing());
    QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->titles().join(QLatin1Char(','))));

    PulseGeneratorSim generator;
    QVERIFY(generator.start());
    enterFrameAccumulation(generator);
    QVERIFY(window.isPreviewing());
    QCOMPARE(window.acquisitionThread()->silenceLimit(), 0u);
    action(window, "actionRun")->setChecked(false);
}

// The camera sends on until the station has stopped it: frames past the
// target are neither counted in the replies nor shown as a preview.
void LumiCamUnattendedRunsTest::countsStopAtTheTarget()
{
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 20, QStringLiteral("run")));
    SimulatedCameraOptions options;
    options.width = 320;
    options.height = 240;
    options.frameRate = 1000;
    startStation(options);
    Lumi_cam& window = *m_window;

    // What "#status" would answer, looked at every millisecond.
    quint64 mostCaptured = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, &window, [&] {
        const RemoteProtocol::StationState state = window.stationState();
        if (state.capturing)
            mostCaptured = std::max(mostCaptured, state.framesReceived);
    });
    watch.start(1);
    for (int capture = 0; capture < 3; ++capture) {
        QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
        QCOMPARE(WindowDriver::statusAfterCapture(*m_client), readyDone + ready);
        QVERIFY2(statusLabel().startsWith(QLatin1String("Captured: 20/20 ")), qPrintable(statusLabel()));
        qInfo() << "frames received:" << window.acquisitionThread()->framesReceived();
    }
    QCOMPARE(mostCaptured, 20ull);
}

// "#exp=" sent during a capture: every frame of it is taken at the exposure
// its settings file names, and the new one holds from its end. The user's
// trigger and mode switches are locked meanwhile.
void LumiCamUnattendedRunsTest::exposureSentDuringACaptureWaitsForItsEnd()
{
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 60, QStringLiteral("run")));
    startStation(SimulatedCameraOptions());
    Lumi_cam& window = *m_window;
    QCOMPARE(ask("#exp=10000"), ready);
    QTRY_COMPARE_WITH_TIMEOUT(cameraExposure(), 10000u, PatienceMs);
    QAction* trigger = action(window, "actionTrigger");
    QAction* mode = action(window, "actionFrame_Accumulation_Mode");
    QVERIFY(trigger->isEnabled() && mode->isEnabled());

    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= 10, PatienceMs);
    QVERIFY(ask("#exp=300").startsWith("Captured "));
    QVERIFY(!trigger->isEnabled() && !mode->isEnabled());
    QSet<uint32_t> during;
    while (window.isCapturing()) {
        during << cameraExposure();
        QTest::qWait(20);
    }
    QCOMPARE(during, QSet<uint32_t>{10000});
    QCOMPARE(WindowDriver::statusAfterCapture(*m_client), readyDone + ready);
    QTRY_COMPARE_WITH_TIMEOUT(cameraExposure(), 300u, PatienceMs);
    QCOMPARE(window.sidePanel().exposure->value(), 300.0);
    QVERIFY(trigger->isEnabled() && mode->isEnabled());

    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 60);
    const QSettings sidecar(m_dir->filePath(QStringLiteral("run.settings")), QSettings::IniFormat);
    QCOMPARE(sidecar.value(QStringLiteral("Camera/Exposure")).toString(), QStringLiteral("10000us"));
    QVERIFY(m_prompt->shown.isEmpty());
}

// "#exp=" held during a capture, then "#stop#exp=" in one block: the stop
// runs first, and the camera ends on the newer value.
void LumiCamUnattendedRunsTest::stopAndANewerExposureInOneBlock()
{
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 150, QStringLiteral("run")));
    startStation(SimulatedCameraOptions());
    Lumi_cam& window = *m_window;
    QCOMPARE(ask("#exp=10000"), ready);
    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= 5, 10000);
    QVERIFY(ask("#exp=300").startsWith("Captured "));
    QVERIFY(ask("#stop#exp=500").startsWith("Captured "));
    // Carried out after everything the stop may still run.
    ask("#fr=7");
    QTRY_COMPARE_WITH_TIMEOUT(window.sidePanel().frames->value(), 7, 10000);
    QCOMPARE(cameraExposure(), 500u);
    QCOMPARE(window.sidePanel().exposure->value(), 500.0);
}

// A 5 s exposure sent during a preview: the camera runs at its programmed 5 s
// frame time from the write of that frame time on, a second before the
// station writes the exposure; back to a short exposure, the 5 s frame under
// way still takes its time. The camera answers and sends all along, so it is
// never taken for lost.
void LumiCamUnattendedRunsTest::longExposureDuringAPreview()
{
    startStation(SimulatedCameraOptions());
    Lumi_cam& window = *m_window;
    QCOMPARE(ask("#exp=10000"), ready);
    QCOMPARE(ask(QByteArray("#preview\0", 9)), ready);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= 5, PatienceMs);

    QCOMPARE(ask("#exp=5000000"), preview);
    // The change waits 6 s for the frame time to settle; then frames come 5 s apart.
    QTRY_COMPARE_WITH_TIMEOUT(cameraExposure(), 5000000u, 15000);
    unsigned long long frames = window.stationState().framesReceived;
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= frames + 1, 15000);

    QCOMPARE(ask("#exp=10000"), preview);
    frames = window.stationState().framesReceived;
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= frames + 25, 20000);
    // The limit comes down once the camera reports its frame time short again.
    QTRY_COMPARE_WITH_TIMEOUT(window.acquisitionThread()->silenceLimit(), RunRules::silenceLimitMs(false, 10000, 40000),
                              30000);
    QVERIFY(window.isConnected());
    QVERIFY(window.isPreviewing());
    QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->titles().join(QLatin1Char(','))));
    action(window, "actionRun")->setChecked(false);
}

QTEST_MAIN(LumiCamUnattendedRunsTest)
#include "tst_LumiCamUnattendedRuns.moc"
