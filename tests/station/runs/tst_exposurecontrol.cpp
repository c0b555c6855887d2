#include "RecordingParameters.h"
#include "ScriptedPrompt.h"
#include "camera/FeatureValues.h"
#include "runs/ExposureControl.h"
#include "runs/ExposureUnit.h"

#include <QtTest>

namespace {

// The exposure-related features: shortest frame time 100000 us. A camera of
// other firmware lacks those named in `without`.
void addCamera(RecordingParameters& p, int64_t exposureMode, int64_t triggerMode, bool frameTimeOn,
               const QStringList& without = {})
{
    p.addEnum("ExposureMode", exposureMode, {{"Timed", 1}, {"TriggerWidth", 2}});
    p.addEnum("TriggerSource", 1, {{"Software", 0}, {"External", 1}});
    p.addEnum("TriggerMode", triggerMode, {{"Off", 0}, {"On", 1}});
    p.addBoolean("ProgFrameTimeEnable", frameTimeOn);
    p.addInteger("FRM_TIM_ACT", 120000);
    p.addInteger("FRR_EXP_MIN", 10);
    if (!without.contains(QLatin1String("FRM_TIM_MIN")))
        p.addInteger("FRM_TIM_MIN", 100000);
    p.addFloat("ProgFrameTimeAbs", 0);
    if (!without.contains(QLatin1String("ExposureTimeRaw")))
        p.addInteger("ExposureTimeRaw", 1000, 10, 16777215);
}

} // namespace

class TestExposureControl : public QObject
{
    Q_OBJECT

private slots:
    void paths_data();
    void paths();
    void frameTimeRefused();
    void camerasOfOtherFirmware_data();
    void camerasOfOtherFirmware();
    void cancelledWaitLeavesCamera_data();
    void cancelledWaitLeavesCamera();
    void limitsReadAgainAtEnd();
    void unitSwitch_data();
    void unitSwitch();
};

void TestExposureControl::paths_data()
{
    QTest::addColumn<double>("exposure");
    QTest::addColumn<int>("exposureMode");
    QTest::addColumn<int>("triggerMode");
    QTest::addColumn<bool>("frameTimeOn");
    QTest::addColumn<bool>("externalTrigger");
    QTest::addColumn<QStringList>("sequence"); // writes, waits and spin box looks
    QTest::addColumn<int>("path");

    using P = ExposureControl::Path;
    QTest::newRow("short")
        << 5000.0 << 1 << 0 << false << false
        << QStringList{"wait 50", "ExposureTimeRaw=5000 (integer)", "wait 50"} << int(P::Short);
    QTest::newRow("short, truncated")
        << 99999.9 << 1 << 0 << false << false
        << QStringList{"wait 50", "ExposureTimeRaw=99999 (integer)", "wait 50"} << int(P::Short);
    QTest::newRow("short after a long one")
        << 5000.0 << 1 << 0 << true << false
        << QStringList{"ProgFrameTimeEnable=false (boolean)", "look QDoubleSpinBox {background: white;}",
                       "wait 50", "ExposureTimeRaw=5000 (integer)", "wait 50"}
        << int(P::Short);
    QTest::newRow("long at the shortest frame time")
        << 100000.0 << 1 << 0 << false << false
        << QStringList{"look QDoubleSpinBox {background: yellow;} tip 10-120000",
                       "ProgFrameTimeEnable=true (boolean)", "wait 50", "ProgFrameTimeAbs=100010 (float)",
                       "wait 1100", "ExposureTimeRaw=100000 (integer)", "wait 50"}
        << int(P::Long);
    QTest::newRow("long, triggered")
        << 2500000.0 << 1 << 1 << false << true
        << QStringList{"look QDoubleSpinBox {background: yellow;} tip 10-120000", "TriggerMode=0 (value)",
                       "wait 10", "ProgFrameTimeEnable=true (boolean)", "wait 50",
                       "ProgFrameTimeAbs=2500010 (float)", "wait 3500", "ExposureTimeRaw=2500000 (integer)",
                       "wait 50", "TriggerMode=1 (value)", "ProgFrameTimeEnable=false (boolean)"}
        << int(P::Long);
    QTest::newRow("triggered with frame time left on")
        << 5000.0 << 1 << 1 << true << true
        << QStringList{"TriggerMode=0 (value)", "ProgFrameTimeEnable=false (boolean)", "TriggerMode=1 (value)"}
        << int(P::ClearedFrameTime);
    QTest::newRow("pulse-width exposure") << 5000.0 << 2 << 1 << false << true << QStringList() << int(P::NotTimed);
}

