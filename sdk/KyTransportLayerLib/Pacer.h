#pragma once

#include <chrono>
#include <cstdint>

namespace KyTransportLayerLib {

// Schedules send records against a payload rate with absolute deadlines, so
// waking late on one record does not slow the whole stream: each record
// leaves at the deadline of the bytes before it. After an idle spell (more
// than the slack behind) the schedule restarts at now instead of bursting.
// A paced record is kept short (RecordSpan of link time), so the packets of a
// block leave spread over time rather than in bursts of whole records.
// Reserve is virtual so that a test can stand between an engine and its
// pacer and see what the engine asks for.
class Pacer
{
public:
    virtual ~Pacer() = default;

    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds Slack{5};
    static constexpr std::chrono::microseconds RecordSpan{100};

    // Packets of `packetSize` bytes the rate carries in RecordSpan: at least
    // one, at most `most` (also for no limit, bitsPerSecond 0).
    static uint32_t PacketsPerRecord(uint32_t packetSize, uint64_t bitsPerSecond, uint32_t most);

    // When a record of payloadBytes may leave; bitsPerSecond 0 means no limit.
    virtual Clock::time_point Reserve(uint64_t payloadBytes, uint64_t bitsPerSecond, Clock::time_point now);

private:
    Clock::time_point m_next{};
};

} // namespace KyTransportLayerLib
