#include "camera/NqStreamParameters.h"

#include <cstdio>
#include <cstring>

namespace {

NqResult closed()
{
    return NqResult(NqResult::Code::NOT_OPENED, "The stream is not open");
}

NqResult readOnly()
{
    return NqResult(NqResult::Code::ACCESS_DENIED, "The parameter is read-only");
}

// Bandwidth is measured over at least this long, so reading it every frame
// does not give a jittery figure.
constexpr std::chrono::milliseconds kBandwidthWindow(500);

} // namespace

struct NqStreamParameters::Reset : NqGenCommand
{
    explicit Reset(std::shared_ptr<NqStreamCore> core) : core(std::move(core)) {}
    NqString GetName() const override { return "Reset"; }
    bool IsReadable() const override { return false; }
    bool IsWritable() const override { return true; }
    NqResult ToString(NqString&) const override { return NqResult::Code::NOT_SUPPORTED; }
    NqResult Execute() override
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (!core->stream)
            return closed();
        core->requeueCompleted();
        core->baseline = core->readCounters();
        core->lastErrorCode = 0;
        core->lastErrorText.clear();
        core->losses.clear();
        core->bandwidthTime = std::chrono::steady_clock::now();
        core->bandwidthBytes = core->baseline.bytes;
        core->bandwidthBitsPerSecond = 0.0;
        return NqResult::Code::OK;
    }
    std::shared_ptr<NqStreamCore> core;
};

struct NqStreamParameters::Bandwidth : NqGenFloat
{
    explicit Bandwidth(std::shared_ptr<NqStreamCore> core) : core(std::move(core)) {}
    NqString GetName() const override { return "Bandwidth"; }
    bool IsReadable() const override { return true; }
    bool IsWritable() const override { return false; }
    NqResult ToString(NqString& value) const override
    {
        double bitsPerSecond = 0.0;
        const NqResult result = GetValue(bitsPerSecond);
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", bitsPerSecond);
        value = text;
        return result;
    }
    NqResult GetValue(double& value) const override
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (!core->stream)
            return closed();
        const auto now = std::chrono::steady_clock::now();
        const auto elapsed = now - core->bandwidthTime;
        if (elapsed >= kBandwidthWindow) {
            const uint64_t bytes = core->readCounters().bytes;
            const double seconds = std::chrono::duration<double>(elapsed).count();
            core->bandwidthBitsPerSecond =
                bytes >= core->bandwidthBytes ? double(bytes - core->bandwidthBytes) * 8.0 / seconds : 0.0;
            core->bandwidthBytes = bytes;
            core->bandwidthTime = now;
        }
        value = core->bandwidthBitsPerSecond;
        return NqResult::Code::OK;
    }
    NqResult SetValue(double) override { return readOnly(); }
    NqResult GetMin(double& value) const override
    {
        value = 0.0;
        return NqResult::Code::OK;
    }
    NqResult GetMax(double& value) const override
    {
        value = 1e12;
        return NqResult::Code::OK;
    }
    std::shared_ptr<NqStreamCore> core;
};

struct NqStreamParameters::ErrorCount : NqGenInteger
{
    explicit ErrorCount(std::shared_ptr<NqStreamCore> core) : core(std::move(core)) {}
    NqString GetName() const override { return "ErrorCount"; }
    bool IsReadable() const override { return true; }
    bool IsWritable() const override { return false; }
    NqResult ToString(NqString& value) const override
    {
        int64_t count = 0;
        const NqResult result = GetValue(count);
        value = std::to_string(count);
        return result;
    }
    // Failed frames and frames that never came (lost, or no free buffer).
    NqResult GetValue(int64_t& value) const override
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (!core->stream)
            return closed();
        const NqStreamCore::Counters now = core->readCounters();
        value = int64_t((now.failures - core->baseline.failures) + core->losses.lost());
        return NqResult::Code::OK;
    }
    NqResult SetValue(int64_t) override { return readOnly(); }
    NqResult GetMin(int64_t& value) const override
    {
        value = 0;
        return NqResult::Code::OK;
    }
    NqResult GetMax(int64_t& value) const override
    {
        value = INT64_MAX;
        return NqResult::Code::OK;
    }
    std::shared_ptr<NqStreamCore> core;
};

struct NqStreamParameters::LastError : NqGenEnum
{
    explicit LastError(std::shared_ptr<NqStreamCore> core) : core(std::move(core)) {}
    NqString GetName() const override { return "LastError"; }
    bool IsReadable() const override { return true; }
    bool IsWritable() const override { return false; }
    NqResult ToString(NqString& value) const override { return GetValue(value); }
    NqResult GetValue(int64_t& value) const override
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (!core->stream)
            return closed();
        value = core->lastErrorCode;
        return NqResult::Code::OK;
    }
    NqResult GetValue(NqString& entryName) const override
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (!core->stream)
            return closed();
        entryName = core->lastErrorCode == NqResult::Code::OK ? std::string("OK") : core->lastErrorText;
        return NqResult::Code::OK;
    }
    NqResult SetValue(int64_t) override { return readOnly(); }
    NqResult SetValue(const char*) override { return readOnly(); }
    std::shared_ptr<NqStreamCore> core;
};

NqStreamParameters::NqStreamParameters(std::shared_ptr<NqStreamCore> core)
    : m_reset(std::make_unique<Reset>(core)), m_bandwidth(std::make_unique<Bandwidth>(core)),
      m_errorCount(std::make_unique<ErrorCount>(core)), m_lastError(std::make_unique<LastError>(core))
{
}

NqStreamParameters::~NqStreamParameters() = default;

NqGenParameter* NqStreamParameters::Get(const char* name)
{
    if (!name)
        return nullptr;
    if (std::strcmp(name, "Reset") == 0)
        return m_reset.get();
    if (std::strcmp(name, "Bandwidth") == 0)
        return m_bandwidth.get();
    if (std::strcmp(name, "ErrorCount") == 0)
        return m_errorCount.get();
    if (std::strcmp(name, "LastError") == 0)
        return m_lastError.get();
    return nullptr;
}
