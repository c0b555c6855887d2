#pragma once

#include <QString>

// The exposure spin box shows microseconds or milliseconds; the camera
// features are always microseconds.
enum class ExposureUnit { Microseconds, Milliseconds };

// How to set the exposure spin box up for a unit. The window applies it with
// the box's signals blocked, range first and value last, so the value is not
// clamped through the old unit's range, then calls changeExposure once with
// `microseconds`.
struct ExposureSpinSetup
{
    QString label;
    double minimum = 0;
    double maximum = 0;
    int decimals = 0;
    double step = 1;
    double value = 0;        // in the new unit, rounded and within the range
    double microseconds = 0; // the same exposure for the camera
};

namespace ExposureUnits {

constexpr double MicrosecondsMinimum = 10;
constexpr double MicrosecondsMaximum = 16777215; // 0xFFFFFF, the camera's raw exposure limit
constexpr double MillisecondsMaximum = 16777;

// The spin box set up for `to`, `shown` being its current value in `from`.
// A switch to the unit already shown keeps the value.
ExposureSpinSetup switchUnit(ExposureUnit from, ExposureUnit to, double shown);

// A spin box value in `unit` as microseconds, and back.
double toMicroseconds(double shown, ExposureUnit unit);
double fromMicroseconds(double microseconds, ExposureUnit unit);

} // namespace ExposureUnits
