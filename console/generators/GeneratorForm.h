#pragma once

#include <QString>

// The two-generator form of the pulse-generator dialogs as values: what
// Apply sends, what a profile stores and what the master's read-back fills.
// Index 0 is generator 1, index 1 generator 2; channel 0 is the form's Ch1
// (Ch3 on generator 2), channel 1 its Ch2 (Ch4). Times in milliseconds.
namespace GeneratorForm {

struct Values
{
    int source[2] = {2, 1}; // trigger-source codes, not combo indexes
    double period[2] = {1000, 1000};
    int pulses[2] = {1, 1};
    double delay[2][2] = {{0, 0}, {0, 0}}; // [generator][channel]
    double width[2][2] = {{10, 10}, {10, 10}};
    int timeUnit[2] = {0, 0}; // 0..3: a tick of 20, 40, 80 or 160 ns

    bool operator==(const Values& other) const;
};

constexpr int TimeUnitCount = 4;

// The trigger-source code of a combo index (generator 1: 0, 1, 2, 4, 6;
// generator 2: 0, 1); -1 for an index the combo does not have.
int sourceCode(int generator, int index);
// The combo index of a code; -1 for a code the combo lacks (3, 5, ...), which
// then stays as it is.
int sourceIndex(int generator, int code);

// A time as the generator and the profiles take it: six significant digits,
// exponent form below 1e-4 (4e-05) or from 1e6 on.
QString number(double milliseconds);

// "/sg_hr_run.shtml?ts1=...&save=1": every field of the form, pulse ends
// as delay + width.
QString applyPathAndQuery(const Values& form);

// A profile: the sixteen fields joined by '|' (codes, periods, pulses, the
// delay and width pairs, time units).
QString profileRecord(const Values& form);
// The form of a profile record. Fields that are absent or do not convert
// read as 0; fields after the sixteenth are ignored.
Values fromProfileRecord(const QString& record);
// What a profile name without a stored record loads.
constexpr char MissingProfileRecord[] = "0|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0";

} // namespace GeneratorForm
