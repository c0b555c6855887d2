#include "TmxRequest.h"

#include <cmath>
#include <limits>

namespace TmxRequest {

namespace {

constexpr double RegisterMax = 4294967295.0; // the generator's registers are 32-bit

bool validTime(double microseconds)
{
    return std::isfinite(microseconds) && microseconds >= 0;
}

} // namespace

QString url(const QString& address, const QString& pathAndQuery)
{
    return QStringLiteral("http://%1%2").arg(address, pathAndQuery);
}

double ticks(double microseconds)
{
    return std::trunc(microseconds * TicksPerSecond / 1000000.0);
}

double gateValue(const QString& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : std::numeric_limits<double>::quiet_NaN();
}

QString programPathAndQuery(const Program& p, QString* why)
{
    const struct
    {
        const char* name;
        double value;
    } times[] = {{"Period", p.period},     {"LED start", p.ledStart}, {"LED width", p.ledWidth},
                 {"Camera delay", p.delay}, {"Exposure", p.exposure}};
    for (const auto& t : times) {
        if (!validTime(t.value)) {
            *why = QStringLiteral("%1 is not a valid time.").arg(QLatin1String(t.name));
            return QString();
        }
    }
    // The one is subtracted before truncation, as the generator counts from 0.
    const double periodTicks = p.period * TicksPerSecond / 1000000.0;
    const double period = std::trunc(periodTicks - 1);
    if (periodTicks < 1) {
        *why = QStringLiteral("Period must be at least one tick (0.02 us).");
        return QString();
    }
    if (p.pulses < 1) {
        *why = QStringLiteral("Pulse count must be at least 1.");
        return QString();
    }
    const double ledStart = ticks(p.ledStart);
    const double ledEnd = ledStart + ticks(p.ledWidth);
    const double gateStart = ticks(p.delay);
    const double gateEnd = gateStart + ticks(p.exposure);
    if (period > RegisterMax || double(p.pulses - 1) > RegisterMax || ledEnd > RegisterMax
        || gateEnd > RegisterMax) {
        *why = QStringLiteral("A value is too large for the generator.");
        return QString();
    }
    const auto n = [](double v) { return QString::number(quint64(v)); };
    return QStringLiteral("%1?ts1=%2&p1=%3&pn1=%4&ch1_st1=%5&ch1_et1=%6&ch2_st1=%7&ch2_et1=%8"
                          "&freq1=0&save=1&sg1_run=1")
        .arg(QLatin1String(ProgramPath))
        .arg(p.externallyTriggered ? ExternalTriggerRisingEdge : SoftwareTrigger)
        .arg(n(period), QString::number(p.pulses - 1), n(ledStart), n(ledEnd), n(gateStart),
             n(gateEnd));
}

} // namespace TmxRequest
