#include "LogLines.h"
#include "RecordingParameters.h"
#include "camera/FeatureValues.h"

#include <QtTest>

// What the camera layer logs of the writes a camera refuses: a two-gate
// capture writes the exposure at every frame, and a camera that refuses it
// must not add a line per frame to the log of a station nobody watches.
class TestRefusedWrites : public QObject
{
    Q_OBJECT

private slots:
    void aWriteRefusedAtEveryFrameIsCounted();
    void aSingleRefusalIsLoggedOnce();
    void refusalsAreToldToTheCollector();
};

// Each test uses features of its own: the log remembers refusals for the
// whole program.
void TestRefusedWrites::aWriteRefusedAtEveryFrameIsCounted()
{
    RecordingParameters camera;
    camera.addInteger(QStringLiteral("ExposureTimeRaw"), 10000);
    camera.addEnum(QStringLiteral("ExposureMode"), 1);
    camera.setWritable(QStringLiteral("ExposureTimeRaw"), false);
    camera.setWritable(QStringLiteral("ExposureMode"), false);
    const LogLines log("kessane.station.camera");
    for (int frame = 0; frame < 400; ++frame) {
        FeatureValues::writeNumber(camera, "ExposureMode", 1);
        FeatureValues::writeNumber(camera, "ExposureTimeRaw", 1000 + frame % 2);
    }
    // Each feature's first refusal, with the camera's reason; the rest are
    // counted (a line a minute at most).
    QCOMPARE(log.count(QStringLiteral("refused")), 2);
    QCOMPARE(log.count(QStringLiteral("write of ExposureTimeRaw refused: not writable: the first;")), 1);
    QCOMPARE(log.count(QStringLiteral("write of ExposureMode refused: not writable: the first;")), 1);

    // Taken again: the end is told with the count, once.
    camera.setWritable(QStringLiteral("ExposureTimeRaw"), true);
    QVERIFY(FeatureValues::writeNumber(camera, "ExposureTimeRaw", 1000).IsOK());
    QVERIFY(FeatureValues::writeNumber(camera, "ExposureTimeRaw", 1001).IsOK());
    QCOMPARE(log.count(QStringLiteral("writes of ExposureTimeRaw refused: over after 400 times in ")), 1);
    QCOMPARE(log.count(QStringLiteral("refused")), 3);
    // The other one's refusals go on.
    FeatureValues::writeNumber(camera, "ExposureMode", 1);
    QCOMPARE(log.count(QStringLiteral("refused")), 3);
}

// A write refused once, as a dialog's setting a camera does not take, is one
// line, whether a later write is taken or not.
void TestRefusedWrites::aSingleRefusalIsLoggedOnce()
{
    RecordingParameters camera;
    camera.addInteger(QStringLiteral("GainRaw"), 100, 0, 500);
    camera.addInteger(QStringLiteral("BlackLevelRaw"), 0, 0, 100);
    const LogLines log("kessane.station.camera");
    QVERIFY(!FeatureValues::writeNumber(camera, "GainRaw", 900).IsOK());
    QVERIFY(FeatureValues::writeNumber(camera, "GainRaw", 227).IsOK());
    QVERIFY(!FeatureValues::writeInteger(&camera, "BlackLevelRaw", 200));
    QCOMPARE(log.count(QStringLiteral("write of GainRaw refused: value refused: the first;")), 1);
    QCOMPARE(log.count(QStringLiteral("write of BlackLevelRaw refused: value refused: the first;")), 1);
    QCOMPARE(log.count(QStringLiteral("refused")), 2);
}

// However they are logged, every refusal is told to the dialog that wraps
// the writes, each feature once.
void TestRefusedWrites::refusalsAreToldToTheCollector()
{
    RecordingParameters camera;
    camera.addBoolean(QStringLiteral("LUTEnable"), false);
    camera.setWritable(QStringLiteral("LUTEnable"), false);
    for (int i = 0; i < 3; ++i) {
        const FeatureValues::RefusedWrites refused;
        FeatureValues::writeSwitch(camera, "LUTEnable", true);
        FeatureValues::writeSwitch(camera, "LUTEnable", false);
        FeatureValues::writeEntry(camera, "Absent", "On");
        QCOMPARE(refused.text(), QStringLiteral("The camera refused LUTEnable, Absent"));
    }
}

QTEST_APPLESS_MAIN(TestRefusedWrites)
#include "tst_refusedwrites.moc"
