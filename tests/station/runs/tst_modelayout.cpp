#include "runs/GateSet.h"
#include "runs/ModeLayout.h"
#include "runs/ModeSteps.h"

#include <QtTest>

#include <limits>
#include <set>

class TestModeLayout : public QObject
{
    Q_OBJECT

private slots:
    void layouts_data();
    void layouts();
    void gatePanelGrid();
    void modeSteps_data();
    void modeSteps();
    void modeSwitches_data();
    void modeSwitches();
    void gateSwitch_data();
    void gateSwitch();
    void activeGate_data();
    void activeGate();
};

void TestModeLayout::layouts_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QString>("framesLabel");
    QTest::addColumn<int>("generator");
    QTest::addColumn<bool>("showExposure");
    QTest::addColumn<bool>("checkTrigger");
    QTest::addColumn<bool>("pairs");

    using G = ModeLayout::GeneratorAction;
    QTest::newRow("radiometric")
        << 1
        << QStringList{"actionTrigger", "actionPulseWidth", "actionSChannel", "actionRChannel", "box:Exposure",
                       "box:Frames", "box:Average", "actionTurbo", "actionFocus", "actionLUT", "actionDScale",
                       "actionROI", "actionDistortion"}
        << "Frames" << int(G::Removed) << true << false << false;
    QTest::newRow("frame accumulation")
        << 2
        << QStringList{"modeLabel", "actionGates", "box:GatePanel", "box:Frames", "actionTurbo", "actionLUT",
                       "actionDScale", "actionFocus"}
        << "Pairs:" << int(G::Added) << false << false << false;
    QTest::newRow("double framing")
        << 3
        << QStringList{"modeLabel", "actionTrigger", "actionPulseWidth", "actionGates", "box:Exposure",
                       "box:Frames", "box:Average", "actionTurbo", "actionFocus", "actionLUT", "actionDScale",
                       "actionROI", "actionDistortion"}
        << "Frames" << int(G::Removed) << true << true << true;
    QTest::newRow("lifetime") << 0 << QStringList() << QString() << int(G::Untouched) << false << false << false;
    QTest::newRow("unknown") << 7 << QStringList() << QString() << int(G::Untouched) << false << false << false;
}

void TestModeLayout::layouts()
{
    QFETCH(int, layout);
    QFETCH(QStringList, order);
    QFETCH(QString, framesLabel);
    QFETCH(int, generator);
    QFETCH(bool, showExposure);
    QFETCH(bool, checkTrigger);
    QFETCH(bool, pairs);

    const ModeLayout l = ModeLayout::forNumber(layout);
    QCOMPARE(l.toolBarOrder(), order);
    QCOMPARE(l.framesLabel, framesLabel);
    QCOMPARE(int(l.generator), generator);
    QCOMPARE(l.showExposure, showExposure);
    QCOMPARE(l.checkTriggerAndWidth, checkTrigger);
    QCOMPARE(l.framesInPairs, pairs);
    if (layout == 2)
        QCOMPARE(l.modeLabel, QStringLiteral("Frame Accumulation"));
    if (layout == 3)
        QCOMPARE(l.modeLabel, QStringLiteral("Double Frame"));
}

void TestModeLayout::gatePanelGrid()
{
    const QVector<GatePanelCell> cells = gatePanelCells();
    std::set<std::pair<int, int>> places;
    std::set<int> widgets;
    for (const GatePanelCell& c : cells) {
        QVERIFY2(places.insert({c.row, c.column}).second, "two widgets in one cell");
        widgets.insert(c.widget);
    }
    QCOMPARE(int(cells.size()), 17);         // 3 x 6 without the top-left corner
    QCOMPARE(int(widgets.size()), 17);
    QVERIFY(!places.count({0, 0}));

    QStringList header;
    for (const GatePanelCell& c : cells)
        if (c.row == 0)
            header << gatePanelLabelText(c.widget);
    QCOMPARE(header, (QStringList{"Exposure(us):", "Count:", "Period(us):", "CamDelay(us):", "LED Width(us):"}));

    // Each gate's row: its label, then exposure, count, period, delay, width.
    using W = GatePanelCell::Widget;
    const W gate2Row[] = {W::LabelGate2, W::Exposure2, W::Count2, W::Period2, W::Delay2, W::Width2};
    for (const GatePanelCell& c : cells)
        if (c.row == 2)
            QCOMPARE(c.widget, gate2Row[c.column]);
    QCOMPARE(gatePanelLabelText(W::LabelGate1), QStringLiteral("Gate1:"));
    QVERIFY(gatePanelLabelText(W::Count1).isEmpty());
}

