#include "KyNetworkLibGVSPPacketTrailer.h"

#include "NqBuffer.h"

namespace KyNetworkLib {

NzUtilsLib::Result GVSPPacketTrailer::Encode(uint8_t* area, uint32_t size, bool extended)
{
    if (!area || size < Gvsp::HeaderSize(extended) + Gvsp::ImageTrailerSize)
        return NzUtilsLib::Result(AreaTooSmall);
    Gvsp::Header header;
    header.extended = extended;
    header.format = Gvsp::FormatTrailer;
    Gvsp::WriteHeader(area, header);
    m_area = area;
    m_extended = extended;
    m_packetSize = Gvsp::HeaderSize(extended);
    return NzUtilsLib::Result::Success;
}

void GVSPPacketTrailer::EncodeBuffer(const NqBufferLib::Buffer& buffer)
{
    Gvsp::Trailer trailer;
    if (buffer.HasImage()) {
        trailer.payloadType = Gvsp::PayloadImage;
        trailer.sizeY = buffer.GetImage().height;
    }
    m_packetSize = Gvsp::HeaderSize(m_extended) + Gvsp::WriteTrailer(m_area + Gvsp::HeaderSize(m_extended), trailer);
}

} // namespace KyNetworkLib
