#pragma once

#include "KyNetworkLib/GVSPPacketArea.h"

#include <cstdint>

namespace NqBufferLib {
class Buffer;
}

namespace KyNetworkLib {

// Writes a block's leader packet header into a caller's area: first the
// GVSP header (Encode), then the fields taken from the buffer (EncodeBuffer):
// an image leader for a buffer with image attributes, else a raw-data leader.
class GVSPPacketLeader : public GVSPPacketArea
{
public:
    NzUtilsLib::Result Encode(uint8_t* area, uint32_t size, bool extended);
    void EncodeBuffer(const NqBufferLib::Buffer& buffer);

    // Bytes a buffer sends: its image (padding included) when it has one, else all of it.
    static uint32_t PayloadSize(const NqBufferLib::Buffer& buffer);
};

} // namespace KyNetworkLib
