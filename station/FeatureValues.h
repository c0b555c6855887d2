#pragma once

#include "NqGenParameters.h"

#include <cstdint>

// Reads and writes of camera features for the station's configuration code.
// The callers go on whatever a write returns (a camera lacking a feature
// keeps its state); refused writes are logged under "kessane.station.camera".
// Reads take the value to use when the feature cannot be read.

int64_t readIntegerFeature(NqGenParameterArray& params, const char* name, int64_t fallback);
int64_t readEnumFeature(NqGenParameterArray& params, const char* name, int64_t fallback);
bool readBooleanFeature(NqGenParameterArray& params, const char* name, bool fallback);

// Writes a numeric value to whatever kind of feature the camera has under
// `name`: an enumeration (by value), an integer or a float. Camera models
// differ in how they declare selector-like features such as TriggerNumPulses
// or TriggerDelayRaw; a value written with the wrong accessor would be lost.
NqResult writeNumberFeature(NqGenParameterArray& params, const char* name, int64_t value);

// Writes an on/off setting: a boolean feature as such, an enumeration or an
// integer as 1 / 0 (models differ here too, e.g. VerticalSmearCorrection).
NqResult writeSwitchFeature(NqGenParameterArray& params, const char* name, bool on);

// Sets an enumeration by its entry name.
NqResult writeEntryFeature(NqGenParameterArray& params, const char* name, const char* entry);
