#pragma once

#include "IGVSPSender.h"
#include "OperationResultConverter.h"
#include "SendParameters.h"
#include "KyTransportLayerLib/TransmitEngine.h"
#include "NzUtilsLib/Logger.h"
#include "NzUtilsLib/Thread.h"

#include <atomic>
#include <memory>

namespace KyTransportLayerLib {
struct CompletionEntry;
}

namespace NqTransmitterRawLib {

class SocketWrapper;

// Sends buffers as GVSP blocks through a UDP socket: the engine cuts each
// queued block into packets on this sender's thread and the socket wrapper
// puts them on the wire. Opened once; the destructor closes it.
class GVSPSenderUserMode : public IGVSPSender, public NzUtilsLib::Thread
{
public:
    // The engine paces with its own pacer, or with the one given (which must outlive the sender).
    explicit GVSPSenderUserMode(uint32_t threadPriority, KyTransportLayerLib::Pacer* pacer = nullptr);
    ~GVSPSenderUserMode() override;

    NzUtilsLib::Result Open(const KyNetworkLib::IpAddress* destination, uint16_t destinationPort,
                            const KyNetworkLib::IpAddress* source, uint16_t sourcePort, bool dontFragment,
                            bool headerFlag, uint32_t buffersCapability, uint32_t pendingSendRecords,
                            bool engineFlag) override;
    void Close() override;
    NzUtilsLib::Result AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer) override;
    NzUtilsLib::Result AbortQueuedBuffers(uint32_t value, bool* aborted) override;
    NzUtilsLib::Result QueueBuffer(NqBufferLib::Buffer* buffer) override;
    NzUtilsLib::Result RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs) override;
    uint32_t GetQueuedBufferCount() override { return m_queuedCount.load(); }
    NzUtilsLib::Result SetPacketSize(uint32_t packetSize) override { return m_settings.SetPacketSize(packetSize); }
    NzUtilsLib::Result SetMaxPayloadThroughput(float bitsPerSecond) override
    {
        return m_settings.SetMaxPayloadThroughput(bitsPerSecond);
    }
    NzUtilsLib::Result SetStatistic(GVSPStatistic* statistic) override
    {
        m_settings.SetStatistic(statistic);
        return NzUtilsLib::Result::Success;
    }
    uint16_t GetSourcePort() override;
    std::string GetSourceIPAddress() override;
    uint32_t GetThreadPriority() override { return GetPriority(); }
    NzUtilsLib::Result SetThreadPriority(uint32_t priority) override { return SetPriority(priority); }

    // The socket (for checks of its options); -1 while closed.
    int GetSocketHandle() const;
    // What the next queued buffer is sent with (for checks of what the sender was given).
    const SendSettings& GetSettings() const { return m_settings; }

protected:
    NzUtilsLib::Result RunThread() override;

private:
    NzUtilsLib::Result Complete(const KyTransportLayerLib::CompletionEntry& entry, NqBufferLib::Buffer** buffer);

    // Raised before a push so that a fast completion never sees it below zero.
    std::atomic<uint32_t> m_queuedCount{0};
    NzUtilsLib::Logger m_logger;
    KyTransportLayerLib::TransmitEngine m_engine;
    SendSettings m_settings;
    OperationResultConverter m_operationResults;
    std::unique_ptr<SocketWrapper> m_wrapper;
    bool m_headerFlag = false;
    std::atomic<bool> m_open{false};
};

} // namespace NqTransmitterRawLib