void TestExposureControl::paths()
{
    QFETCH(double, exposure);
    QFETCH(int, exposureMode);
    QFETCH(int, triggerMode);
    QFETCH(bool, frameTimeOn);
    QFETCH(bool, externalTrigger);
    QFETCH(QStringList, sequence);
    QFETCH(int, path);

    RecordingParameters p;
    addCamera(p, exposureMode, triggerMode, frameTimeOn);
    ScriptedPrompt prompt;
    const ExposureControl control(
        [&](int ms) {
            p.note(QStringLiteral("wait %1").arg(ms));
            return true;
        },
        [&](const QString& style, const QString& tip) {
            p.note(QStringLiteral("look ") + style + (tip.isNull() ? QString() : QStringLiteral(" tip ") + tip));
        });

    const ExposureControl::Result r = control.change(p, exposure, externalTrigger);
    QCOMPARE(p.writes(), sequence);
    QCOMPARE(int(r.path), path);
    QVERIFY(!r.cancelled);
    QCOMPARE(r.restartCounters, r.path != ExposureControl::Path::ClearedFrameTime);
    QCOMPARE(r.limitsRead, r.path != ExposureControl::Path::ClearedFrameTime);
    QVERIFY(prompt.shown.isEmpty());
}

// A camera refusing the programmable frame time gets a warning, and the
// exposure is still written.
void TestExposureControl::frameTimeRefused()
{
    RecordingParameters p;
    addCamera(p, 1, 0, false);
    p.setWritable("ProgFrameTimeEnable", false);
    ScriptedPrompt prompt;
    const ExposureControl control([&](int ms) { p.note(QStringLiteral("wait %1").arg(ms)); return true; }, nullptr);

    control.change(p, 200000, false);
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Warning"));
    QCOMPARE(prompt.shown[0].text, QStringLiteral("ProgFrameTimeEnable Error"));
    QVERIFY(p.writes().contains("ExposureTimeRaw=200000 (integer)"));
    QCOMPARE(p.integer("ExposureTimeRaw"), int64_t(200000));
}

void TestExposureControl::camerasOfOtherFirmware_data()
{
    QTest::addColumn<QStringList>("without");
    QTest::addColumn<QString>("standard"); // a float exposure feature the camera has instead
    QTest::addColumn<double>("exposure");
    QTest::addColumn<QStringList>("sequence");
    QTest::addColumn<QStringList>("refused");

    QTest::newRow("standard exposure feature")
        << QStringList{"ExposureTimeRaw"} << "ExposureTimeAbs" << 5000.0
        << QStringList{"wait 50", "ExposureTimeAbs=5000 (float)", "wait 50"} << QStringList();
    QTest::newRow("the newer standard name")
        << QStringList{"ExposureTimeRaw"} << "ExposureTime" << 5000.0
        << QStringList{"wait 50", "ExposureTime=5000 (float)", "wait 50"} << QStringList();
    // Without a shortest frame time there is no programmable one to switch on.
    QTest::newRow("no shortest frame time: a long exposure is a plain write")
        << QStringList{"FRM_TIM_MIN"} << QString() << 2500000.0
        << QStringList{"wait 50", "ExposureTimeRaw=2500000 (integer)", "wait 50"} << QStringList();
    QTest::newRow("no exposure feature: the refusal is told")
        << QStringList{"ExposureTimeRaw"} << QString() << 5000.0 << QStringList{"wait 50", "wait 50"}
        << QStringList{"ExposureTimeRaw"};
}

void TestExposureControl::camerasOfOtherFirmware()
{
    QFETCH(QStringList, without);
    QFETCH(QString, standard);
    QFETCH(double, exposure);
    QFETCH(QStringList, sequence);
    QFETCH(QStringList, refused);

    RecordingParameters p;
    addCamera(p, 1, 0, false, without);
    if (!standard.isEmpty())
        p.addFloat(standard, 10000);
    ScriptedPrompt prompt;
    const ExposureControl control([&](int ms) { p.note(QStringLiteral("wait %1").arg(ms)); return true; }, nullptr);
    const FeatureValues::RefusedWrites refusals;
    const ExposureControl::Result r = control.change(p, exposure, false);
    QCOMPARE(p.writes(), sequence);
    QCOMPARE(refusals.features(), refused);
    QCOMPARE(int(r.path), int(ExposureControl::Path::Short));
    if (!standard.isEmpty())
        QCOMPARE(p.floating(standard), exposure);
    QVERIFY(prompt.shown.isEmpty());
}

// The camera may go away during any wait of the sequence (the window cancels
// it): nothing is read or written after it, and the window is not told the
// exposure is set.
void TestExposureControl::cancelledWaitLeavesCamera_data()
{
    QTest::addColumn<double>("exposure");
    QTest::addColumn<int>("triggerMode");
    QTest::addColumn<int>("cancelled"); // the wait cancelled, counted from 1
    QTest::addColumn<QString>("wait");
    QTest::addColumn<int64_t>("written"); // ExposureTimeRaw at the end

    QTest::newRow("long: the trigger switched off") << 300000.0 << 1 << 1 << "wait 10" << int64_t(1000);
    QTest::newRow("long: the frame time switched on") << 300000.0 << 1 << 2 << "wait 50" << int64_t(1000);
    QTest::newRow("long: the frame time settling") << 300000.0 << 1 << 3 << "wait 1300" << int64_t(1000);
    QTest::newRow("long: the exposure written") << 300000.0 << 1 << 4 << "wait 50" << int64_t(300000);
    QTest::newRow("short: before the exposure") << 5000.0 << 0 << 1 << "wait 50" << int64_t(1000);
    QTest::newRow("short: the exposure written") << 5000.0 << 0 << 2 << "wait 50" << int64_t(5000);
}

