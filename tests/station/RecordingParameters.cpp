#include "RecordingParameters.h"

#include <QLocale>

// Common state of every recorded feature; the typed classes below add the
// value and the SDK interface of their kind.
class RecordingParameters::Feature
{
public:
    Feature(QStringList& log, const QString& name) : m_log(log), m_name(name) {}
    virtual ~Feature() = default;
    virtual NqGenParameter* parameter() = 0;

    bool readable = true;
    bool writable = true;

protected:
    NqResult read() const
    {
        m_log << m_name + (readable ? QStringLiteral("?") : QStringLiteral("? refused"));
        return readable ? NqResult() : NqResult(NqResult::Code::ACCESS_DENIED, "not readable");
    }
    // Records a write of `text` by `how`; refused when not writable or !allowed.
    NqResult write(const QString& text, const char* how, bool allowed) const
    {
        const bool ok = writable && allowed;
        QString entry = QStringLiteral("%1=%2 (%3)").arg(m_name, text, QLatin1String(how));
        if (!ok)
            entry += QStringLiteral(" refused");
        m_log << entry;
        if (ok)
            return NqResult();
        return writable ? NqResult(NqResult::Code::OUT_OF_RANGE, "value refused")
                        : NqResult(NqResult::Code::ACCESS_DENIED, "not writable");
    }
    NqString name() const { return NqString(m_name.toStdString()); }

    QStringList& m_log;
    QString m_name;
};

namespace {

QString floatText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString valueText(int64_t value)
{
    return QString::number(value);
}

QString valueText(double value)
{
    return floatText(value);
}

// An integer or float feature with a range; `kind` names it in the log.
template <typename T, typename Interface>
class RangedFeature : public RecordingParameters::Feature, public Interface
{
public:
    RangedFeature(QStringList& log, const QString& name, const char* kind, T value, T min, T max)
        : Feature(log, name), value(value), min(min), max(max), m_kind(kind) {}
    NqGenParameter* parameter() override { return this; }
    NqString GetName() const override { return name(); }
    bool IsReadable() const override { return readable; }
    bool IsWritable() const override { return writable; }
    NqResult ToString(NqString& text) const override
    {
        text = NqString(valueText(value).toStdString());
        return read();
    }
    NqResult GetValue(T& v) const override
    {
        const NqResult r = read();
        if (r.IsOK())
            v = value;
        return r;
    }
    NqResult SetValue(T v) override
    {
        const NqResult r = write(valueText(v), m_kind, v >= min && v <= max);
        if (r.IsOK())
            value = v;
        return r;
    }
    NqResult GetMin(T& v) const override { v = min; return NqResult(); }
    NqResult GetMax(T& v) const override { v = max; return NqResult(); }

    T value, min, max;

private:
    const char* m_kind;
};

class IntegerFeature : public RangedFeature<int64_t, NqGenInteger>
{
public:
    IntegerFeature(QStringList& log, const QString& name, int64_t value, int64_t min, int64_t max)
        : RangedFeature(log, name, "integer", value, min, max) {}
};

class FloatFeature : public RangedFeature<double, NqGenFloat>
{
public:
    FloatFeature(QStringList& log, const QString& name, double value, double min, double max)
        : RangedFeature(log, name, "float", value, min, max) {}
};

class EnumFeature : public RecordingParameters::Feature, public NqGenEnum
{
public:
    EnumFeature(QStringList& log, const QString& name, int64_t value, const RecordingParameters::Entries& entries)
        : Feature(log, name), value(value), entries(entries) {}
    NqGenParameter* parameter() override { return this; }
    NqString GetName() const override { return name(); }
    bool IsReadable() const override { return readable; }
    bool IsWritable() const override { return writable; }
    QString entryName() const
    {
        for (const auto& e : entries)
            if (e.second == value)
                return e.first;
        return QString();
    }
    NqResult ToString(NqString& text) const override
    {
        text = NqString(entryName().toStdString());
        return read();
    }
    NqResult GetValue(int64_t& v) const override
    {
        const NqResult r = read();
        if (r.IsOK())
            v = value;
        return r;
    }
    NqResult GetValue(NqString& text) const override
    {
        const NqResult r = read();
        if (!r.IsOK())
            return r;
        const QString n = entryName();
        if (n.isEmpty())
            return NqResult(NqResult::Code::NOT_FOUND, "no entry for the value");
        text = NqString(n.toStdString());
        return r;
    }
    NqResult SetValue(int64_t v) override
    {
        bool listed = entries.isEmpty();
        for (const auto& e : entries)
            listed = listed || e.second == v;
        const NqResult r = write(QString::number(v), "value", listed);
        if (r.IsOK())
            value = v;
        return r;
    }
    NqResult SetValue(const char* entry) override
    {
        const QString wanted = QString::fromUtf8(entry ? entry : "");
        const QPair<QString, int64_t>* found = nullptr;
        for (const auto& e : entries)
            if (e.first == wanted)
                found = &e;
        const NqResult r = write(wanted, "name", found != nullptr);
        if (r.IsOK())
            value = found->second;
        return r;
    }

