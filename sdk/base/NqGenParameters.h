#pragma once

#include "base/NqResult.h"

#include <cstdint>

// Typed access to named features: a camera's GenICam features (through
// NqDevice) or a stream's own parameters (through NqStream). Writes are checked
// against the feature's range and access mode, as a real camera would.
enum class NqGenType { Integer, Float, Enum, Boolean, String, Command };

class NqGenParameter
{
public:
    virtual ~NqGenParameter() = default;
    virtual NqString GetName() const = 0;
    virtual NqGenType GetType() const = 0;
    virtual bool IsReadable() const = 0;
    virtual bool IsWritable() const = 0;
    // The value as text (an enumeration gives its entry name).
    virtual NqResult ToString(NqString& value) const = 0;
};

class NqGenInteger : public NqGenParameter
{
public:
    NqGenType GetType() const override { return NqGenType::Integer; }
    virtual NqResult GetValue(int64_t& value) const = 0;
    virtual NqResult SetValue(int64_t value) = 0;
    virtual NqResult GetMin(int64_t& value) const = 0;
    virtual NqResult GetMax(int64_t& value) const = 0;
};

class NqGenFloat : public NqGenParameter
{
public:
    NqGenType GetType() const override { return NqGenType::Float; }
    virtual NqResult GetValue(double& value) const = 0;
    virtual NqResult SetValue(double value) = 0;
    virtual NqResult GetMin(double& value) const = 0;
    virtual NqResult GetMax(double& value) const = 0;
};

class NqGenEnum : public NqGenParameter
{
public:
    NqGenType GetType() const override { return NqGenType::Enum; }
    virtual NqResult GetValue(int64_t& value) const = 0;
    virtual NqResult GetValue(NqString& entryName) const = 0;
    virtual NqResult SetValue(int64_t value) = 0;
    virtual NqResult SetValue(const char* entryName) = 0;
};

class NqGenBoolean : public NqGenParameter
{
public:
    NqGenType GetType() const override { return NqGenType::Boolean; }
    virtual NqResult GetValue(bool& value) const = 0;
    virtual NqResult SetValue(bool value) = 0;
};

class NqGenString : public NqGenParameter
{
public:
    NqGenType GetType() const override { return NqGenType::String; }
    virtual NqResult GetValue(NqString& value) const = 0;
    virtual NqResult SetValue(const char* value) = 0;
};

class NqGenCommand : public NqGenParameter
{
public:
    NqGenType GetType() const override { return NqGenType::Command; }
    virtual NqResult Execute() = 0;
};

// A set of named parameters. Get returns null for an absent name; the typed
// getters return null when the name is absent or of another type. The value
// helpers fail with NOT_FOUND for an absent feature.
class NqGenParameterArray
{
public:
    virtual ~NqGenParameterArray() = default;
    virtual NqGenParameter* Get(const char* name) = 0;

    NqGenInteger* GetInteger(const char* name);
    NqGenFloat* GetFloat(const char* name);
    NqGenEnum* GetEnum(const char* name);
    NqGenBoolean* GetBoolean(const char* name);
    NqGenString* GetString(const char* name);
    NqGenCommand* GetCommand(const char* name);

    NqResult GetIntegerValue(const char* name, int64_t& value);
    NqResult SetIntegerValue(const char* name, int64_t value);
    NqResult GetFloatValue(const char* name, double& value);
    NqResult SetFloatValue(const char* name, double value);
    NqResult GetEnumValue(const char* name, int64_t& value);
    NqResult GetEnumValue(const char* name, NqString& entryName);
    NqResult SetEnumValue(const char* name, int64_t value);
    NqResult SetEnumValue(const char* name, const char* entryName);
    NqResult GetBooleanValue(const char* name, bool& value);
    NqResult SetBooleanValue(const char* name, bool value);
    NqResult GetStringValue(const char* name, NqString& value);
    NqResult SetStringValue(const char* name, const char* value);
    NqResult ExecuteCommand(const char* name);
};
