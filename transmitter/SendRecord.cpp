#include "SendRecord.h"

#include <cstring>

namespace NqTransmitterRawLib {

constexpr uint32_t SendRecord::Capacity;

SendRecord::SendRecord()
{
    std::memset(m_messages, 0, sizeof m_messages);
    for (uint32_t i = 0; i < Capacity; ++i)
        m_messages[i].msg_hdr.msg_iov = &m_elements[2 * i];
    Reset();
}

void SendRecord::Reset()
{
    m_count = 0;
    m_context = nullptr;
}

void SendRecord::Add(const KyTransportLayerLib::Packet& packet)
{
    const uint32_t i = m_count++;
    std::memcpy(m_headers[i], packet.header, packet.headerSize);
    iovec* elements = &m_elements[2 * i];
    elements[0].iov_base = m_headers[i];
    elements[0].iov_len = packet.headerSize;
    elements[1].iov_base = const_cast<uint8_t*>(packet.payload);
    elements[1].iov_len = packet.payloadSize;
    m_messages[i].msg_hdr.msg_iovlen = packet.payloadSize ? 2 : 1;
    m_payloadSizes[i] = packet.payloadSize;
    m_context = packet.context;
}

uint32_t SendRecord::GetPayloadBytes(uint32_t count) const
{
    uint32_t bytes = 0;
    for (uint32_t i = 0; i < count && i < m_count; ++i)
        bytes += m_payloadSizes[i];
    return bytes;
}

} // namespace NqTransmitterRawLib
