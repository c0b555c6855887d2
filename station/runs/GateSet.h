#pragma once

#include <QString>

// The two pulse-generator gate sets of the side panel (Gate1, Gate2) and the
// switch between them.

// One gate's fields as the side panel holds them: line-edit texts in
// microseconds and the count spin box value (stored and restored by the side
// panel under the gate keys of SettingsKeys).
struct GateFields
{
    QString exposure;
    int count = 0;
    QString period;
    QString delay;
    QString ledWidth;
};

// The active gate's values as the runs and the generator request use them.
struct ActiveGate
{
    int number = 1; // 1 or 2
    unsigned count = 0;
    double exposure = 0; // microseconds
    double period = 0;
    double delay = 0;
    double ledWidth = 0;
};

namespace GateSet {

// The active values of `fields`; a field that is not a number is NaN, which
// the run checks refuse and the generator request never sends.
ActiveGate activate(int number, const GateFields& fields);

// What switchGate(gate2) must do to the window.
struct Switch
{
    bool relabel = false;     // actionGates gets icon and text below
    QString icon;
    QString text;
    bool selectGate = false;  // take the active gate, colour the panel, set the
                              // exposure spin box and write TriggerNumPulses
    int gateNumber = 1;       // the gate selected (when selectGate)
    bool setFrameChoice = false; // double framing: frame-choice flag = frameChoice
    bool frameChoice = false;
};
Switch plan(bool twoGate, bool doubleFramingChecked, bool gate2);

// Backgrounds of the selected gate's fields and of the other gate's.
QString lineEditStyle(bool selected);
QString spinBoxStyle(bool selected);

} // namespace GateSet