    int64_t value;
    RecordingParameters::Entries entries;
};

class BooleanFeature : public RecordingParameters::Feature, public NqGenBoolean
{
public:
    BooleanFeature(QStringList& log, const QString& name, bool value) : Feature(log, name), value(value) {}
    NqGenParameter* parameter() override { return this; }
    NqString GetName() const override { return name(); }
    bool IsReadable() const override { return readable; }
    bool IsWritable() const override { return writable; }
    NqResult ToString(NqString& text) const override
    {
        text = NqString(value ? "true" : "false");
        return read();
    }
    NqResult GetValue(bool& v) const override
    {
        const NqResult r = read();
        if (r.IsOK())
            v = value;
        return r;
    }
    NqResult SetValue(bool v) override
    {
        const NqResult r = write(v ? QStringLiteral("true") : QStringLiteral("false"), "boolean", true);
        if (r.IsOK())
            value = v;
        return r;
    }

    bool value;
};

class StringFeature : public RecordingParameters::Feature, public NqGenString
{
public:
    StringFeature(QStringList& log, const QString& name, const QString& value) : Feature(log, name), value(value) {}
    NqGenParameter* parameter() override { return this; }
    NqString GetName() const override { return name(); }
    bool IsReadable() const override { return readable; }
    bool IsWritable() const override { return writable; }
    NqResult ToString(NqString& text) const override
    {
        text = NqString(value.toStdString());
        return read();
    }
    NqResult GetValue(NqString& text) const override
    {
        const NqResult r = read();
        if (r.IsOK())
            text = NqString(value.toStdString());
        return r;
    }
    NqResult SetValue(const char* v) override
    {
        const QString text = QString::fromUtf8(v ? v : "");
        const NqResult r = write(text, "string", true);
        if (r.IsOK())
            value = text;
        return r;
    }

    QString value;
};

class CommandFeature : public RecordingParameters::Feature, public NqGenCommand
{
public:
    CommandFeature(QStringList& log, const QString& name) : Feature(log, name) {}
    NqGenParameter* parameter() override { return this; }
    NqString GetName() const override { return name(); }
    bool IsReadable() const override { return readable; }
    bool IsWritable() const override { return writable; }
    NqResult ToString(NqString& text) const override
    {
        text = NqString();
        return read();
    }
    NqResult Execute() override
    {
        m_log << m_name + (writable ? QStringLiteral(" (command)") : QStringLiteral(" (command) refused"));
        return writable ? NqResult() : NqResult(NqResult::Code::ACCESS_DENIED, "not writable");
    }
};

template <typename T>
T* as(RecordingParameters::Feature* feature)
{
    return dynamic_cast<T*>(feature);
}

} // namespace

RecordingParameters::RecordingParameters() = default;
RecordingParameters::~RecordingParameters() = default;

void RecordingParameters::addInteger(const QString& name, int64_t value, int64_t minimum, int64_t maximum)
{
    m_features[name.toStdString()] = std::make_unique<IntegerFeature>(m_log, name, value, minimum, maximum);
}

void RecordingParameters::addFloat(const QString& name, double value, double minimum, double maximum)
{
    m_features[name.toStdString()] = std::make_unique<FloatFeature>(m_log, name, value, minimum, maximum);
}

void RecordingParameters::addEnum(const QString& name, int64_t value, const Entries& entries)
{
    m_features[name.toStdString()] = std::make_unique<EnumFeature>(m_log, name, value, entries);
}

void RecordingParameters::addBoolean(const QString& name, bool value)
{
    m_features[name.toStdString()] = std::make_unique<BooleanFeature>(m_log, name, value);
}

void RecordingParameters::addString(const QString& name, const QString& value)
{
    m_features[name.toStdString()] = std::make_unique<StringFeature>(m_log, name, value);
}

void RecordingParameters::addCommand(const QString& name)
{
    m_features[name.toStdString()] = std::make_unique<CommandFeature>(m_log, name);
}

void RecordingParameters::setWritable(const QString& name, bool writable)
{
    if (Feature* f = find(name))
        f->writable = writable;
}

void RecordingParameters::setReadable(const QString& name, bool readable)
{
    if (Feature* f = find(name))
        f->readable = readable;
}

RecordingParameters::Feature* RecordingParameters::find(const QString& name) const
{
    const auto it = m_features.find(name.toStdString());
    return it == m_features.end() ? nullptr : it->second.get();
}

int64_t RecordingParameters::integer(const QString& name) const
{
    const auto* f = as<IntegerFeature>(find(name));
    return f ? f->value : 0;
}

double RecordingParameters::floating(const QString& name) const
{
    const auto* f = as<FloatFeature>(find(name));
    return f ? f->value : 0.0;
}

int64_t RecordingParameters::enumValue(const QString& name) const
{
    const auto* f = as<EnumFeature>(find(name));
    return f ? f->value : 0;
}

QString RecordingParameters::enumName(const QString& name) const
{
    const auto* f = as<EnumFeature>(find(name));
    return f ? f->entryName() : QString();
}

bool RecordingParameters::boolean(const QString& name) const
{
    const auto* f = as<BooleanFeature>(find(name));
    return f && f->value;
}

QStringList RecordingParameters::writes() const
{
    QStringList result;
    for (const QString& entry : m_log)
        if (!entry.endsWith(QLatin1String("?")) && !entry.endsWith(QLatin1String("? refused")))
            result << entry;
    return result;
}

NqGenParameter* RecordingParameters::Get(const char* name)
{
    const QString key = QString::fromUtf8(name ? name : "");
    if (Feature* f = find(key))
        return f->parameter();
    if (!m_absent.contains(key))
        m_absent << key;
    return nullptr;
}
