#include "GvcpTestClient.h"
#include "HeldPrompt.h"
#include "Lumi_cam.h"
#include "PulseGeneratorSim.h"
#include "RemoteClient.h"
#include "SidePanel.h"
#include "SimCamFeatures.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camera/Thread.h"
#include "remote/RemoteServer.h"
#include "runs/RunRules.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

// A station that a console steers while nobody watches it: whatever goes
// wrong in a run, no box holds it, the run goes on or ends at once, and
// "#status" tells the console what happened. Every box that would wait for a
// click is held for a minute here (HeldPrompt), so a run that waited on one
// would miss the tests' deadlines.
class LumiCamUnattendedTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cameraLackingAFeature_data();
    void cameraLackingAFeature();
    void everyFrameIncomplete_data();
    void everyFrameIncomplete();
    void sidecarNotWritable_data();
    void sidecarNotWritable();
    void silentGeneratorIsNeverDone_data();
    void silentGeneratorIsNeverDone();
    void silenceBoundFollowsModeChanges();
    void countsStopAtTheTarget();
    void exposureSentDuringACaptureWaitsForItsEnd();
    void stopAndANewerExposureInOneBlock();
    void longExposureDuringAPreview();

private:
    // Starts the camera and the window, connects it and opens remote control
    // to the test's client. Settings are written before.
    void startStation(const SimulatedCameraOptions& options);
    QByteArray ask(const QByteArray& bytes) { return WindowDriver::ask(*m_client, bytes); }
    // Frame accumulation with the generator at `generator` (the IP dialog
    // answered as a user does).
    void enterFrameAccumulation(const PulseGeneratorSim& generator);
    QString statusLabel() const;
    // The exposure register of the camera, read as a second client does.
    uint32_t cameraExposure();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<HeldPrompt> m_prompt;
    std::unique_ptr<Lumi_cam> m_window;
    std::unique_ptr<RemoteClient> m_client;
};

using WindowDriver::action;
using WindowDriver::PatienceMs;

namespace {

const QByteArray ready("Ready\0", 6);
const QByteArray readyDone("ReadyDone\0", 10);
const QByteArray preview("Preview\0", 8);

// The number in "Preview: %1 images ..." or "Captured: %1/..."; -1 for another text.
long long shownCount(const QString& status)
{
    const QString word = status.section(QLatin1Char(' '), 1, 1).section(QLatin1Char('/'), 0, 0);
    bool ok = false;
    const long long n = word.toLongLong(&ok);
    return ok ? n : -1;
}

} // namespace

void LumiCamUnattendedTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void LumiCamUnattendedTest::cleanup()
{
    m_client.reset();
    m_window.reset();
    m_prompt.reset();
    m_camera.reset();
}

void LumiCamUnattendedTest::startStation(const SimulatedCameraOptions& options)
{
    m_camera = std::make_unique<SimulatedCamera>(options);
    QVERIFY(m_camera->start());
    m_prompt = std::make_unique<HeldPrompt>();
    m_prompt->holdMs = 0; // the user's own boxes while setting up
    m_window = std::make_unique<Lumi_cam>();
    QVERIFY2(WindowDriver::pick(*m_window, QStringLiteral("127.0.0.1")), "the camera is not listed");
    m_window->remoteServer()->setListenAddress(QHostAddress::LocalHost, 0);
    action(*m_window, "actionRemote_Control")->setChecked(true);
    m_client = std::make_unique<RemoteClient>();
    QVERIFY(m_client->connectTo(QHostAddress::LocalHost, m_window->remoteServer()->serverPort()));
    m_prompt->shown.clear();
    m_prompt->mostOpen = 0;
    m_prompt->holdMs = 60000;
}

uint32_t LumiCamUnattendedTest::cameraExposure()
{
    GvcpTestClient client;
    uint32_t value = 0;
    uint16_t status = 0;
    if (!client.readRegister("127.0.0.1", 3956, simcam::RegExposureTime, value, status) || status != 0)
        qWarning() << "the camera's exposure could not be read, status" << status;
    return value;
}

