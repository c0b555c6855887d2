#pragma once

// Pages of the TMX pulse generator (HTTP GET on port 80) that the station
// and the console request, and the generator's time base: one tick is 20 ns
// at the finest time unit, counts are sent minus one. At the station,
// channel 1 of generator 1 fires the LED, channel 2 opens the camera's
// exposure gate.

#include <QString>
#include <QtGlobal>

namespace TmxRequest {

constexpr double TicksPerSecond = 50000000.0;
constexpr char StatusPath[] = "/sg_status.shtml";
constexpr char RunPath[] = "/sg_run.shtml?sg1_run=1";
constexpr char ProgramPath[] = "/sg_run.shtml";

// The console's pages: the two-generator settings (a query follows), run
// and stop of the master's two generators, and the read-backs of the
// master's settings and a slave's values. RunPath runs generator 1 alone.
constexpr char ApplyPath[] = "/sg_hr_run.shtml";
constexpr char RunBothPath[] = "/sg_run.shtml?sg1_run=1&sg2_run=1";
constexpr char RunGenerator2Path[] = "/sg_run.shtml?sg2_run=1";
constexpr char ResetPath[] = "/sg_run.shtml?reset1=1&reset2=1";
constexpr char MasterSetupPath[] = "/sg_hr_setup2.shtml";
constexpr char SlaveValuesPath[] = "/index.shtml";

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
