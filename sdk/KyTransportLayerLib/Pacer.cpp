#include "KyTransportLayerLib/Pacer.h"

#include <algorithm>

namespace KyTransportLayerLib {

constexpr std::chrono::milliseconds Pacer::Slack;
constexpr std::chrono::microseconds Pacer::RecordSpan;

uint32_t Pacer::PacketsPerRecord(uint32_t packetSize, uint64_t bitsPerSecond, uint32_t most)
{
    if (bitsPerSecond == 0 || packetSize == 0)
        return most;
    const uint64_t bytes = bitsPerSecond / 8 * uint64_t(RecordSpan.count()) / 1000000;
    return uint32_t(std::clamp<uint64_t>(bytes / packetSize, 1, most));
}

Pacer::Clock::time_point Pacer::Reserve(uint64_t payloadBytes, uint64_t bitsPerSecond, Clock::time_point now)
{
    if (bitsPerSecond == 0) {
        m_next = now;
        return now;
    }
    if (m_next < now - Slack)
        m_next = now;
    const Clock::time_point sendAt = m_next;
    // A record is at most 16 packets of 65 kB: payloadBytes * 8e9 stays far below 2^64.
    m_next += std::chrono::nanoseconds(payloadBytes * 8 * 1000000000ull / bitsPerSecond);
    return sendAt;
}

} // namespace KyTransportLayerLib
