#pragma once

#include "base/NqGenParameters.h"

// The camera's output line 1: which internal signal it carries
// (OUT1Selector) and with which polarity (OUT1Polarity). The dialog's lists
// are in the camera's value order, so an entry's index is the value written.
namespace OutputLine {

constexpr int SelectorEntries = 16; // "None" ... "FrameTransfer"
constexpr int PolarityEntries = 2;  // "ActiveLow", "ActiveHigh"

// Write the entry's value; nothing for an index outside the list.
void writeSelector(NqGenParameterArray& params, int index);
void writePolarity(NqGenParameterArray& params, int index);

// The entries showing the camera's settings, -1 (no selection) for a value
// the list lacks or an unreadable one. Reads only.
struct Shown
{
    int selector = -1;
    int polarity = -1;
};
Shown load(NqGenParameterArray& params);

} // namespace OutputLine
