#pragma once

#include <cstdint>

class NqGenParameterArray;

// Checked reads and writes of single camera or stream features by name. A
// null array, an absent feature or one of another type fails and leaves the
// value untouched. Integer reads also accept an enumeration (its value).
namespace FeatureAccess {
bool readInteger(NqGenParameterArray* params, const char* name, int64_t& value);
bool readEnum(NqGenParameterArray* params, const char* name, int64_t& value);
bool readBoolean(NqGenParameterArray* params, const char* name, bool& value);
bool readFloat(NqGenParameterArray* params, const char* name, double& value);
bool writeInteger(NqGenParameterArray* params, const char* name, int64_t value);
} // namespace FeatureAccess
