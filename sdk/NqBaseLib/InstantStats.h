#pragma once

#include <cstdint>

namespace NqBaseLib {

// Rates over the latest completed window of at least one second: reports
// accumulate until the window is full, then the window's payload throughput
// (bits per second) and transmission rate (reports per second) become the
// current values and a new window starts. Not locked: its owner is.
class InstantStats
{
public:
    static constexpr uint64_t WindowUs = 1000000;

    void Report(uint64_t tickUs, uint64_t bytes);
    void Reset();

    float GetPayloadThroughput() const { return m_throughput; }
    float GetTransmissionRate() const { return m_rate; }

private:
    bool m_started = false;
    uint64_t m_windowStartUs = 0;
    uint64_t m_windowBytes = 0;
    uint64_t m_windowReports = 0;
    float m_throughput = 0;
    float m_rate = 0;
};

} // namespace NqBaseLib
