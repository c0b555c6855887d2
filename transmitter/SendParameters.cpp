#include "SendParameters.h"

#include "KyNetworkLibGvsp.h"

#include <cmath>

namespace NqTransmitterRawLib {
namespace SendParameters {

bool IsPacketSizeValid(uint32_t packetSize)
{
    return packetSize >= KyNetworkLib::Gvsp::MinPacketSize && packetSize <= KyNetworkLib::Gvsp::MaxPacketSize;
}

bool ThroughputFromFloat(float value, uint32_t& bitsPerSecond)
{
    // 4294967296.0f is the first float above the u32 range.
    if (!std::isfinite(value) || value < 0.0f || value >= 4294967296.0f)
        return false;
    bitsPerSecond = uint32_t(value);
    return true;
}

} // namespace SendParameters
} // namespace NqTransmitterRawLib
