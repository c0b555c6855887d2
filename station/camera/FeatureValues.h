#pragma once

#include "base/NqGenParameters.h"

#include <QStringList>

#include <cstdint>

// Reads and writes of single camera or stream features by name, for the
// station's configuration, image-area, statistics and sidecar code. Only the
// abstract parameter interface is used, so no camera is needed to test them.
namespace FeatureValues {

// Checked reads: a null array, an absent feature or one of another type
// fails and leaves `value` untouched. Integer reads also accept an
// enumeration (its value).
bool readInteger(NqGenParameterArray* params, const char* name, int64_t& value);
bool readEnum(NqGenParameterArray* params, const char* name, int64_t& value);
bool readBoolean(NqGenParameterArray* params, const char* name, bool& value);
bool readFloat(NqGenParameterArray* params, const char* name, double& value);

// The same reads with the value to use when the feature cannot be read.
int64_t integerOr(NqGenParameterArray& params, const char* name, int64_t fallback);
int64_t enumOr(NqGenParameterArray& params, const char* name, int64_t fallback);
bool booleanOr(NqGenParameterArray& params, const char* name, bool fallback);

// The camera's exposure feature: the vendor's integer ExposureTimeRaw, else
// the standard ExposureTimeAbs, else ExposureTime (microseconds, as a float
// on most cameras); null when it has none.
const char* exposureFeature(NqGenParameterArray* params);
// The exposure in microseconds, read from that feature.
bool readExposure(NqGenParameterArray* params, double& microseconds);

// Writes. The configuration code goes on whatever a write returns (a camera
// lacking a feature keeps its state); refused writes are logged under
// "kessane.station.camera" (each feature's once, then as a count) and told
// to the innermost RefusedWrites of the writing thread.

// Writes a numeric value to whatever kind of feature the camera has under
// `name`: an enumeration (by value), an integer or a float. Camera models
// differ in how they declare selector-like features such as TriggerNumPulses
// or TriggerDelayRaw; a value written with the wrong accessor would be lost.
NqResult writeNumber(NqGenParameterArray& params, const char* name, int64_t value);

// Writes an on/off setting: a boolean feature as such, an enumeration or an
// integer as 1 / 0 (models differ here too, e.g. VerticalSmearCorrection).
NqResult writeSwitch(NqGenParameterArray& params, const char* name, bool on);

// Sets an enumeration by its entry name.
NqResult writeEntry(NqGenParameterArray& params, const char* name, const char* entry);

// An integer feature only (image area and offsets); false for a null array
// or a refused write.
bool writeInteger(NqGenParameterArray* params, const char* name, int64_t value);

// Collects, while it lives, the names of the features whose writes through
// the functions above the camera refused (an absent feature counts), on the
// thread that made it. A dialog wraps one change of the user's in it, so that
// it can show the camera's values again and say what did not take.
class RefusedWrites
{
public:
    RefusedWrites();
    ~RefusedWrites();
    RefusedWrites(const RefusedWrites&) = delete;
    RefusedWrites& operator=(const RefusedWrites&) = delete;

    // Each name once, in the order of the first refusal.
    const QStringList& features() const { return m_features; }
    // "The camera refused A, B"; empty when the camera took every write.
    QString text() const;

    // Tells the innermost collector of this thread, if there is one.
    static void record(const char* name);

private:
    QStringList m_features;
    RefusedWrites* m_outer;
};

} // namespace FeatureValues
