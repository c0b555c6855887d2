#pragma once

#include "IGVSPSender.h"
#include "OperationResultConverter.h"
#include "SendParameters.h"
#include "StratolineProtocol.h"
#include "KyNetworkLib/EthernetAddress.h"
#include "KyNetworkLib/IpAddress.h"
#include "KyNetworkLib/SocketUDP.h"
#include "KyTransportLayerLib/Link.h"
#include "NzUtilsLib/Gate.h"
#include "NzUtilsLib/Logger.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace NqTransmitterRawLib {

// Sends buffers through the Kyvo Stratoline filter driver: each queued
// buffer, its leader and trailer encoded, goes to the driver by one I/O
// control; the driver packetizes, sends from the port this sender's UDP
// socket holds, and reports completions, which RetrieveFreeBuffer fetches
// up to 32 at a time. No thread of its own; RetrieveFreeBuffer must not run
// on two threads at once. The destructor closes it.
class GSVPSenderStratolinePro : public IGVSPSender
{
public:
    // Attempts and wait of Close for the buffers the driver still holds.
    static constexpr uint32_t CloseAttempts = 40;
    static constexpr uint32_t CloseWaitMs = 50;

    GSVPSenderStratolinePro(const KyNetworkLib::EthernetAddress& localMac, const KyNetworkLib::IpAddress& localIp);
    ~GSVPSenderStratolinePro() override;

    NzUtilsLib::Result Open(const KyNetworkLib::IpAddress* destination, uint16_t destinationPort,
                            const KyNetworkLib::IpAddress* source, uint16_t sourcePort, bool dontFragment,
                            bool headerFlag, uint32_t buffersCapability, uint32_t pendingSendRecords,
                            bool engineFlag) override;
    void Close() override;
    NzUtilsLib::Result AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer) override;
    NzUtilsLib::Result AbortQueuedBuffers(uint32_t value, bool* aborted) override;
    NzUtilsLib::Result QueueBuffer(NqBufferLib::Buffer* buffer) override;
    NzUtilsLib::Result RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs) override;
    uint32_t GetQueuedBufferCount() override;
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
    uint32_t GetThreadPriority() override { return 0xFFFFFFFF; }
    NzUtilsLib::Result SetThreadPriority(uint32_t priority) override;

    bool IsOpen() const { return m_link.IsOpen(); }
    uint64_t GetMaxBufferSize() const { return m_maxBufferSize; }

private:
    // One buffer in the driver: the asynchronous context first, as the driver expects.
    struct Record
    {
        uint8_t context[Stratoline::RecordContextSize];
        NqBufferLib::Buffer* buffer;
        bool inDriver;
    };

    NzUtilsLib::Result ResolveRemoteMac(const KyNetworkLib::IpAddress& destination);
    NzUtilsLib::Result AllocateRecords(uint32_t capacity);
    NzUtilsLib::Result OpenSocket(const KyNetworkLib::IpAddress& destination, uint16_t destinationPort,
                                  const KyNetworkLib::IpAddress* source, uint16_t sourcePort);
    NzUtilsLib::Result CheckVersion();
    NzUtilsLib::Result CheckInterfaceVersion();
    NzUtilsLib::Result LoadPlugIn(bool dontFragment, uint32_t pendingSendRecords, bool engineFlag);
    NzUtilsLib::Result FetchBatch(uint32_t timeoutMs);
    NzUtilsLib::Result ProcessBufferReady(const Stratoline::Completion& completion, NqBufferLib::Buffer** buffer);
    // A free record holding the buffer, its context zeroed; null when all are in the driver.
    Record* TakeRecord(NqBufferLib::Buffer* buffer);
    void ReleaseRecord(Record* record);
    void FreeRecords();

    std::unique_ptr<KyNetworkLib::SocketUDP> m_socket;
    KyTransportLayerLib::Link m_link;
    SendSettings m_settings;
    OperationResultConverter m_operationResults;
    NzUtilsLib::Logger m_logger;
    std::unique_ptr<Record[]> m_records;
    std::unique_ptr<Record*[]> m_free;
    uint32_t m_freeCount = 0;
    NzUtilsLib::Gate m_gate;
    uint32_t m_capacity = 0;
    bool m_headerFlag = false;
    uint32_t m_left = 0;
    uint32_t m_batchCount = 0;
    uint8_t m_batch[Stratoline::BatchOutSize] = {};
    KyNetworkLib::EthernetAddress m_remoteMac;
    KyNetworkLib::IpAddress m_destination;
    uint16_t m_destinationPort = 0;
    const KyNetworkLib::EthernetAddress m_localMac;
    const KyNetworkLib::IpAddress m_localIp;
    uint64_t m_maxBufferSize = 0;
};

} // namespace NqTransmitterRawLib
