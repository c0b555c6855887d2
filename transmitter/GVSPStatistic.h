#pragma once

#include "NqBaseLib/InstantStats.h"
#include "NzUtilsLib/Gate.h"
#include "NzUtilsLib/Result.h"

#include <cstdint>
#include <functional>

namespace NqTransmitterRawLib {

// Counts completed blocks (sent, failed or aborted alike) and derives the
// exported statistics. Averages run from the reset to the latest completed
// block; the sampling time runs from the reset to now. Every operation
// runs under the gate.
class GVSPStatistic
{
public:
    // Milliseconds of a monotonic clock.
    using TickSource = std::function<uint64_t()>;

    explicit GVSPStatistic(TickSource ticks = TickSource());
    virtual ~GVSPStatistic() = default;

    void Report(const NzUtilsLib::Result& result, uint32_t firstCount, uint32_t payloadBytes);
    void Reset();

    uint64_t GetBlocksTransmitted();
    uint64_t GetSamplingTime();
    uint64_t GetPayloadBytesTransmitted();
    float GetInstantaneousPayloadThroughput();
    // Bits per second.
    float GetAveragePayloadThroughput();
    float GetInstantaneousTransmissionRate();
    // Blocks per second.
    float GetAverageTransmissionRate();

private:
    NzUtilsLib::Gate m_gate;
    TickSource m_ticks;
    NqBaseLib::InstantStats m_instant;
    uint64_t m_startTick = 0;
    uint64_t m_lastTick = 0;
    uint64_t m_payloadBytes = 0;
    uint64_t m_blocks = 0;
};

} // namespace NqTransmitterRawLib
