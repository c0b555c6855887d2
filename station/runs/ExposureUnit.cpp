#include "runs/ExposureUnit.h"

#include <QtGlobal>

#include <cmath>

namespace ExposureUnits {

ExposureSpinSetup switchUnit(ExposureUnit from, ExposureUnit to, double shown)
{
    ExposureSpinSetup s;
    const double microseconds = toMicroseconds(shown, from);
    const double value = fromMicroseconds(microseconds, to);
    if (to == ExposureUnit::Milliseconds) {
        s.label = QStringLiteral("Exposure (ms)");
        s.minimum = 0;
        s.maximum = MillisecondsMaximum;
        s.decimals = 0;
        s.step = 1;
    } else {
        s.label = QStringLiteral("Exposure (us)");
        s.minimum = MicrosecondsMinimum;
        s.maximum = MicrosecondsMaximum;
        s.decimals = 0;
        s.step = 1000;
    }
    // What the spin box will hold: rounded to its decimals (none), then
    // bounded by its range.
    s.value = qBound(s.minimum, std::round(value), s.maximum);
    s.microseconds = toMicroseconds(s.value, to);
    return s;
}

double toMicroseconds(double shown, ExposureUnit unit)
{
    return unit == ExposureUnit::Milliseconds ? shown * 1000.0 : shown;
}

double fromMicroseconds(double microseconds, ExposureUnit unit)
{
    return unit == ExposureUnit::Milliseconds ? microseconds / 1000.0 : microseconds;
}

} // namespace ExposureUnits
