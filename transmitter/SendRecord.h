#pragma once

#include "KyNetworkLib/Gvsp.h"
#include "KyTransportLayerLib/TransmitEngine.h"

#include <cstdint>
#include <sys/socket.h>
#include <sys/uio.h>

namespace NqTransmitterRawLib {

// One sendmmsg call: up to 16 datagrams of one block, each a copied header
// and, when the packet has payload, the payload sent in place.
class SendRecord
{
public:
    static constexpr uint32_t Capacity = KyTransportLayerLib::TransmitEngine::MaxPacketsPerRecord;

    SendRecord();
    SendRecord(const SendRecord&) = delete;
    SendRecord& operator=(const SendRecord&) = delete;

    void Reset();
    bool IsEmpty() const { return m_count == 0; }
    bool IsFull() const { return m_count == Capacity; }
    uint32_t GetCount() const { return m_count; }
    void* GetContext() const { return m_context; }
    // The record must not be full; the header must fit a header slot.
    void Add(const KyTransportLayerLib::Packet& packet);
    // Payload bytes of the first `count` datagrams.
    uint32_t GetPayloadBytes(uint32_t count) const;
    mmsghdr* GetMessages() { return m_messages; }

private:
    mmsghdr m_messages[Capacity];
    iovec m_elements[2 * Capacity];
    uint8_t m_headers[Capacity][KyNetworkLib::Gvsp::HeaderAreaSize];
    uint32_t m_payloadSizes[Capacity];
    uint32_t m_count = 0;
    void* m_context = nullptr;
};

} // namespace NqTransmitterRawLib