void TestExposureControl::cancelledWaitLeavesCamera()
{
    QFETCH(double, exposure);
    QFETCH(int, triggerMode);
    QFETCH(int, cancelled);
    QFETCH(QString, wait);
    QFETCH(int64_t, written);

    RecordingParameters p;
    addCamera(p, 1, triggerMode, false);
    int waits = 0;
    const ExposureControl control(
        [&](int ms) {
            p.note(QStringLiteral("wait %1").arg(ms));
            return ++waits < cancelled;
        },
        nullptr);

    const ExposureControl::Result r = control.change(p, exposure, triggerMode == 1);
    QVERIFY(r.cancelled);
    QVERIFY(!r.restartCounters);
    QCOMPARE(waits, cancelled);
    QCOMPARE(p.log().last(), wait);
    QCOMPARE(p.integer("ExposureTimeRaw"), written);
}

// The longest exposure the camera allows follows the new frame time.
void TestExposureControl::limitsReadAgainAtEnd()
{
    RecordingParameters p;
    addCamera(p, 1, 0, false);
    const ExposureControl control(
        [&](int ms) {
            if (ms > 1000)
                p.addInteger("FRM_TIM_ACT", 400000);
            return true;
        },
        nullptr);

    const ExposureControl::Result r = control.change(p, 300000, false);
    QVERIFY(r.limitsRead);
    QCOMPARE(r.minExposure, int64_t(10));
    QCOMPARE(r.maxExposure, int64_t(400000));
    QVERIFY(r.restartCounters);
}

void TestExposureControl::unitSwitch_data()
{
    QTest::addColumn<bool>("fromMs");
    QTest::addColumn<bool>("toMs");
    QTest::addColumn<double>("shown");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("microseconds");

    QTest::newRow("100000 us to ms") << false << true << 100000.0 << 100.0 << 100000.0;
    QTest::newRow("100 ms to us") << true << false << 100.0 << 100000.0 << 100000.0;
    // Below the microsecond range's minimum in the old unit: not clamped to 10.
    QTest::newRow("5 ms to us") << true << false << 5.0 << 5000.0 << 5000.0;
    QTest::newRow("5000 us to ms") << false << true << 5000.0 << 5.0 << 5000.0;
    QTest::newRow("largest us to ms") << false << true << 16777215.0 << 16777.0 << 16777000.0;
    QTest::newRow("largest ms to us") << true << false << 16777.0 << 16777000.0 << 16777000.0;
    QTest::newRow("1500 us rounds to 2 ms") << false << true << 1500.0 << 2.0 << 2000.0;
    QTest::newRow("10 us to ms") << false << true << 10.0 << 0.0 << 0.0;
    QTest::newRow("0 ms to us") << true << false << 0.0 << 10.0 << 10.0;
    QTest::newRow("us to us keeps the value") << false << false << 100.0 << 100.0 << 100.0;
    QTest::newRow("ms to ms keeps the value") << true << true << 100.0 << 100.0 << 100000.0;
}

void TestExposureControl::unitSwitch()
{
    QFETCH(bool, fromMs);
    QFETCH(bool, toMs);
    QFETCH(double, shown);
    QFETCH(double, value);
    QFETCH(double, microseconds);

    const auto unit = [](bool ms) { return ms ? ExposureUnit::Milliseconds : ExposureUnit::Microseconds; };
    const ExposureSpinSetup s = ExposureUnits::switchUnit(unit(fromMs), unit(toMs), shown);
    QCOMPARE(s.value, value);
    QCOMPARE(s.microseconds, microseconds);
    QCOMPARE(s.decimals, 0);
    if (toMs) {
        QCOMPARE(s.label, QStringLiteral("Exposure (ms)"));
        QCOMPARE(s.minimum, 0.0);
        QCOMPARE(s.maximum, 16777.0);
        QCOMPARE(s.step, 1.0);
    } else {
        QCOMPARE(s.label, QStringLiteral("Exposure (us)"));
        QCOMPARE(s.minimum, 10.0);
        QCOMPARE(s.maximum, 16777215.0);
        QCOMPARE(s.step, 1000.0);
    }
}

QTEST_GUILESS_MAIN(TestExposureControl)
#include "tst_exposurecontrol.moc"
