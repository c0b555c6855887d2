#pragma once

#include "base/NqResult.h"

#include <cstdint>

class NqBuffer;

namespace NqBufferLib {

// Image attributes carried by a buffer (a GVSP image leader's fields).
struct ImageAttributes
{
    uint32_t pixelType = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t offsetX = 0;
    uint32_t offsetY = 0;
    uint16_t paddingX = 0;
    uint16_t paddingY = 0;
};

// The storage behind a public NqBuffer. Receivers (the camera pipeline) and
// senders (the transmitter) keep their per-buffer bookkeeping here and find
// the public object again through GetOwner().
class Buffer
{
public:
    explicit Buffer(NqBuffer* owner) : m_owner(owner) {}
    ~Buffer() { Free(); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    NqBuffer* GetOwner() const { return m_owner; }

    // Owned memory (Alloc) or caller memory (Attach); either replaces the other.
    bool Alloc(uint32_t size);
    void Attach(uint8_t* data, uint32_t size);
    void Free();
    bool IsAttached() const { return m_data && !m_owned; }

    uint8_t* GetData() const { return m_data; }
    uint32_t GetSize() const { return m_size; }
    // Bytes of the last received or sent payload (<= size).
    uint32_t GetPayloadSize() const { return m_payloadSize; }
    void SetPayloadSize(uint32_t size) { m_payloadSize = size; }

    bool HasImage() const { return m_hasImage; }
    const ImageAttributes& GetImage() const { return m_image; }
    void SetImage(const ImageAttributes& image) { m_image = image; m_hasImage = true; }
    void ClearImage() { m_image = ImageAttributes(); m_hasImage = false; }

    uint64_t GetBlockID() const { return m_blockId; }
    void SetBlockID(uint64_t id) { m_blockId = id; }
    uint64_t GetTimestamp() const { return m_timestamp; }
    void SetTimestamp(uint64_t ts) { m_timestamp = ts; }

    const NqResult& GetOperationResult() const { return m_operationResult; }
    void SetOperationResult(const NqResult& result) { m_operationResult = result; }

    // Opaque slot for the component that currently holds the buffer
    // (a pipeline keeps its transport buffer here, a sender its record).
    void* GetContext() const { return m_context; }
    void SetContext(void* context) { m_context = context; }

private:
    NqBuffer* m_owner;
    uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
    uint32_t m_payloadSize = 0;
    bool m_owned = false;
    bool m_hasImage = false;
    ImageAttributes m_image;
    uint64_t m_blockId = 0;
    uint64_t m_timestamp = 0;
    NqResult m_operationResult{NqResult::Code::NOT_INITIALIZED};
    void* m_context = nullptr;
};

} // namespace NqBufferLib

// View of a buffer's image: valid as long as the buffer is.
class NqImage
{
public:
    explicit NqImage(NqBufferLib::Buffer* buffer) : m_buffer(buffer) {}

    uint8_t* GetDataPointer() const { return m_buffer->GetData(); }
    uint32_t GetPixelType() const { return m_buffer->GetImage().pixelType; }
    uint32_t GetBitsPerPixel() const;
    uint32_t GetWidth() const { return m_buffer->GetImage().width; }
    uint32_t GetHeight() const { return m_buffer->GetImage().height; }
    uint32_t GetOffsetX() const { return m_buffer->GetImage().offsetX; }
    uint32_t GetOffsetY() const { return m_buffer->GetImage().offsetY; }
    uint16_t GetPaddingX() const { return m_buffer->GetImage().paddingX; }
    uint16_t GetPaddingY() const { return m_buffer->GetImage().paddingY; }
    // Bytes of one image with these attributes (padding included).
    uint32_t GetRequiredSize() const;
    // Makes the buffer an image buffer with these attributes.
    NqResult Attach(uint32_t width, uint32_t height, uint32_t pixelType,
                    uint32_t offsetX = 0, uint32_t offsetY = 0,
                    uint16_t paddingX = 0, uint16_t paddingY = 0);

private:
    NqBufferLib::Buffer* m_buffer;
};

// A block of memory that a camera stream fills or a transmitter sends.
class NqBuffer
{
public:
    NqBuffer() : m_buffer(this), m_image(&m_buffer) {}
    NqBuffer(const NqBuffer&) = delete;
    NqBuffer& operator=(const NqBuffer&) = delete;

    NqResult Alloc(uint32_t size);
    NqResult Attach(void* data, uint32_t size);
    void Free() { m_buffer.Free(); }

    uint8_t* GetDataPointer() const { return m_buffer.GetData(); }
    uint32_t GetSize() const { return m_buffer.GetSize(); }
    uint32_t GetPayloadSize() const { return m_buffer.GetPayloadSize(); }
    bool HasImage() const { return m_buffer.HasImage(); }
    NqImage* GetImage() { return &m_image; }
    const NqImage* GetImage() const { return &m_image; }
    uint64_t GetBlockID() const { return m_buffer.GetBlockID(); }
    uint64_t GetTimestamp() const { return m_buffer.GetTimestamp(); }
    NqResult GetOperationResult() const { return m_buffer.GetOperationResult(); }

    NqBufferLib::Buffer* GetInternal() { return &m_buffer; }
    const NqBufferLib::Buffer* GetInternal() const { return &m_buffer; }

private:
    NqBufferLib::Buffer m_buffer;
    NqImage m_image;
};
