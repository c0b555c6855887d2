#pragma once

#include "KyNetworkLibGvsp.h"
#include "NzUtilsLibResult.h"

#include <cstdint>

namespace NqBufferLib {
class Buffer;
}

namespace KyNetworkLib {

// Writes a block's trailer packet header: the GVSP header (Encode), then the
// payload type and, for an image, its height (EncodeBuffer).
class GVSPPacketTrailer
{
public:
    enum : uint32_t { AreaTooSmall = 4 };

    NzUtilsLib::Result Encode(uint8_t* area, uint32_t size, bool extended);
    void EncodeBuffer(const NqBufferLib::Buffer& buffer);
    uint32_t GetPacketSize() const { return m_packetSize; }

private:
    uint8_t* m_area = nullptr;
    bool m_extended = false;
    uint32_t m_packetSize = 0;
};

} // namespace KyNetworkLib