void LumiCamUnattendedTest::enterFrameAccumulation(const PulseGeneratorSim& generator)
{
    const auto answer = WindowDriver::answerGeneratorDialog(*m_window, generator.address());
    action(*m_window, "actionFrame_Accumulation_Mode")->setChecked(true);
    QVERIFY(m_window->isTwoGate());
}

QString LumiCamUnattendedTest::statusLabel() const
{
    return m_window->findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
}

void LumiCamUnattendedTest::cameraLackingAFeature_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("left out") << false;
    QTest::newRow("writes refused") << true;
}

// The long exposure needs the programmable frame time, which this camera
// lacks: the console's preview and capture still run, the warning is shown
// without waiting and stays in the status bar, and the capture is done.
void LumiCamUnattendedTest::cameraLackingAFeature()
{
    QFETCH(bool, refused);
    QVERIFY(WindowDriver::writeSettings({{"LAST_PTH", m_dir->path()},
                                         {"LAST_FRM", 5},
                                         {"LAST_PRT", "run"},
                                         {"LAST_PNT", ""}}));
    SimulatedCameraOptions options;
    (refused ? options.refusedFeatures : options.missingFeatures).push_back("ProgFrameTimeEnable");
    startStation(options);
    Lumi_cam& window = *m_window;

    QCOMPARE(ask("#exp=50000"), ready); // above the shortest frame time
    QCOMPARE(ask(QByteArray("#preview\0", 9)), ready);
    QCOMPARE(WindowDriver::pollStatusUntil(*m_client, preview), preview);
    QTRY_VERIFY_WITH_TIMEOUT(shownCount(statusLabel()) >= 5, PatienceMs);
    QCOMPARE(ask(QByteArray("#nopreview\0\0\0", 13)), preview);
    QCOMPARE(WindowDriver::pollStatusUntil(*m_client, ready), ready);

    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    QList<QByteArray> replies;
    QCOMPARE(WindowDriver::statusAfterCapture(*m_client, &replies), readyDone + ready);
    for (const QByteArray& reply : replies.mid(0, replies.size() - 1))
        QVERIFY2(reply.startsWith("Captured ") && !reply.startsWith("Captured 6/"), reply.constData());
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 5);

    // For the exposure, the preview and the capture; no box was waited for.
    QCOMPARE(m_prompt->mostOpen, 0);
    QCOMPARE(m_prompt->titles(), (QStringList{"Warning", "Warning", "Warning"}));
    QCOMPARE(m_prompt->shown.last().text, QStringLiteral("ProgFrameTimeEnable Error"));
    // The box's text went to the status bar, then the feature it names.
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("The camera refused ProgFrameTimeEnable"));
}

void LumiCamUnattendedTest::everyFrameIncomplete_data()
{
    QTest::addColumn<bool>("capture");
    QTest::addColumn<bool>("triggered");
    QTest::newRow("console's capture") << true << false;
    QTest::newRow("user's preview") << false << false;
    QTest::newRow("console's triggered capture") << true << true;
}

