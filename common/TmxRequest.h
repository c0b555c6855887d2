#pragma once

// Pages of the TMX pulse generator that the station requests (HTTP GET on
// port 80) and the generator's time base: one tick is 20 ns, counts are sent
// minus one. Channel 1 of generator 1 fires the LED, channel 2 opens the
// camera's exposure gate.

#include <QString>
#include <QtGlobal>

namespace TmxRequest {

constexpr double TicksPerSecond = 50000000.0;
constexpr char StatusPath[] = "/sg_status.shtml";
constexpr char RunPath[] = "/sg_run.shtml?sg1_run=1";
constexpr char ProgramPath[] = "/sg_run.shtml";

// Trigger source of generator 1.
constexpr int SoftwareTrigger = 0;
constexpr int ExternalTriggerRisingEdge = 2;

// "http://" + address + path and query; the address may carry ":port".
QString url(const QString& address, const QString& pathAndQuery);

// trunc(t x 50000000 / 1000000) in double precision, t in microseconds.
double ticks(double microseconds);

// One gate's field as typed: NaN when it is not a number, so that the
// program request refuses it instead of sending 0.
double gateValue(const QString& text);

struct Program
{
    double period = 0;    // microseconds
    quint64 pulses = 0;   // count, sent minus one
    double ledStart = 0;  // microseconds
    double ledWidth = 0;
    double delay = 0;     // camera gate start
    double exposure = 0;  // camera gate length
    bool externallyTriggered = false;
};

// The program-and-run path and query ("/sg_run.shtml?ts1=...&sg1_run=1").
// Returns an empty string and sets *why when a field is not a finite,
// non-negative number, the period is shorter than one tick, there is no
// pulse, or a value does not fit the generator's 32-bit registers: the
// generator is then left alone rather than sent a negative or wrapped value.
QString programPathAndQuery(const Program& program, QString* why);

} // namespace TmxRequest
