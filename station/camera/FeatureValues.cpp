#include "camera/FeatureValues.h"

#include "RepeatedFailure.h"

#include <QHash>
#include <QLoggingCategory>
#include <QMutex>

Q_LOGGING_CATEGORY(lcCamera, "kessane.station.camera")

namespace FeatureValues {

namespace {

template <typename T>
T* feature(NqGenParameterArray* params, const char* name, NqGenType type)
{
    NqGenParameter* parameter = params ? params->Get(name) : nullptr;
    return parameter && parameter->GetType() == type ? static_cast<T*>(parameter) : nullptr;
}

template <typename T, typename V>
bool read(NqGenParameterArray* params, const char* name, NqGenType type, V& value)
{
    auto* f = feature<T>(params, name, type);
    V read{};
    if (!f || !f->GetValue(read).IsOK())
        return false;
    value = read;
    return true;
}

thread_local RefusedWrites* innermostRefusals = nullptr;

// A camera may refuse a write every time it comes, as the exposure written
// at every frame of a two-gate capture: each feature's refusals are logged
// once, then as a count at most once a minute, and their end when a write of
// it is taken again. A single refusal is told once, without an end. Writes
// may come from any thread.
class RefusalLog
{
public:
    void refused(const char* name, const NqResult& result)
    {
        const QMutexLocker lock(&mutex_);
        RepeatedFailure& feature = features_[QByteArray(name)];
        if (const RepeatedFailure::Line line = feature.occurred())
            feature.log(lcCamera(),
                        QStringLiteral("write of %1 refused: %2")
                            .arg(QLatin1String(name), QString::fromLatin1(result.GetDescription().GetAscii())),
                        line, QtDebugMsg);
    }

    void taken(const char* name)
    {
        const QMutexLocker lock(&mutex_);
        const auto feature = features_.find(QByteArray(name));
        if (feature == features_.end())
            return;
        const RepeatedFailure::Line line = feature->ended();
        if (line.count > 1)
            feature->log(lcCamera(), QStringLiteral("writes of %1 refused").arg(QLatin1String(name)), line,
                         QtDebugMsg);
    }

private:
    QMutex mutex_;
    QHash<QByteArray, RepeatedFailure> features_;
};

RefusalLog& refusalLog()
{
    static RefusalLog log;
    return log;
}

NqResult logged(const NqResult& result, const char* name)
{
    if (result.IsOK()) {
        refusalLog().taken(name);
        return result;
    }
    refusalLog().refused(name, result);
    RefusedWrites::record(name);
    return result;
}

} // namespace

RefusedWrites::RefusedWrites() : m_outer(innermostRefusals)
{
    innermostRefusals = this;
}

RefusedWrites::~RefusedWrites()
{
    innermostRefusals = m_outer;
}

QString RefusedWrites::text() const
{
    return m_features.isEmpty() ? QString()
                                : QStringLiteral("The camera refused %1").arg(m_features.join(QStringLiteral(", ")));
}

void RefusedWrites::record(const char* name)
{
    const QString feature = QString::fromLatin1(name ? name : "");
    if (innermostRefusals && !innermostRefusals->m_features.contains(feature))
        innermostRefusals->m_features.append(feature);
}

bool readEnum(NqGenParameterArray* params, const char* name, int64_t& value)
{
    return read<NqGenEnum>(params, name, NqGenType::Enum, value);
}

bool readInteger(NqGenParameterArray* params, const char* name, int64_t& value)
{
    if (!feature<NqGenInteger>(params, name, NqGenType::Integer))
        return readEnum(params, name, value);
    return read<NqGenInteger>(params, name, NqGenType::Integer, value);
}

bool readBoolean(NqGenParameterArray* params, const char* name, bool& value)
{
    return read<NqGenBoolean>(params, name, NqGenType::Boolean, value);
}

bool readFloat(NqGenParameterArray* params, const char* name, double& value)
{
    return read<NqGenFloat>(params, name, NqGenType::Float, value);
}

int64_t integerOr(NqGenParameterArray& params, const char* name, int64_t fallback)
{
    int64_t value = fallback;
    read<NqGenInteger>(&params, name, NqGenType::Integer, value);
    return value;
}

int64_t enumOr(NqGenParameterArray& params, const char* name, int64_t fallback)
{
    int64_t value = fallback;
    readEnum(&params, name, value);
    return value;
}

bool booleanOr(NqGenParameterArray& params, const char* name, bool fallback)
{
    bool value = fallback;
    readBoolean(&params, name, value);
    return value;
}

const char* exposureFeature(NqGenParameterArray* params)
{
    for (const char* name : {"ExposureTimeRaw", "ExposureTimeAbs", "ExposureTime"})
        if (params && params->Get(name))
            return name;
    return nullptr;
}

bool readExposure(NqGenParameterArray* params, double& microseconds)
{
    const char* name = exposureFeature(params);
    int64_t whole = 0;
    if (!name || !readInteger(params, name, whole))
        return name && readFloat(params, name, microseconds);
    microseconds = double(whole);
    return true;
}

NqResult writeNumber(NqGenParameterArray& params, const char* name, int64_t value)
{
    const NqGenParameter* parameter = params.Get(name);
    if (parameter && parameter->GetType() == NqGenType::Integer)
        return logged(params.SetIntegerValue(name, value), name);
    if (parameter && parameter->GetType() == NqGenType::Float)
        return logged(params.SetFloatValue(name, static_cast<double>(value)), name);
    // An enumeration, or an absent feature (the helper reports NOT_FOUND).
    return logged(params.SetEnumValue(name, value), name);
}

NqResult writeSwitch(NqGenParameterArray& params, const char* name, bool on)
{
    const NqGenParameter* parameter = params.Get(name);
    if (parameter && parameter->GetType() != NqGenType::Boolean)
        return writeNumber(params, name, on ? 1 : 0);
    return logged(params.SetBooleanValue(name, on), name);
}

NqResult writeEntry(NqGenParameterArray& params, const char* name, const char* entry)
{
    return logged(params.SetEnumValue(name, entry), name);
}

bool writeInteger(NqGenParameterArray* params, const char* name, int64_t value)
{
    if (!params)
        return false;
    auto* i = feature<NqGenInteger>(params, name, NqGenType::Integer);
    return logged(i ? i->SetValue(value) : NqResult(NqResult::Code::NOT_FOUND), name).IsOK();
}

} // namespace FeatureValues
