#include "base/NqBuffer.h"
#include "base/NqPixelType.h"

#include <cstdlib>

namespace NqBufferLib {

bool Buffer::Alloc(uint32_t size)
{
    Free();
    if (size == 0)
        return true;
    m_data = static_cast<uint8_t*>(std::malloc(size));
    if (!m_data)
        return false;
    m_size = size;
    m_owned = true;
    return true;
}

void Buffer::Attach(uint8_t* data, uint32_t size)
{
    Free();
    m_data = data;
    m_size = data ? size : 0;
}

void Buffer::Free()
{
    if (m_owned)
        std::free(m_data);
    m_data = nullptr;
    m_size = 0;
    m_payloadSize = 0;
    m_owned = false;
}

} // namespace NqBufferLib

uint32_t NqImage::GetBitsPerPixel() const
{
    return NqPixelType::BitsPerPixel(GetPixelType());
}

uint32_t NqImage::GetRequiredSize() const
{
    const uint64_t lineBytes = (uint64_t(GetWidth()) * GetBitsPerPixel() + 7) / 8 + GetPaddingX();
    const uint64_t bytes = lineBytes * GetHeight() + GetPaddingY();
    return bytes > UINT32_MAX ? UINT32_MAX : uint32_t(bytes);
}

NqResult NqImage::Attach(uint32_t width, uint32_t height, uint32_t pixelType,
                         uint32_t offsetX, uint32_t offsetY, uint16_t paddingX, uint16_t paddingY)
{
    NqBufferLib::ImageAttributes image;
    image.pixelType = pixelType;
    image.width = width;
    image.height = height;
    image.offsetX = offsetX;
    image.offsetY = offsetY;
    image.paddingX = paddingX;
    image.paddingY = paddingY;
    m_buffer->SetImage(image);
    if (GetRequiredSize() > m_buffer->GetSize() && m_buffer->GetData())
        return NqResult(NqResult::Code::BUFFER_TOO_SMALL, "The image does not fit in the buffer");
    return NqResult::Code::OK;
}

NqResult NqBuffer::Alloc(uint32_t size)
{
    if (!m_buffer.Alloc(size))
        return NqResult(NqResult::Code::NOT_ENOUGH_MEMORY, "Unable to allocate the buffer memory");
    return NqResult::Code::OK;
}

NqResult NqBuffer::Attach(void* data, uint32_t size)
{
    if (!data && size)
        return NqResult::Code::INVALID_PARAMETER;
    m_buffer.Attach(static_cast<uint8_t*>(data), size);
    return NqResult::Code::OK;
}
