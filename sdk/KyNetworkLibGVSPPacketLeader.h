#pragma once

#include "KyNetworkLibGvsp.h"
#include "NzUtilsLibResult.h"

#include <cstdint>

namespace NqBufferLib {
class Buffer;
}

namespace KyNetworkLib {

// Writes a block's leader packet header into a caller's area: first the
// GVSP header (Encode), then the fields taken from the buffer (EncodeBuffer):
// an image leader for a buffer with image attributes, else a raw-data leader.
class GVSPPacketLeader
{
public:
    enum : uint32_t { AreaTooSmall = 4 };

    NzUtilsLib::Result Encode(uint8_t* area, uint32_t size, bool extended);
    void EncodeBuffer(const NqBufferLib::Buffer& buffer);
    // Header and leader fields, in bytes.
    uint32_t GetPacketSize() const { return m_packetSize; }

    // Bytes a buffer sends: its image (padding included) when it has one, else all of it.
    static uint32_t PayloadSize(const NqBufferLib::Buffer& buffer);

private:
    uint8_t* m_area = nullptr;
    bool m_extended = false;
    uint32_t m_packetSize = 0;
};

} // namespace KyNetworkLib
