#include "LogLines.h"
#include "SidePanel.h"
#include "UnattendedStation.h"
#include "camera/Thread.h"

#include <QDir>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtTest>

#include <cmath>

// A station that a console steers while nobody watches it, when something
// goes wrong in a run: no box holds it, the run goes on or ends at once, and
// "#status" tells the console what happened (never "ReadyDone" for a capture
// that failed).
class LumiCamUnattendedTest : public QObject, private UnattendedStation
{
    Q_OBJECT

private slots:
    void init() { initStation(); }
    void cleanup() { cleanupStation(); }
    void cameraLackingAFeature_data();
    void cameraLackingAFeature();
    void everyFrameIncomplete_data();
    void everyFrameIncomplete();
    void sidecarNotWritable_data();
    void sidecarNotWritable();
    void lastImageNotWritable();
    void cameraGoneDuringACapture();
    void silentGeneratorIsNeverDone_data();
    void silentGeneratorIsNeverDone();
};

using WindowDriver::action;
using WindowDriver::PatienceMs;

namespace {

// The number in "Preview: %1 images ..." or "Captured: %1/..."; -1 for another text.
long long shownCount(const QString& status)
{
    const QString word = status.section(QLatin1Char(' '), 1, 1).section(QLatin1Char('/'), 0, 0);
    bool ok = false;
    const long long n = word.toLongLong(&ok);
    return ok ? n : -1;
}

} // namespace

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

// A folder stands where the last image of a console's capture goes: the
// capture reaches its target, yet it is not done; the box says which file and
// waits for nobody.
void LumiCamUnattendedTest::lastImageNotWritable()
{
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 5, QStringLiteral("run")));
    const QString blocked = m_dir->filePath(QStringLiteral("run_000005.tif"));
    QVERIFY(QDir().mkdir(blocked));
    const LogLines log("kessane.station.shell");
    startStation(SimulatedCameraOptions());

    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    // What the station decides once the writer has ended the capture's files.
    QTRY_VERIFY_WITH_TIMEOUT(log.has(QStringLiteral("it is not reported done")), PatienceMs);
    QList<QByteArray> replies;
    QCOMPARE(WindowDriver::statusAfterCapture(*m_client, &replies), ready);
    for (const QByteArray& reply : replies)
        QVERIFY2(!reply.contains("ReadyDone"), reply.constData());
    QCOMPARE(ask("#status"), ready);
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 4);
    QCOMPARE(m_prompt->mostOpen, 0);
    QCOMPARE(m_prompt->titles(), QStringList{"Save tiff"});
    QVERIFY2(m_prompt->shown[0].text.contains(blocked), qPrintable(m_prompt->shown[0].text));
}

// The camera goes away during a console's capture: "#status" tells the
// console so ("No Camera", never "Ready" or "ReadyDone" for the capture that
// died), and the box that tells the user waits for nobody.
void LumiCamUnattendedTest::cameraGoneDuringACapture()
{
    QVERIFY(WindowDriver::writeRunSettings(m_dir->path(), 500, QStringLiteral("run")));
    startStation(SimulatedCameraOptions());
    Lumi_cam& window = *m_window;
    QCOMPARE(ask(QByteArray("#start\0", 7)), ready);
    QTRY_VERIFY_WITH_TIMEOUT(window.stationState().framesReceived >= 5, PatienceMs);

    m_camera->stop();
    const QByteArray noCamera("No Camera\0", 10);
    QList<QByteArray> replies;
    QCOMPARE(WindowDriver::pollStatus(
                 *m_client, [&](const QByteArray& reply) { return reply == noCamera; }, &replies),
             noCamera);
    for (const QByteArray& reply : replies.mid(0, replies.size() - 1))
        QVERIFY2(reply.startsWith("Captured "), reply.constData());
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, PatienceMs);
    QCOMPARE(m_prompt->mostOpen, 0);
    QCOMPARE(m_prompt->titles(), QStringList{"Camera error"});
    QVERIFY2(m_prompt->shown[0].text.contains(QLatin1String("Camera <b>SimCam</b> does not answer any more")),
             qPrintable(m_prompt->shown[0].text));
    QVERIFY(!window.isCapturing());
    QVERIFY(!action(window, "actionOpenCam")->isChecked());
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

QTEST_MAIN(LumiCamUnattendedTest)
#include "tst_LumiCamUnattended.moc"
