#pragma once

#include "generators/GeneratorForm.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>
#include <optional>

// The pulse generator's pages as the console reads them: the master's
// settings page, a slave's values page and the status page. The patterns
// follow the device's page layout; the first (greedy) match counts, and '.'
// matches any character.
namespace ValueFields {
class Field;
}

namespace TmxPages {

// A larger answer is not a generator's page: its request is given up.
constexpr int MaxPageBytes = 64 * 1024;

// The body as text: NUL bytes removed, each byte one character, and line
// feeds removed unless kept (the settings and values pages are matched as
// one line, the status page as it is).
QString pageText(const QByteArray& body, bool keepLineFeeds = false);

// The value fields of the master's settings page and of a slave's values page.
const QVector<ValueFields::Field>& masterValueFields();
const QVector<ValueFields::Field>& slaveValueFields();

// `shown` with every value that the master's settings page holds: the
// periods, pulse counts, delays and widths, trigger sources and time units.
// What the page does not hold, or holds in a form that does not convert,
// stays as shown; *understood is false then.
GeneratorForm::Values readMasterPage(const QString& text, GeneratorForm::Values shown, bool* understood);

// A slave's page fields in page order: ts1, ts2, p1, p2, pn1, pn2, ch1_st1,
// ch1_st2, ch1_et1, ch1_et2, ch2_st1, ch2_st2, ch2_et1, ch2_et2, freq1,
// freq2 (times in ticks of the time unit, pulse counts minus one).
using SlaveValues = std::array<qint32, 16>;
// None when the page does not match (a seventeenth value must follow). A
// value that does not fit 32 bits reads as 0.
std::optional<SlaveValues> readSlavePage(const QString& text);
// A slave's block of the run log: ten lines, each a tab, a text and CR LF,
// with times in milliseconds and pulse counts as the generator gives them.
QString slaveBlock(const SlaveValues& values);
// The names of the trigger-source codes in the run log; empty for others.
QString triggerSourceName(int generator, int code);

// The two outputs of a generator's status page: true while running.
struct Outputs
{
    bool generator1 = false;
    bool generator2 = false;
};
std::optional<Outputs> readStatusPage(const QString& text);

} // namespace TmxPages
