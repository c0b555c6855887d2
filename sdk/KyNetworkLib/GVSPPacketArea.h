#pragma once

#include "KyNetworkLib/Gvsp.h"
#include "NzUtilsLib/Result.h"

#include <cstdint>

namespace KyNetworkLib {

// The caller's area a leader or trailer packet is written into: Begin checks
// that it holds the GVSP header and the largest body, and writes the header;
// the packet's size follows the body actually written.
class GVSPPacketArea
{
public:
    enum : uint32_t { AreaTooSmall = 4 };

    // Header and body, in bytes.
    uint32_t GetPacketSize() const { return m_packetSize; }

protected:
    NzUtilsLib::Result Begin(uint8_t* area, uint32_t size, bool extended, uint8_t format, uint32_t maxBody)
    {
        if (!area || size < Gvsp::HeaderSize(extended) + maxBody)
            return NzUtilsLib::Result(AreaTooSmall);
        Gvsp::Header header;
        header.extended = extended;
        header.format = format;
        Gvsp::WriteHeader(area, header);
        m_area = area;
        m_extended = extended;
        m_packetSize = Gvsp::HeaderSize(extended);
        return NzUtilsLib::Result::Success;
    }
    uint8_t* Body() const { return m_area + Gvsp::HeaderSize(m_extended); }
    void SetBodySize(uint32_t bytes) { m_packetSize = Gvsp::HeaderSize(m_extended) + bytes; }

private:
    uint8_t* m_area = nullptr;
    bool m_extended = false;
    uint32_t m_packetSize = 0;
};

} // namespace KyNetworkLib
