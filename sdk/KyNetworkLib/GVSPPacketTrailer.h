#pragma once

#include "KyNetworkLib/GVSPPacketArea.h"

#include <cstdint>

namespace NqBufferLib {
class Buffer;
}

namespace KyNetworkLib {

// Writes a block's trailer packet header: the GVSP header (Encode), then the
// payload type and, for an image, its height (EncodeBuffer).
class GVSPPacketTrailer : public GVSPPacketArea
{
public:
    NzUtilsLib::Result Encode(uint8_t* area, uint32_t size, bool extended);
    void EncodeBuffer(const NqBufferLib::Buffer& buffer);
};

} // namespace KyNetworkLib
