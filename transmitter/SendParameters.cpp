#include "SendParameters.h"

#include "ResultCodes.h"
#include "KyNetworkLib/Gvsp.h"

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

NzUtilsLib::Result SendSettings::SetPacketSize(uint32_t packetSize)
{
    if (!SendParameters::IsPacketSizeValid(packetSize))
        return NzUtilsLib::Result(Code::InvalidParameter);
    m_packetSize.store(packetSize);
    return NzUtilsLib::Result::Success;
}

NzUtilsLib::Result SendSettings::SetMaxPayloadThroughput(float bitsPerSecond)
{
    uint32_t value = 0;
    if (!SendParameters::ThroughputFromFloat(bitsPerSecond, value))
        return NzUtilsLib::Result(Code::InvalidParameter);
    m_maxThroughput.store(value);
    return NzUtilsLib::Result::Success;
}

} // namespace NqTransmitterRawLib
