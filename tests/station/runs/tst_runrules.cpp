#include "runs/RunRules.h"

#include <QSettings>
#include <QtTest>

class TestRunRules : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void gateChecks_data();
    void gateChecks();
    void storedOnlyWhenAsked();
    void targetsAndStatus_data();
    void targetsAndStatus();
    void previewStatus();
    void generatorSettle_data();
    void generatorSettle();
    void silenceLimit_data();
    void silenceLimit();
    void averageCount_data();
    void averageCount();
    void lockedActions_data();
    void lockedActions();
};

void TestRunRules::checks_data()
{
    QTest::addColumn<bool>("trigger");
    QTest::addColumn<bool>("twoGate");
    QTest::addColumn<double>("exposure");
    QTest::addColumn<double>("period");
    QTest::addColumn<double>("delay");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("title"); // empty: the checks pass
    QTest::addColumn<QString>("text");

    const QString exposureError = QStringLiteral("Exposure Error");
    const QString periodError = QStringLiteral("Period Error");
    QTest::newRow("sound radiometric") << false << false << 100.0 << 0.0 << 0.0 << 0.0 << QString() << QString();
    QTest::newRow("at the minimum") << false << false << 10.0 << 0.0 << 0.0 << 0.0 << QString() << QString();
    QTest::newRow("at 0xFFFFFF") << false << false << 16777215.0 << 0.0 << 0.0 << 0.0 << QString() << QString();
    QTest::newRow("below the minimum")
        << false << false << 9.5 << 0.0 << 0.0 << 0.0 << exposureError
        << "Exposure <b>9.5 us</b> is out of range: <b>[10-120000]us</b>";
    QTest::newRow("above 0xFFFFFF")
        << false << false << 16777216.0 << 0.0 << 0.0 << 0.0 << exposureError
        << "Exposure <b>16777216 us</b> is out of range: <b>[10-120000]us</b>";
    QTest::newRow("external trigger skips the exposure")
        << true << false << 1.0 << 0.0 << 0.0 << 0.0 << QString() << QString();
    QTest::newRow("exposure before period")
        << false << true << 5.0 << 0.0 << 0.0 << 0.0 << exposureError
        << "Exposure <b>5 us</b> is out of range: <b>[10-120000]us</b>";
    QTest::newRow("sound gate") << true << true << 30.0 << 1000.0 << 30.0 << 30.0 << QString() << QString();
    QTest::newRow("delay = period") << true << true << 30.0 << 1000.0 << 1000.0 << 30.0 << periodError
                                    << "Period should be greater than pulse delay!";
    QTest::newRow("exposure = period") << true << true << 1000.0 << 1000.0 << 0.0 << 30.0 << periodError
                                       << "Period should be greater than exposure!";
    QTest::newRow("width = period") << true << true << 30.0 << 1000.0 << 0.0 << 1000.0 << periodError
                                    << "Period should be greater than pulse width!";
    QTest::newRow("width + delay = period") << true << true << 30.0 << 1000.0 << 500.0 << 500.0 << periodError
                                            << "Period should be greater than pulse width + delay!";
    QTest::newRow("period 0") << true << true << 30.0 << 0.0 << 0.0 << 30.0 << periodError
                                                   << "Period should be greater than pulse delay!";
    QTest::newRow("period rules only in two-gate mode")
        << true << false << 30.0 << 0.0 << 5.0 << 30.0 << QString() << QString();
}

void TestRunRules::checks()
{
    QFETCH(bool, trigger);
    QFETCH(bool, twoGate);
    QFETCH(double, exposure);
    QFETCH(double, period);
    QFETCH(double, delay);
    QFETCH(double, width);
    QFETCH(QString, title);
    QFETCH(QString, text);

    RunRules::CheckInput in;
    in.externalTrigger = trigger;
    in.twoGate = twoGate;
    in.exposure = exposure;
    in.minExposure = 10;
    in.maxExposure = 120000;
    in.period = period;
    in.delay = delay;
    in.ledWidth = width;
    const auto failure = RunRules::check(in);
    QCOMPARE(failure.has_value(), !title.isEmpty());
    if (failure) {
        QCOMPARE(failure->title, title);
        QCOMPARE(failure->text, text);
    }
    QCOMPARE(RunRules::failedCheckStopsRun(twoGate), twoGate);
}

