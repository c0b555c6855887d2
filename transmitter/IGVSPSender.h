#pragma once

#include "KyNetworkLib/IpAddress.h"
#include "NzUtilsLib/Result.h"

#include <cstdint>
#include <string>

namespace NqBufferLib {
class Buffer;
}

namespace NqTransmitterRawLib {

class GVSPStatistic;

// What sends buffers for the transmitter: a sender, or the buffer pool in
// front of one. Results are internal results; a buffer queued is given back
// by RetrieveFreeBuffer once its block has completed (sent, failed or aborted).
class IGVSPSender
{
public:
    virtual ~IGVSPSender();

    virtual NzUtilsLib::Result Open(const KyNetworkLib::IpAddress* destination, uint16_t destinationPort,
                                    const KyNetworkLib::IpAddress* source, uint16_t sourcePort, bool dontFragment,
                                    bool headerFlag, uint32_t buffersCapability, uint32_t pendingSendRecords,
                                    bool engineFlag) = 0;
    virtual void Close() = 0;
    virtual NzUtilsLib::Result AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer) = 0;
    // Aborts the `value` oldest queued buffers (0xFFFFFFFF: all).
    virtual NzUtilsLib::Result AbortQueuedBuffers(uint32_t value, bool* aborted) = 0;
    virtual NzUtilsLib::Result QueueBuffer(NqBufferLib::Buffer* buffer) = 0;
    virtual NzUtilsLib::Result RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs) = 0;
    virtual uint32_t GetQueuedBufferCount() = 0;
    virtual NzUtilsLib::Result SetPacketSize(uint32_t packetSize) = 0;
    virtual NzUtilsLib::Result SetMaxPayloadThroughput(float bitsPerSecond) = 0;
    virtual NzUtilsLib::Result SetStatistic(GVSPStatistic* statistic) = 0;
    virtual uint16_t GetSourcePort() = 0;
    virtual std::string GetSourceIPAddress() = 0;
    virtual uint32_t GetThreadPriority() = 0;
    virtual NzUtilsLib::Result SetThreadPriority(uint32_t priority) = 0;
};

} // namespace NqTransmitterRawLib
