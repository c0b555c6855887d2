#include "FeatureValues.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCamera, "kessane.station.camera")

namespace {

NqResult logged(const NqResult& result, const char* name)
{
    if (!result.IsOK())
        qCDebug(lcCamera) << "write of" << name << "refused:" << result.GetDescription().GetAscii();
    return result;
}

} // namespace

int64_t readIntegerFeature(NqGenParameterArray& params, const char* name, int64_t fallback)
{
    int64_t value = 0;
    return params.GetIntegerValue(name, value).IsOK() ? value : fallback;
}

int64_t readEnumFeature(NqGenParameterArray& params, const char* name, int64_t fallback)
{
    int64_t value = 0;
    return params.GetEnumValue(name, value).IsOK() ? value : fallback;
}

bool readBooleanFeature(NqGenParameterArray& params, const char* name, bool fallback)
{
    bool value = false;
    return params.GetBooleanValue(name, value).IsOK() ? value : fallback;
}

NqResult writeNumberFeature(NqGenParameterArray& params, const char* name, int64_t value)
{
    const NqGenParameter* parameter = params.Get(name);
    if (parameter && parameter->GetType() == NqGenType::Integer)
        return logged(params.SetIntegerValue(name, value), name);
    if (parameter && parameter->GetType() == NqGenType::Float)
        return logged(params.SetFloatValue(name, static_cast<double>(value)), name);
    // An enumeration, or an absent feature (the helper reports NOT_FOUND).
    return logged(params.SetEnumValue(name, value), name);
}

NqResult writeSwitchFeature(NqGenParameterArray& params, const char* name, bool on)
{
    const NqGenParameter* parameter = params.Get(name);
    if (parameter && parameter->GetType() != NqGenType::Boolean)
        return writeNumberFeature(params, name, on ? 1 : 0);
    return logged(params.SetBooleanValue(name, on), name);
}

NqResult writeEntryFeature(NqGenParameterArray& params, const char* name, const char* entry)
{
    return logged(params.SetEnumValue(name, entry), name);
}
