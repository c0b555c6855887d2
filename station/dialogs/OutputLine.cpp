#include "dialogs/OutputLine.h"

#include "camera/FeatureValues.h"

using namespace FeatureValues;

namespace OutputLine {

namespace {

bool listed(int64_t index, int entries)
{
    return index >= 0 && index < entries;
}

int shownIndex(NqGenParameterArray& params, const char* name, int entries)
{
    int64_t value = -1;
    return readEnum(&params, name, value) && listed(value, entries) ? int(value) : -1;
}

} // namespace

void writeSelector(NqGenParameterArray& params, int index)
{
    if (listed(index, SelectorEntries))
        writeNumber(params, "OUT1Selector", index);
}

void writePolarity(NqGenParameterArray& params, int index)
{
    if (listed(index, PolarityEntries))
        writeNumber(params, "OUT1Polarity", index);
}

Shown load(NqGenParameterArray& params)
{
    return {shownIndex(params, "OUT1Selector", SelectorEntries), shownIndex(params, "OUT1Polarity", PolarityEntries)};
}

} // namespace OutputLine
