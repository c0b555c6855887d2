#pragma once

#include "base/NqGenParameters.h"

#include <QStringList>

#include <map>
#include <memory>
#include <string>

// A camera's or stream's features for tests: named integers, enumerations,
// booleans and floats with optional write ranges. Every write is recorded.
class FakeFeatures : public NqGenParameterArray
{
public:
    QStringList writes; // "Name=value" in write order

    void setInteger(const char* name, int64_t value, int64_t min = INT64_MIN, int64_t max = INT64_MAX)
    {
        m_params[name] = std::make_unique<Integer>(this, name, value, min, max);
    }
    void setEnum(const char* name, int64_t value, const char* entry = "")
    {
        m_params[name] = std::make_unique<Enum>(name, value, entry);
    }
    void setBoolean(const char* name, bool value) { m_params[name] = std::make_unique<Boolean>(name, value); }
    void setFloat(const char* name, double value) { m_params[name] = std::make_unique<Float>(name, value); }

    int64_t integer(const char* name)
    {
        int64_t v = -1;
        if (auto* p = dynamic_cast<Integer*>(Get(name)))
            p->GetValue(v);
        return v;
    }

    NqGenParameter* Get(const char* name) override
    {
        auto it = m_params.find(name);
        return it == m_params.end() ? nullptr : it->second.get();
    }

private:
    template <typename Base>
    struct Named : Base
    {
        explicit Named(std::string n) : name(std::move(n)) {}
        NqString GetName() const override { return name; }
        bool IsReadable() const override { return true; }
        bool IsWritable() const override { return true; }
        NqResult ToString(NqString&) const override { return NqResult::Code::NOT_SUPPORTED; }
        std::string name;
    };

    struct Integer : Named<NqGenInteger>
    {
        Integer(FakeFeatures* o, std::string n, int64_t v, int64_t lo, int64_t hi)
            : Named(std::move(n)), owner(o), value(v), min(lo), max(hi) {}
        NqResult GetValue(int64_t& v) const override { v = value; return NqResult(); }
        NqResult SetValue(int64_t v) override
        {
            owner->writes.append(QStringLiteral("%1=%2").arg(QString::fromStdString(name)).arg(v));
            if (v < min || v > max)
                return NqResult::Code::OUT_OF_RANGE;
            value = v;
            return NqResult();
        }
        NqResult GetMin(int64_t& v) const override { v = min; return NqResult(); }
        NqResult GetMax(int64_t& v) const override { v = max; return NqResult(); }
        FakeFeatures* owner;
        int64_t value, min, max;
    };

    struct Enum : Named<NqGenEnum>
    {
        Enum(std::string n, int64_t v, std::string e) : Named(std::move(n)), value(v), entry(std::move(e)) {}
        NqResult GetValue(int64_t& v) const override { v = value; return NqResult(); }
        NqResult GetValue(NqString& e) const override { e = entry; return NqResult(); }
        NqResult SetValue(int64_t v) override { value = v; return NqResult(); }
        NqResult SetValue(const char* e) override { entry = e; return NqResult(); }
        int64_t value;
        std::string entry;
    };

    struct Boolean : Named<NqGenBoolean>
    {
        Boolean(std::string n, bool v) : Named(std::move(n)), value(v) {}
        NqResult GetValue(bool& v) const override { v = value; return NqResult(); }
        NqResult SetValue(bool v) override { value = v; return NqResult(); }
        bool value;
    };

    struct Float : Named<NqGenFloat>
    {
        Float(std::string n, double v) : Named(std::move(n)), value(v) {}
        NqResult GetValue(double& v) const override { v = value; return NqResult(); }
        NqResult SetValue(double v) override { value = v; return NqResult(); }
        NqResult GetMin(double& v) const override { v = 0; return NqResult(); }
        NqResult GetMax(double& v) const override { v = 1e12; return NqResult(); }
        double value;
    };

    std::map<std::string, std::unique_ptr<NqGenParameter>> m_params;
};
