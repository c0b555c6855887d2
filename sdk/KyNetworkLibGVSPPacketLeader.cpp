#include "KyNetworkLibGVSPPacketLeader.h"

#include "NqBuffer.h"

namespace KyNetworkLib {

NzUtilsLib::Result GVSPPacketLeader::Encode(uint8_t* area, uint32_t size, bool extended)
{
    if (!area || size < Gvsp::HeaderSize(extended) + Gvsp::ImageLeaderSize)
        return NzUtilsLib::Result(AreaTooSmall);
    Gvsp::Header header;
    header.extended = extended;
    header.format = Gvsp::FormatLeader;
    Gvsp::WriteHeader(area, header);
    m_area = area;
    m_extended = extended;
    m_packetSize = Gvsp::HeaderSize(extended);
    return NzUtilsLib::Result::Success;
}

void GVSPPacketLeader::EncodeBuffer(const NqBufferLib::Buffer& buffer)
{
    Gvsp::Leader leader;
    leader.timestamp = buffer.GetTimestamp();
    if (buffer.HasImage()) {
        const NqBufferLib::ImageAttributes& image = buffer.GetImage();
        leader.payloadType = Gvsp::PayloadImage;
        leader.pixelFormat = image.pixelType;
        leader.sizeX = image.width;
        leader.sizeY = image.height;
        leader.offsetX = image.offsetX;
        leader.offsetY = image.offsetY;
        leader.paddingX = image.paddingX;
        leader.paddingY = image.paddingY;
    } else {
        leader.payloadSize = PayloadSize(buffer);
    }
    m_packetSize = Gvsp::HeaderSize(m_extended) + Gvsp::WriteLeader(m_area + Gvsp::HeaderSize(m_extended), leader);
}

uint32_t GVSPPacketLeader::PayloadSize(const NqBufferLib::Buffer& buffer)
{
    if (!buffer.HasImage() || !buffer.GetOwner())
        return buffer.GetSize();
    const uint32_t required = buffer.GetOwner()->GetImage()->GetRequiredSize();
    return required < buffer.GetSize() ? required : buffer.GetSize();
}

} // namespace KyNetworkLib
