#include "KyNetworkLib/GVSPPacketLeader.h"

#include "base/NqBuffer.h"

namespace KyNetworkLib {

NzUtilsLib::Result GVSPPacketLeader::Encode(uint8_t* area, uint32_t size, bool extended)
{
    return Begin(area, size, extended, Gvsp::FormatLeader, Gvsp::ImageLeaderSize);
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
    SetBodySize(Gvsp::WriteLeader(Body(), leader));
}

uint32_t GVSPPacketLeader::PayloadSize(const NqBufferLib::Buffer& buffer)
{
    if (!buffer.HasImage() || !buffer.GetOwner())
        return buffer.GetSize();
    const uint32_t required = buffer.GetOwner()->GetImage()->GetRequiredSize();
    return required < buffer.GetSize() ? required : buffer.GetSize();
}

} // namespace KyNetworkLib
