#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The camera tool bar (toolBarCam) of each acquisition mode, as data. The main
// window clears the bar, adds the mode label action (when there is one) and
// the actions by object name in order, then inserts the boxes just before
// actionTurbo in order, and applies the other settings listed here.
struct ModeLayout
{
    // Layout numbers as ModeToolBar::rebuild takes them.
    enum Number { Lifetime = 0, Radiometric = 1, FrameAccumulation = 2, DoubleFraming = 3 };

    // A small widget holding a label above its input, or the gate panel.
    enum class Box { Exposure, Frames, Average, GatePanel };

    // The generator action (opens the generator-IP dialog) on mainToolBar.
    enum class GeneratorAction { Untouched, Removed, Added };

    QString modeLabel;     // text of a new disabled action put first; empty: none
    QStringList actions;   // action object names in tool-bar order
    QVector<Box> boxes;    // inserted before actionTurbo, in this order
    QString framesLabel;   // text of the frames label while this layout shows
    GeneratorAction generator = GeneratorAction::Untouched;
    bool showExposure = false;         // exposure label and spin box shown
    bool checkTriggerAndWidth = false; // actionTrigger and actionPulseWidth checked
    bool framesInPairs = false;        // frames spin box step 2, range 1..10000

    static constexpr char TurboAction[] = "actionTurbo";
    static constexpr char GeneratorIcon[] = ":/Dravo_cam/device.png";
    static constexpr char GeneratorText[] = "TMX IP";
    static constexpr int PairsStep = 2;
    static constexpr int FramesMinimum = 1;
    static constexpr int FramesMaximum = 10000;

    // An unknown layout leaves the camera tool bar empty.
    static ModeLayout forNumber(int layout);

    // The whole bar in order: "modeLabel" for the mode label, action names,
    // and "box:Exposure", "box:Frames", "box:Average", "box:GatePanel".
    QStringList toolBarOrder() const;
};

// The gate panel: a grid with spacing 3, column labels on row 0, one gate per
// row after that.
struct GatePanelCell
{
    enum Widget {
        LabelExposure, LabelCount, LabelPeriod, LabelDelay, LabelWidth,
        LabelGate1, LabelGate2,
        Exposure1, Count1, Period1, Delay1, Width1,
        Exposure2, Count2, Period2, Delay2, Width2,
    };
    Widget widget;
    int row;
    int column;
};

constexpr int GatePanelSpacing = 3;
QVector<GatePanelCell> gatePanelCells();
// The text of a label cell ("Exposure(us):", "Gate1:", ...); empty for inputs.
QString gatePanelLabelText(GatePanelCell::Widget widget);
