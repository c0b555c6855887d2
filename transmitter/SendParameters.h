#pragma once

#include "NzUtilsLib/Result.h"

#include <atomic>
#include <cstdint>

// Checks of the values callers give for sending.
namespace NqTransmitterRawLib {
namespace SendParameters {

constexpr uint32_t DefaultPacketSize = 1440;

// The IP datagram must hold the headers and the largest leader, and fit in 65535 bytes.
bool IsPacketSizeValid(uint32_t packetSize);
// A finite rate of 0 (no limit) up to 2^32 - 1 bits per second, stored truncated.
bool ThroughputFromFloat(float value, uint32_t& bitsPerSecond);

} // namespace SendParameters

class GVSPStatistic;

// The packet size, throughput limit and statistic a sender works with: set
// from the caller's thread, read by whichever thread packetizes or completes.
class SendSettings
{
public:
    NzUtilsLib::Result SetPacketSize(uint32_t packetSize);
    NzUtilsLib::Result SetMaxPayloadThroughput(float bitsPerSecond);
    void SetStatistic(GVSPStatistic* statistic) { m_statistic.store(statistic); }

    uint32_t PacketSize() const { return m_packetSize.load(); }
    uint32_t MaxThroughput() const { return m_maxThroughput.load(); }
    GVSPStatistic* Statistic() const { return m_statistic.load(); }

private:
    std::atomic<uint32_t> m_packetSize{SendParameters::DefaultPacketSize};
    std::atomic<uint32_t> m_maxThroughput{0};
    std::atomic<GVSPStatistic*> m_statistic{nullptr};
};

} // namespace NqTransmitterRawLib
