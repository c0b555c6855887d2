#include "base/NqGenParameters.h"

namespace {

template <typename T>
T* typed(NqGenParameterArray& array, const char* name, NqGenType type)
{
    NqGenParameter* parameter = name ? array.Get(name) : nullptr;
    return parameter && parameter->GetType() == type ? static_cast<T*>(parameter) : nullptr;
}

NqResult absent(const char* name)
{
    return NqResult(NqResult::Code::NOT_FOUND,
                    NqString(std::string("No feature of that name and type: ") + (name ? name : "")));
}

} // namespace

NqGenInteger* NqGenParameterArray::GetInteger(const char* name)
{
    return typed<NqGenInteger>(*this, name, NqGenType::Integer);
}

NqGenFloat* NqGenParameterArray::GetFloat(const char* name)
{
    return typed<NqGenFloat>(*this, name, NqGenType::Float);
}

NqGenEnum* NqGenParameterArray::GetEnum(const char* name)
{
    return typed<NqGenEnum>(*this, name, NqGenType::Enum);
}

NqGenBoolean* NqGenParameterArray::GetBoolean(const char* name)
{
    return typed<NqGenBoolean>(*this, name, NqGenType::Boolean);
}

NqGenString* NqGenParameterArray::GetString(const char* name)
{
    return typed<NqGenString>(*this, name, NqGenType::String);
}

NqGenCommand* NqGenParameterArray::GetCommand(const char* name)
{
    return typed<NqGenCommand>(*this, name, NqGenType::Command);
}

NqResult NqGenParameterArray::GetIntegerValue(const char* name, int64_t& value)
{
    NqGenInteger* parameter = GetInteger(name);
    return parameter ? parameter->GetValue(value) : absent(name);
}

NqResult NqGenParameterArray::SetIntegerValue(const char* name, int64_t value)
{
    NqGenInteger* parameter = GetInteger(name);
    return parameter ? parameter->SetValue(value) : absent(name);
}

NqResult NqGenParameterArray::GetFloatValue(const char* name, double& value)
{
    NqGenFloat* parameter = GetFloat(name);
    return parameter ? parameter->GetValue(value) : absent(name);
}

NqResult NqGenParameterArray::SetFloatValue(const char* name, double value)
{
    NqGenFloat* parameter = GetFloat(name);
    return parameter ? parameter->SetValue(value) : absent(name);
}

NqResult NqGenParameterArray::GetEnumValue(const char* name, int64_t& value)
{
    NqGenEnum* parameter = GetEnum(name);
    return parameter ? parameter->GetValue(value) : absent(name);
}

NqResult NqGenParameterArray::GetEnumValue(const char* name, NqString& entryName)
{
    NqGenEnum* parameter = GetEnum(name);
    return parameter ? parameter->GetValue(entryName) : absent(name);
}

NqResult NqGenParameterArray::SetEnumValue(const char* name, int64_t value)
{
    NqGenEnum* parameter = GetEnum(name);
    return parameter ? parameter->SetValue(value) : absent(name);
}

NqResult NqGenParameterArray::SetEnumValue(const char* name, const char* entryName)
{
    NqGenEnum* parameter = GetEnum(name);
    return parameter ? parameter->SetValue(entryName) : absent(name);
}

NqResult NqGenParameterArray::GetBooleanValue(const char* name, bool& value)
{
    NqGenBoolean* parameter = GetBoolean(name);
    return parameter ? parameter->GetValue(value) : absent(name);
}

NqResult NqGenParameterArray::SetBooleanValue(const char* name, bool value)
{
    NqGenBoolean* parameter = GetBoolean(name);
    return parameter ? parameter->SetValue(value) : absent(name);
}

NqResult NqGenParameterArray::GetStringValue(const char* name, NqString& value)
{
    NqGenString* parameter = GetString(name);
    return parameter ? parameter->GetValue(value) : absent(name);
}

NqResult NqGenParameterArray::SetStringValue(const char* name, const char* value)
{
    NqGenString* parameter = GetString(name);
    return parameter ? parameter->SetValue(value) : absent(name);
}

NqResult NqGenParameterArray::ExecuteCommand(const char* name)
{
    NqGenCommand* parameter = GetCommand(name);
    return parameter ? parameter->Execute() : absent(name);
}
