#pragma once

#include "SendParameters.h"
#include "KyNetworkLib/IpAddress.h"
#include "NzUtilsLib/Logger.h"
#include "NzUtilsLib/Result.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace NqBufferLib {
class Buffer;
}

namespace NqTransmitterRawLib {

class GVSPMemoryPool;
class GVSPStatistic;
class IGVSPSender;

// The transmitter behind the exported class: chooses and owns the sender at
// each Open, keeps the optional buffer pool across Close and re-Open, and
// the statistic across everything. Buffer operations go to the active
// interface: the pool when one is loaded, else the sender.
class TransmitterRaw
{
public:
    // Send records of the user-mode sender, as the exported Open passes them.
    static constexpr uint32_t PendingSendRecords = 64;

    TransmitterRaw();
    virtual ~TransmitterRaw();
    TransmitterRaw(const TransmitterRaw&) = delete;
    TransmitterRaw& operator=(const TransmitterRaw&) = delete;

    // Shared by the copies of the exported class; true when the last reference went.
    void AddReference() { m_references.fetch_add(1, std::memory_order_relaxed); }
    bool ReleaseReference() { return m_references.fetch_sub(1, std::memory_order_acq_rel) == 1; }

    NzUtilsLib::Result Open(const char* destination, uint16_t destinationPort, const char* source,
                            uint16_t sourcePort, bool dontFragment, bool headerFlag, uint32_t buffersCapability,
                            uint32_t pendingSendRecords, bool engineFlag);
    NzUtilsLib::Result Close();
    bool IsOpen() const { return m_open; }

    NzUtilsLib::Result LoadBufferPool(NqBufferLib::Buffer** buffers, uint32_t count);
    NzUtilsLib::Result QueueBuffer(NqBufferLib::Buffer* buffer);
    NzUtilsLib::Result RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs);
    uint32_t GetQueuedBufferCount();
    NzUtilsLib::Result AbortQueuedBuffers(uint32_t value, bool* aborted);

    uint32_t GetPacketSize() const { return m_packetSize; }
    NzUtilsLib::Result SetPacketSize(uint32_t packetSize);
    float GetMaxPayloadThroughput() const { return m_maxPayloadThroughput; }
    NzUtilsLib::Result SetMaxPayloadThroughput(float bitsPerSecond);

    std::string GetDestinationIPAddress() const;
    uint16_t GetDestinationPort() const;
    std::string GetSourceIPAddress();
    uint16_t GetSourcePort();

    uint32_t GetUserModeTransmitterThreadPriority() const;
    NzUtilsLib::Result SetUserModeTransmitterThreadPriority(uint32_t priority);
    uint32_t GetBufferPoolThreadPriority() const;
    NzUtilsLib::Result SetBufferPoolThreadPriority(uint32_t priority);

    GVSPStatistic& GetStatistic() const { return *m_statistic; }
    // The current sender (null while closed), for checks of what it was given.
    IGVSPSender* GetSender() const { return m_sender.get(); }

private:
    IGVSPSender* CreateGVSPSender(const KyNetworkLib::IpAddress& destination, const KyNetworkLib::IpAddress* source);
    NzUtilsLib::Result FailOpen(const NzUtilsLib::Result& cause);

    std::atomic<uint32_t> m_references{1};
    IGVSPSender* m_active = nullptr;
    std::unique_ptr<IGVSPSender> m_sender;
    std::unique_ptr<GVSPMemoryPool> m_pool;
    std::unique_ptr<GVSPStatistic> m_statistic;
    uint32_t m_poolThreadPriority;
    uint32_t m_userModeThreadPriority;
    NzUtilsLib::Logger m_logger;
    bool m_open = false;
    uint16_t m_destinationPort = 0;
    std::string m_destination;
    uint32_t m_packetSize = SendParameters::DefaultPacketSize;
    float m_maxPayloadThroughput = 0;
};

} // namespace NqTransmitterRawLib