// The gate fields as typed (exposure, period, delay, LED width) of the gates a
// two-gate run sends to the generator: Gate1, and Gate2 too for a capture.
void TestRunRules::gateChecks_data()
{
    QTest::addColumn<QStringList>("gate1");
    QTest::addColumn<QStringList>("gate2"); // empty: a preview, Gate1 only
    QTest::addColumn<QString>("title");     // empty: the checks pass
    QTest::addColumn<QString>("text");

    const QStringList sound{"30", "1000", "0", "30"};
    const QString gateError = QStringLiteral("Gate Error");
    QTest::newRow("sound preview") << sound << QStringList() << QString() << QString();
    QTest::newRow("sound capture") << sound << QStringList{"40", "2000", "45", "30"} << QString() << QString();
    QTest::newRow("period not a number")
        << QStringList{"30", "1O00", "0", "30"} << QStringList() << gateError
        << "<b>Gate1 Period(us)</b> should be a number!";
    QTest::newRow("empty delay") << QStringList{"30", "1000", "", "30"} << QStringList() << gateError
                                 << "<b>Gate1 CamDelay(us)</b> should be a number!";
    QTest::newRow("LED width with a comma") << QStringList{"30", "1000", "0", "3,5"} << QStringList() << gateError
                                            << "<b>Gate1 LED Width(us)</b> should be a number!";
    QTest::newRow("exposure not a number") << QStringList{"abc", "1000", "0", "30"} << QStringList() << gateError
                                           << "<b>Gate1 Exposure(us)</b> should be a number!";
    QTest::newRow("negative delay") << QStringList{"30", "1000", "-5", "30"} << QStringList() << gateError
                                    << "<b>Gate1 CamDelay(us)</b> should not be negative!";
    QTest::newRow("slightly negative width") << QStringList{"30", "1000", "0", "-0.5"} << QStringList() << gateError
                                             << "<b>Gate1 LED Width(us)</b> should not be negative!";
    QTest::newRow("negative period") << QStringList{"30", "-1000", "0", "30"} << QStringList() << gateError
                                     << "<b>Gate1 Period(us)</b> should not be negative!";
    QTest::newRow("period 0") << QStringList{"0", "0", "0", "0"} << QStringList() << gateError
                              << "<b>Gate1 Period(us)</b> should be greater than 0!";
    QTest::newRow("capture sends Gate2 too") << sound << QStringList{"30", "x", "0", "30"} << gateError
                                             << "<b>Gate2 Period(us)</b> should be a number!";
}

void TestRunRules::gateChecks()
{
    QFETCH(QStringList, gate1);
    QFETCH(QStringList, gate2);
    QFETCH(QString, title);
    QFETCH(QString, text);

    const auto gate = [](int number, const QStringList& f) {
        return GateSet::activate(number, GateFields{f[0], 10, f[1], f[2], f[3]});
    };
    RunRules::CheckInput in;
    in.externalTrigger = true;
    in.twoGate = true;
    in.exposure = 30;
    in.period = 1000;
    in.gates.push_back(gate(1, gate1));
    if (!gate2.isEmpty())
        in.gates.push_back(gate(2, gate2));
    const auto failure = RunRules::check(in);
    QCOMPARE(failure.has_value(), !title.isEmpty());
    if (failure) {
        QCOMPARE(failure->title, title);
        QCOMPARE(failure->text, text);
    }
    // Outside two-gate mode the gates are not sent and not checked.
    in.twoGate = false;
    QVERIFY(!RunRules::check(in));
}

void TestRunRules::storedOnlyWhenAsked()
{
    {
        QSettings settings("Kessane", "Lumivar");
        QVERIFY(!settings.contains("LAST_EXP"));
        RunRules::store(settings, {2500.0, 12, "run_7", "point_3"});
    }
    QSettings settings("Kessane", "Lumivar");
    QCOMPARE(settings.value("LAST_EXP").toDouble(), 2500.0);
    QCOMPARE(settings.value("LAST_FRM").toInt(), 12);
    QCOMPARE(settings.value("LAST_PRT").toString(), QStringLiteral("run_7"));
    QCOMPARE(settings.value("LAST_PNT").toString(), QStringLiteral("point_3"));
}

void TestRunRules::targetsAndStatus_data()
{
    QTest::addColumn<bool>("radiometric");
    QTest::addColumn<bool>("twoGate");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("status"); // 3 received, 0 errors, 14-bit

    QTest::newRow("radiometric") << true << false << 10 << 10 << "Captured: 3/10 images 14-bit, Errors=0";
    QTest::newRow("frame accumulation") << false << true << 10 << 20 << "Captured: 3/10 pairs 14-bit, Errors=0";
    QTest::newRow("double framing") << false << false << 10 << 10 << "Captured: 3/5 pairs 14-bit, Errors=0";
    QTest::newRow("double framing, odd") << false << false << 7 << 7 << "Captured: 3/3 pairs 14-bit, Errors=0";
    QTest::newRow("largest accumulation") << false << true << 10000 << 20000
                                          << "Captured: 3/10000 pairs 14-bit, Errors=0";
}

