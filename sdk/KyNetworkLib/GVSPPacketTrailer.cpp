#include "KyNetworkLib/GVSPPacketTrailer.h"

#include "base/NqBuffer.h"

namespace KyNetworkLib {

NzUtilsLib::Result GVSPPacketTrailer::Encode(uint8_t* area, uint32_t size, bool extended)
{
    return Begin(area, size, extended, Gvsp::FormatTrailer, Gvsp::ImageTrailerSize);
}

void GVSPPacketTrailer::EncodeBuffer(const NqBufferLib::Buffer& buffer)
{
    Gvsp::Trailer trailer;
    if (buffer.HasImage()) {
        trailer.payloadType = Gvsp::PayloadImage;
        trailer.sizeY = buffer.GetImage().height;
    }
    SetBodySize(Gvsp::WriteTrailer(Body(), trailer));
}

} // namespace KyNetworkLib