// Every frame arrives with packets missing: each counts as an error, and
// once the frames that came tell that none will complete (for the silence
// bound of a free-running camera, a row of them when triggered) the run ends
// with the reason; the camera answers, so it stays connected.
void LumiCamUnattendedTest::everyFrameIncomplete()
{
    QFETCH(bool, capture);
    QFETCH(bool, triggered);
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 200, QStringLiteral("run")));
    SimulatedCameraOptions options;
    options.packetLoss = 1;
    startStation(options);
    Lumi_cam& window = *m_window;
    if (triggered) // the simulated camera sends on as if it were triggered
        QCOMPARE(ask("#trig"), ready);

    QElapsedTimer run;
    run.start();
    if (capture) {
        QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
        QCOMPARE(ask("#status"), QByteArray("Captured 0/200\0", 15));
    } else {
        action(window, "actionRun")->setChecked(true);
        QVERIFY(window.isPreviewing());
    }
    // The bound the run's stream is held to (none when triggered).
    const unsigned silenceLimit = window.acquisitionThread()->silenceLimit();
    QCOMPARE(silenceLimit == 0, triggered);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isCapturing() && !window.isPreviewing(), PatienceMs);
    qInfo() << "run ended after" << run.elapsed() << "ms";
    QVERIFY(window.isConnected());
    QCOMPARE(WindowDriver::statusAfterCapture(*m_client), ready);
    QTest::qWait(300);
    QCOMPARE(ask("#status"), ready);

    QCOMPARE(m_prompt->mostOpen, 0);
    QCOMPARE(m_prompt->titles(), QStringList{"Camera error"});
    const QString text = m_prompt->shown[0].text;
    const QRegularExpressionMatch reason =
        QRegularExpression(QStringLiteral("<b>SimCam</b> delivered no complete frame for ([0-9.]+) s "
                                          "\\((\\d+) incomplete\\)"))
            .match(text);
    QVERIFY2(reason.hasMatch(), qPrintable(text));
    const int incomplete = reason.captured(2).toInt();
    if (triggered) {
        // Waiting for triggers, only the frames that came can tell: 16 in a row.
        QCOMPARE(incomplete, 16);
    } else {
        // Not before the stream was incomplete for its whole bound (said to a tenth of a second).
        QVERIFY2(reason.captured(1).toDouble() >= std::floor(silenceLimit / 100.0) / 10.0,
                 qPrintable(QStringLiteral("%1 ms bound: %2").arg(silenceLimit).arg(text)));
        QVERIFY2(incomplete > 10, qPrintable(text));
    }
    // Every incomplete frame is an error, those of the row included.
    const QString errors = window.findChild<QLabel*>(QStringLiteral("temperatureLabel"))->text();
    QVERIFY2(errors.startsWith(QLatin1String("Errors: ")), qPrintable(errors));
    QVERIFY2(errors.section(QLatin1Char(' '), 1, 1).toInt() >= incomplete, qPrintable(errors + " " + text));
    QVERIFY(window.statusBar()->currentMessage().startsWith(QLatin1String("Camera error: Camera SimCam delivered")));
    QVERIFY(QDir(m_dir->path()).entryList({QStringLiteral("*.tif")}, QDir::Files).isEmpty());
}

void LumiCamUnattendedTest::sidecarNotWritable_data()
{
    QTest::addColumn<bool>("console");
    QTest::newRow("user") << false;
    QTest::newRow("console") << true;
}