void TestRunRules::targetsAndStatus()
{
    QFETCH(bool, radiometric);
    QFETCH(bool, twoGate);
    QFETCH(int, frames);
    QFETCH(int, target);
    QFETCH(QString, status);

    QCOMPARE(RunRules::captureTarget(frames, twoGate), target);
    QCOMPARE(RunRules::captureStatusText(radiometric, 3, target, 0, 14), status);
    // The camera stops a little after the target: what comes later is not counted.
    QCOMPARE(RunRules::capturedFrames(target + 3ull, target), (unsigned long long)(target));
    QCOMPARE(RunRules::capturedFrames(2, target), 2ull);
    QCOMPARE(RunRules::capturedFrames(7, -1), 7ull);
}

void TestRunRules::previewStatus()
{
    QCOMPARE(RunRules::previewStatusText(0, 24.96, 12, 399.5), QStringLiteral("Preview: 0 images 12-bit, 25.0 FPS, 400Mbps"));
    QCOMPARE(RunRules::previewStatusText(0, 0, 8, 0), QStringLiteral("Preview: 0 images 8-bit, 0.0 FPS, 0Mbps"));
}

void TestRunRules::generatorSettle_data()
{
    QTest::addColumn<double>("exposure");
    QTest::addColumn<int>("ms");

    QTest::newRow("short") << 30.0 << 1;
    QTest::newRow("just under 1 ms") << 999.9 << 1;
    QTest::newRow("1 ms") << 1000.0 << 2;
    QTest::newRow("largest") << 16777215.0 << 16778;
    QTest::newRow("negative") << -5.0 << 1;
}

void TestRunRules::generatorSettle()
{
    QFETCH(double, exposure);
    QFETCH(int, ms);
    QCOMPARE(RunRules::generatorSettleMs(exposure), ms);
}

void TestRunRules::silenceLimit_data()
{
    QTest::addColumn<bool>("triggered");
    QTest::addColumn<double>("exposure");
    QTest::addColumn<double>("frameTime");
    QTest::addColumn<uint>("ms");
    QTest::newRow("1 ms exposure") << false << 1000.0 << 0.0 << 3003u;
    QTest::newRow("longest exposure: three frames and more") << false << 16777215.0 << 40000.0 << 53331u;
    QTest::newRow("negative") << false << -5.0 << -5.0 << 3000u;
    QTest::newRow("triggered: not watched") << true << 1000.0 << 40000.0 << 0u;
    // The camera's frames are longer than the exposure the station set.
    QTest::newRow("4 s frames") << false << 1000.0 << 4000000.0 << 15000u;
    QTest::newRow("frame time beyond a day") << false << 0.0 << 1e12 << 86400000u;
}

void TestRunRules::silenceLimit()
{
    QFETCH(bool, triggered);
    QFETCH(double, exposure);
    QFETCH(double, frameTime);
    QFETCH(uint, ms);
    QCOMPARE(RunRules::silenceLimitMs(triggered, exposure, frameTime), ms);
}

void TestRunRules::averageCount_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("corrected");

    QTest::newRow("0") << 0 << 1 << true;
    QTest::newRow("negative") << -3 << 1 << true;
    QTest::newRow("1") << 1 << 1 << false;
    QTest::newRow("100") << 100 << 100 << false;
    QTest::newRow("250") << 250 << 100 << true;
}

void TestRunRules::averageCount()
{
    QFETCH(int, value);
    QFETCH(int, count);
    QFETCH(bool, corrected);
    const RunRules::AverageCount a = RunRules::averageCount(value);
    QCOMPARE(a.count, count);
    QCOMPARE(a.corrected, corrected);
}

void TestRunRules::lockedActions_data()
{
    QTest::addColumn<bool>("previewing");
    QTest::addColumn<bool>("capturing");
    QTest::addColumn<bool>("noFolder");
    QTest::addColumn<bool>("doubleFraming");
    QTest::addColumn<QStringList>("actions");

    const QStringList always{"actionCamera_name_subfolder", "actionOpenCam", "actionTurbo"};
    QTest::newRow("idle") << false << false << false << false
                          << always + QStringList{"actionRun", "actionCapture", "actionGates"};
    QTest::newRow("previewing keeps its action") << true << false << false << false
                                                 << always + QStringList{"actionCapture", "actionGates"};
    QTest::newRow("capturing keeps its action") << false << true << false << false
                                                << always + QStringList{"actionRun", "actionGates"};
    QTest::newRow("no work folder") << false << false << true << false
                                    << always + QStringList{"actionRun", "actionGates"};
    QTest::newRow("double framing owns the gates") << false << false << false << true
                                                   << always + QStringList{"actionRun", "actionCapture"};
}

void TestRunRules::lockedActions()
{
    QFETCH(bool, previewing);
    QFETCH(bool, capturing);
    QFETCH(bool, noFolder);
    QFETCH(bool, doubleFraming);
    QFETCH(QStringList, actions);
    QCOMPARE(RunRules::lockedActions(previewing, capturing, noFolder, doubleFraming), actions);
}

QTEST_GUILESS_MAIN(TestRunRules)
#include "tst_runrules.moc"