void TestModeLayout::modeSteps_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("radiometric on")
        << int(StationMode::Radiometric) << true
        << QStringList{"EnableTrigger true", "EnablePulseWidthIfTrigger", "SetTwoGate false", "RebuildToolBar 1",
                       "ApplyCameraConfig"};
    QTest::newRow("radiometric off") << int(StationMode::Radiometric) << false << QStringList();
    QTest::newRow("frame accumulation on")
        << int(StationMode::FrameAccumulation) << true
        << QStringList{"SetTwoGate true", "SwitchGate", "RebuildToolBar 2", "ShowGeneratorDialog",
                       "WriteTriggeredMode FrameAccumulation", "ShowCurrentExposure"};
    QTest::newRow("frame accumulation off") << int(StationMode::FrameAccumulation) << false << QStringList();
    QTest::newRow("double framing on")
        << int(StationMode::DoubleFraming) << true
        << QStringList{"EnableTrigger true", "EnablePulseWidth true", "SwitchGate", "RebuildToolBar 3",
                       "WriteTriggeredMode Double"};
    QTest::newRow("double framing off") << int(StationMode::DoubleFraming) << false
                                        << QStringList{"EnableTrigger false", "EnablePulseWidth false"};
    QTest::newRow("lifetime on")
        << int(StationMode::Lifetime) << true
        << QStringList{"SwitchGate", "RebuildToolBar 0", "SetTwoGate true", "ShowGeneratorDialog",
                       "WriteTriggeredMode FrameAccumulation", "ShowCurrentExposure",
                       "SetLifetimeText Switch to Radiometric"};
    QTest::newRow("lifetime off")
        << int(StationMode::Lifetime) << false
        << QStringList{"SwitchGate", "RebuildToolBar 1", "SetTwoGate false", "ApplyCameraConfig",
                       "SetLifetimeText Switch to Lifetime"};
}

void TestModeLayout::modeSteps()
{
    QFETCH(int, mode);
    QFETCH(bool, on);
    QFETCH(QStringList, steps);

    QStringList actual;
    for (const ModeStep& s : ::modeSteps(StationMode(mode), on))
        actual << s.toString();
    QCOMPARE(actual, steps);
}

// The exclusive "Switch Mode" group: the old mode's slot runs with false,
// then the new one's with true. The window state that the steps change is
// followed through a sequence of choices.
void TestModeLayout::modeSwitches_data()
{
    QTest::addColumn<QList<int>>("modes"); // chosen in this order, starting from radiometric
    QTest::addColumn<bool>("twoGate");
    QTest::addColumn<bool>("triggerEnabled");
    QTest::addColumn<int>("layout");

    const int rm = int(StationMode::Radiometric), fam = int(StationMode::FrameAccumulation),
              dfm = int(StationMode::DoubleFraming);
    QTest::newRow("frame accumulation") << QList<int>{fam} << true << true << 2;
    QTest::newRow("accumulation then double framing") << QList<int>{fam, dfm} << true << true << 3;
    QTest::newRow("back to radiometric") << QList<int>{fam, dfm, rm} << false << true << 1;
    QTest::newRow("double framing then accumulation") << QList<int>{dfm, fam} << true << false << 2;
    QTest::newRow("double framing then radiometric") << QList<int>{dfm, rm} << false << true << 1;
}

void TestModeLayout::modeSwitches()
{
    QFETCH(QList<int>, modes);
    QFETCH(bool, twoGate);
    QFETCH(bool, triggerEnabled);
    QFETCH(int, layout);

    bool flag = false;
    bool trigger = true;
    int shown = 1;
    int current = int(StationMode::Radiometric);
    const auto run = [&](int mode, bool on) {
        for (const ModeStep& s : ::modeSteps(StationMode(mode), on)) {
            if (s.kind == ModeStep::SetTwoGate)
                flag = s.flag;
            else if (s.kind == ModeStep::EnableTrigger)
                trigger = s.flag;
            else if (s.kind == ModeStep::RebuildToolBar)
                shown = s.layout;
        }
    };
    for (int mode : modes) {
        run(current, false);
        run(mode, true);
        current = mode;
    }
    QCOMPARE(flag, twoGate);
    QCOMPARE(trigger, triggerEnabled);
    QCOMPARE(shown, layout);
}

