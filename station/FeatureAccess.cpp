#include "FeatureAccess.h"

#include "NqGenParameters.h"

namespace FeatureAccess {

namespace {

template <typename T>
T* feature(NqGenParameterArray* params, const char* name, NqGenType type)
{
    NqGenParameter* parameter = params ? params->Get(name) : nullptr;
    return parameter && parameter->GetType() == type ? static_cast<T*>(parameter) : nullptr;
}

} // namespace

bool readEnum(NqGenParameterArray* params, const char* name, int64_t& value)
{
    auto* e = feature<NqGenEnum>(params, name, NqGenType::Enum);
    int64_t read = 0;
    if (!e || !e->GetValue(read).IsOK())
        return false;
    value = read;
    return true;
}

bool readInteger(NqGenParameterArray* params, const char* name, int64_t& value)
{
    auto* i = feature<NqGenInteger>(params, name, NqGenType::Integer);
    if (!i)
        return readEnum(params, name, value);
    int64_t read = 0;
    if (!i->GetValue(read).IsOK())
        return false;
    value = read;
    return true;
}

bool readBoolean(NqGenParameterArray* params, const char* name, bool& value)
{
    auto* b = feature<NqGenBoolean>(params, name, NqGenType::Boolean);
    bool read = false;
    if (!b || !b->GetValue(read).IsOK())
        return false;
    value = read;
    return true;
}

bool readFloat(NqGenParameterArray* params, const char* name, double& value)
{
    auto* f = feature<NqGenFloat>(params, name, NqGenType::Float);
    double read = 0;
    if (!f || !f->GetValue(read).IsOK())
        return false;
    value = read;
    return true;
}

bool writeInteger(NqGenParameterArray* params, const char* name, int64_t value)
{
    auto* i = feature<NqGenInteger>(params, name, NqGenType::Integer);
    return i && i->SetValue(value).IsOK();
}

} // namespace FeatureAccess
