#include "camera/NqArvParameters.h"

#include <cmath>
#include <cstring>

namespace {

NqResult notConnected()
{
    return NqResult(NqResult::Code::NOT_CONNECTED, "The camera is not connected");
}

// Runs `body(node)` under the device mutex with the named node, or fails.
template <typename Body>
NqResult withNode(NqDeviceCore& core, const std::string& name, Body body)
{
    std::lock_guard<std::recursive_mutex> lock(core.mutex);
    if (!core.device)
        return notConnected();
    ArvGcNode* node = arv_device_get_feature(core.device, name.c_str());
    if (!node)
        return NqResult(NqResult::Code::NOT_FOUND, NqString("No feature named " + name));
    GError* error = nullptr;
    body(node, &error);
    return nqResultFromError(error);
}

bool accessModeAllows(NqDeviceCore& core, const std::string& name, bool write)
{
    std::lock_guard<std::recursive_mutex> lock(core.mutex);
    if (!core.device)
        return false;
    ArvGcNode* node = arv_device_get_feature(core.device, name.c_str());
    if (!node || !ARV_IS_GC_FEATURE_NODE(node))
        return false;
    ArvGcFeatureNode* feature = ARV_GC_FEATURE_NODE(node);
    if (!arv_gc_feature_node_is_available(feature, nullptr))
        return false;
    if (write && arv_gc_feature_node_is_locked(feature, nullptr))
        return false;
    const ArvGcAccessMode mode = arv_gc_feature_node_get_actual_access_mode(feature);
    if (write)
        return mode == ARV_GC_ACCESS_MODE_RW || mode == ARV_GC_ACCESS_MODE_WO;
    return mode == ARV_GC_ACCESS_MODE_RW || mode == ARV_GC_ACCESS_MODE_RO;
}

template <typename Base>
class ArvFeature : public Base
{
public:
    ArvFeature(std::shared_ptr<NqDeviceCore> core, std::string name) : m_core(std::move(core)), m_name(std::move(name)) {}

    NqString GetName() const override { return m_name; }
    bool IsReadable() const override { return accessModeAllows(*m_core, m_name, false); }
    bool IsWritable() const override { return accessModeAllows(*m_core, m_name, true); }
    NqResult ToString(NqString& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) {
            const char* text = arv_gc_feature_node_get_value_as_string(ARV_GC_FEATURE_NODE(node), error);
            if (text && !*error)
                value = text;
        });
    }

protected:
    template <typename Body>
    NqResult run(Body body) const
    {
        return withNode(*m_core, m_name, body);
    }

private:
    std::shared_ptr<NqDeviceCore> m_core;
    std::string m_name;
};

class ArvInteger : public ArvFeature<NqGenInteger>
{
public:
    using ArvFeature::ArvFeature;
    NqResult GetValue(int64_t& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) { value = arv_gc_integer_get_value(ARV_GC_INTEGER(node), error); });
    }
    NqResult SetValue(int64_t value) override
    {
        return run([&](ArvGcNode* node, GError** error) { arv_gc_integer_set_value(ARV_GC_INTEGER(node), value, error); });
    }
    NqResult GetMin(int64_t& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) { value = arv_gc_integer_get_min(ARV_GC_INTEGER(node), error); });
    }
    NqResult GetMax(int64_t& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) { value = arv_gc_integer_get_max(ARV_GC_INTEGER(node), error); });
    }
};

class ArvFloat : public ArvFeature<NqGenFloat>
{
public:
    using ArvFeature::ArvFeature;
    NqResult GetValue(double& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) { value = arv_gc_float_get_value(ARV_GC_FLOAT(node), error); });
    }
    NqResult SetValue(double value) override
    {
        if (!std::isfinite(value))
            return NqResult(NqResult::Code::INVALID_PARAMETER, "Not a finite number");
        return run([&](ArvGcNode* node, GError** error) { arv_gc_float_set_value(ARV_GC_FLOAT(node), value, error); });
    }
    NqResult GetMin(double& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) { value = arv_gc_float_get_min(ARV_GC_FLOAT(node), error); });
    }
    NqResult GetMax(double& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) { value = arv_gc_float_get_max(ARV_GC_FLOAT(node), error); });
    }
};

class ArvEnum : public ArvFeature<NqGenEnum>
{
public:
    using ArvFeature::ArvFeature;
    NqResult GetValue(int64_t& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) {
            value = arv_gc_enumeration_get_int_value(ARV_GC_ENUMERATION(node), error);
        });
    }
    NqResult GetValue(NqString& entryName) const override
    {
        return run([&](ArvGcNode* node, GError** error) {
            const char* text = arv_gc_enumeration_get_string_value(ARV_GC_ENUMERATION(node), error);
            if (text && !*error)
                entryName = text;
        });
    }
    NqResult SetValue(int64_t value) override
    {
        return run([&](ArvGcNode* node, GError** error) {
            ArvGcEnumeration* enumeration = ARV_GC_ENUMERATION(node);
            if (hasEntry(enumeration, value))
                arv_gc_enumeration_set_int_value(enumeration, value, error);
            else
                g_set_error(error, arv_gc_error_quark(), ARV_GC_ERROR_ENUM_ENTRY_NOT_FOUND,
                            "No available entry of value %" G_GINT64_FORMAT, gint64(value));
        });
    }
    NqResult SetValue(const char* entryName) override
    {
        if (!entryName)
            return NqResult::Code::INVALID_PARAMETER;
        return run([&](ArvGcNode* node, GError** error) {
            arv_gc_enumeration_set_string_value(ARV_GC_ENUMERATION(node), entryName, error);
        });
    }