// A folder stands where the capture's settings file goes: no capture starts,
// and the user is told which file and why (the console's "#start" in the
// status bar and the log, with a box that waits for nobody).
void LumiCamUnattendedTest::sidecarNotWritable()
{
    QFETCH(bool, console);
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 5, QStringLiteral("run")));
    const QString sidecar = m_dir->filePath(QStringLiteral("run.settings"));
    QVERIFY(QDir().mkdir(sidecar));
    startStation(SimulatedCameraOptions());
    Lumi_cam& window = *m_window;

    if (console) {
        QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
        QList<QByteArray> replies;
        WindowDriver::statusAfterCapture(*m_client, &replies);
        QCOMPARE(replies, QList<QByteArray>{ready});
        QCOMPARE(m_prompt->mostOpen, 0);
    } else {
        m_prompt->holdMs = 10;
        action(window, "actionCapture")->setChecked(true);
        QCOMPARE(m_prompt->waitedTitles(), QStringList{"Save settings"});
        QTest::qWait(500);
    }
    QVERIFY(!window.isCapturing());
    QVERIFY(!action(window, "actionCapture")->isChecked());
    QVERIFY(!window.stationState().captureDone);
    QCOMPARE(m_prompt->titles(), QStringList{"Save settings"});
    QCOMPARE(m_prompt->shown[0].text, QStringLiteral("Unable to write file <b>%1</b>: the capture was not started."
                                                     "<br>A folder of that name stands where the file goes.")
                                          .arg(sidecar));
    if (console)
        QVERIFY(window.statusBar()->currentMessage().startsWith(
            QStringLiteral("Save settings: Unable to write file %1").arg(sidecar)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void LumiCamUnattendedTest::silentGeneratorIsNeverDone_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("answering") << false;
    QTest::newRow("silent") << true;
}

// Frame accumulation: the capture programs the generator for every frame.
// When none of those requests is answered the files may all be there, yet
// the capture is not done.
void LumiCamUnattendedTest::silentGeneratorIsNeverDone()
{
    QFETCH(bool, silent);
    QVERIFY(WindowDriver::writeSettings({{"LAST_PTH", m_dir->path()},
                                         {"LAST_FRM", 3},
                                         {"LAST_PRT", "run"},
                                         {"LAST_PNT", ""},
                                         {"LAST_EXP_G1", "1000"},
                                         {"LAST_PRD_G1", "5000"},
                                         {"LAST_EXP_G2", "2000"},
                                         {"LAST_PRD_G2", "8000"}}));
    PulseGeneratorSim generator;
    QVERIFY(generator.start());
    if (silent)
        generator.setMode(PulseGeneratorSim::Mode::Silent);
    startStation(SimulatedCameraOptions());
    enterFrameAccumulation(generator);

    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    QList<QByteArray> replies;
    const QByteArray last = WindowDriver::statusAfterCapture(*m_client, &replies);
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 6);
    QVERIFY(!generator.requests().isEmpty());
    QCOMPARE(m_prompt->mostOpen, 0);
    if (!silent) {
        QCOMPARE(last, readyDone + ready);
        QVERIFY(m_prompt->shown.isEmpty());
        return;
    }
    QCOMPARE(last, ready);
    for (const QByteArray& reply : replies)
        QVERIFY2(!reply.contains("ReadyDone"), reply.constData());
    QCOMPARE(m_prompt->titles().first(), QStringLiteral("TMX connection problem"));
}

// A preview in double framing (triggered: its stream is not watched), then
// radiometric and the trigger off: the camera free-runs from there, one frame
// every 4 s, longer than the exposure the station asked for. The bound
// follows the frame time the camera reports: it answers and sends, so it is
// never taken for lost.
void LumiCamUnattendedTest::silenceBoundFollowsModeChanges()
{
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 5, QStringLiteral("run")));
    SimulatedCameraOptions options;
    options.frameRate = 0.25;
    startStation(options);
    Lumi_cam& window = *m_window;
    action(window, "actionDouble_Framing_Mode")->setChecked(true);
    QVERIFY(action(window, "actionTrigger")->isChecked());
    action(window, "actionRun")->setChecked(true);
    action(window, "actionRadiometric_Mode")->setChecked(true);
    action(window, "actionTrigger")->setChecked(false);
    const unsigned long long before = window.stationState().framesReceived;
    // Two frames: the stream was watched through a whole period (or the
    // camera was taken for lost, or a box came).
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= before + 2 || !window.isConnected()
                                 || !m_prompt->shown.isEmpty(),
                             PatienceMs);
    QVERIFY(window.isConnected());
    QVERIFY(window.isPreviewing());
    QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->titles().join(QLatin1Char(','))));
    action(window, "actionRun")->setChecked(false);
}

// The camera sends on until the station has stopped it: frames past the
// target are neither counted in the replies nor shown as a preview.
void LumiCamUnattendedTest::countsStopAtTheTarget()
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
void LumiCamUnattendedTest::exposureSentDuringACaptureWaitsForItsEnd()
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
void LumiCamUnattendedTest::stopAndANewerExposureInOneBlock()
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
void LumiCamUnattendedTest::longExposureDuringAPreview()
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

QTEST_MAIN(LumiCamUnattendedTest)
#include "tst_LumiCamUnattended.moc"