void TestModeLayout::gateSwitch_data()
{
    QTest::addColumn<bool>("twoGate");
    QTest::addColumn<bool>("doubleFraming");
    QTest::addColumn<bool>("gate2");
    QTest::addColumn<QString>("text"); // empty: actionGates untouched
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("selected"); // 0: no gate selected
    QTest::addColumn<int>("frameChoice"); // -1: untouched

    QTest::newRow("radiometric") << false << false << true << QString() << QString() << 0 << -1;
    QTest::newRow("two-gate, gate 1") << true << false << false << "Gate1" << ":/Dravo_cam/gate1.png" << 1 << -1;
    QTest::newRow("two-gate, gate 2") << true << false << true << "Gate2" << ":/Dravo_cam/gate2.png" << 2 << -1;
    QTest::newRow("two-gate in double framing") << true << true << true << "Gate2" << ":/Dravo_cam/gate2.png" << 2 << -1;
    QTest::newRow("double framing, gate 1") << false << true << false << "Gate1" << ":/Dravo_cam/gate1.png" << 0 << 1;
    QTest::newRow("double framing, gate 2") << false << true << true << "Gate2" << ":/Dravo_cam/gate2.png" << 0 << 0;
}

void TestModeLayout::gateSwitch()
{
    QFETCH(bool, twoGate);
    QFETCH(bool, doubleFraming);
    QFETCH(bool, gate2);
    QFETCH(QString, text);
    QFETCH(QString, icon);
    QFETCH(int, selected);
    QFETCH(int, frameChoice);

    const GateSet::Switch s = GateSet::plan(twoGate, doubleFraming, gate2);
    QCOMPARE(s.relabel, !text.isEmpty());
    QCOMPARE(s.text, text);
    QCOMPARE(s.icon, icon);
    QCOMPARE(s.selectGate, selected != 0);
    if (selected)
        QCOMPARE(s.gateNumber, selected);
    QCOMPARE(s.setFrameChoice, frameChoice >= 0);
    if (frameChoice >= 0)
        QCOMPARE(s.frameChoice, frameChoice == 1);
}

void TestModeLayout::activeGate_data()
{
    QTest::addColumn<QString>("exposure");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("delay");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QList<double>>("values"); // count, exposure, period, delay, width

    QTest::newRow("defaults of gate 2") << "30" << 1000 << "1000" << "30" << "30"
                                        << QList<double>{1000, 30, 1000, 30, 30};
    QTest::newRow("decimals and blanks") << " 12.5" << 1 << "1e3" << "0.25 " << "7"
                                         << QList<double>{1, 12.5, 1000, 0.25, 7};
    // Not sent as 0: the run checks and the generator request refuse NaN.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // A count below one is no pulse, not four billion of them.
    QTest::newRow("negative count") << "30" << -5 << "1000" << "30" << "30"
                                    << QList<double>{0, 30, 1000, 30, 30};
    QTest::newRow("not numbers are NaN") << "abc" << 5 << "" << "1,5" << "-"
                                         << QList<double>{5, nan, nan, nan, nan};
}

void TestModeLayout::activeGate()
{
    QFETCH(QString, exposure);
    QFETCH(int, count);
    QFETCH(QString, period);
    QFETCH(QString, delay);
    QFETCH(QString, width);
    QFETCH(QList<double>, values);

    const ActiveGate g = GateSet::activate(2, GateFields{exposure, count, period, delay, width});
    QCOMPARE(g.number, 2);
    QCOMPARE(double(g.count), values[0]);
    QCOMPARE(g.exposure, values[1]);
    QCOMPARE(g.period, values[2]);
    QCOMPARE(g.delay, values[3]);
    QCOMPARE(g.ledWidth, values[4]);
    QCOMPARE(GateSet::lineEditStyle(true), QStringLiteral("QLineEdit{background: yellow;}"));
    QCOMPARE(GateSet::spinBoxStyle(false), QStringLiteral("QSpinBox{background: white;}"));
}

QTEST_GUILESS_MAIN(TestModeLayout)
#include "tst_modelayout.moc"