private:
    // A camera refuses a value that is no available entry.
    static bool hasEntry(ArvGcEnumeration* enumeration, int64_t value)
    {
        guint count = 0;
        gint64* values = arv_gc_enumeration_dup_available_int_values(enumeration, &count, nullptr);
        bool found = false;
        for (guint i = 0; values && i < count; ++i)
            found = found || values[i] == value;
        g_free(values);
        return found;
    }
};

class ArvBoolean : public ArvFeature<NqGenBoolean>
{
public:
    using ArvFeature::ArvFeature;
    NqResult GetValue(bool& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) { value = arv_gc_boolean_get_value(ARV_GC_BOOLEAN(node), error); });
    }
    NqResult SetValue(bool value) override
    {
        return run([&](ArvGcNode* node, GError** error) { arv_gc_boolean_set_value(ARV_GC_BOOLEAN(node), value, error); });
    }
};

class ArvString : public ArvFeature<NqGenString>
{
public:
    using ArvFeature::ArvFeature;
    NqResult GetValue(NqString& value) const override
    {
        return run([&](ArvGcNode* node, GError** error) {
            const char* text = arv_gc_string_get_value(ARV_GC_STRING(node), error);
            if (text && !*error)
                value = text;
        });
    }
    NqResult SetValue(const char* value) override
    {
        if (!value)
            return NqResult::Code::INVALID_PARAMETER;
        return run([&](ArvGcNode* node, GError** error) {
            ArvGcString* string = ARV_GC_STRING(node);
            const gint64 maxLength = arv_gc_string_get_max_length(string, nullptr);
            if (maxLength > 0 && gint64(std::strlen(value)) > maxLength)
                g_set_error(error, arv_gc_error_quark(), ARV_GC_ERROR_INVALID_LENGTH,
                            "Text longer than %" G_GINT64_FORMAT " characters", maxLength);
            else
                arv_gc_string_set_value(string, value, error);
        });
    }
};

class ArvCommand : public ArvFeature<NqGenCommand>
{
public:
    using ArvFeature::ArvFeature;
    NqResult Execute() override
    {
        return run([&](ArvGcNode* node, GError** error) { arv_gc_command_execute(ARV_GC_COMMAND(node), error); });
    }
};

bool typeOf(ArvGcNode* node, NqGenType& type)
{
    // An enumeration is also an integer, so it is tested first.
    if (ARV_IS_GC_ENUMERATION(node))
        type = NqGenType::Enum;
    else if (ARV_IS_GC_COMMAND(node))
        type = NqGenType::Command;
    else if (ARV_IS_GC_BOOLEAN(node))
        type = NqGenType::Boolean;
    else if (ARV_IS_GC_INTEGER(node))
        type = NqGenType::Integer;
    else if (ARV_IS_GC_FLOAT(node))
        type = NqGenType::Float;
    else if (ARV_IS_GC_STRING(node))
        type = NqGenType::String;
    else
        return false;
    return true;
}

std::unique_ptr<NqGenParameter> makeParameter(NqGenType type, const std::shared_ptr<NqDeviceCore>& core,
                                              const std::string& name)
{
    switch (type) {
    case NqGenType::Integer:
        return std::make_unique<ArvInteger>(core, name);
    case NqGenType::Float:
        return std::make_unique<ArvFloat>(core, name);
    case NqGenType::Enum:
        return std::make_unique<ArvEnum>(core, name);
    case NqGenType::Boolean:
        return std::make_unique<ArvBoolean>(core, name);
    case NqGenType::String:
        return std::make_unique<ArvString>(core, name);
    case NqGenType::Command:
        return std::make_unique<ArvCommand>(core, name);
    }
    return nullptr;
}

} // namespace

NqArvParameterArray::NqArvParameterArray(std::shared_ptr<NqDeviceCore> core) : m_core(std::move(core)) {}

NqArvParameterArray::~NqArvParameterArray() = default;

NqGenParameter* NqArvParameterArray::Get(const char* name)
{
    if (!name || !*name)
        return nullptr;
    NqGenType type;
    {
        std::lock_guard<std::recursive_mutex> lock(m_core->mutex);
        if (!m_core->device)
            return nullptr;
        ArvGcNode* node = arv_device_get_feature(m_core->device, name);
        if (!node || !ARV_IS_GC_FEATURE_NODE(node) || !typeOf(node, type))
            return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    auto& slot = m_cache[{name, type}];
    if (!slot)
        slot = makeParameter(type, m_core, name);
    return slot.get();
}
