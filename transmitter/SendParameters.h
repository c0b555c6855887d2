#pragma once

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
} // namespace NqTransmitterRawLib
