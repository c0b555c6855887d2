#pragma once

#include "IGVSPSender.h"
#include "NzUtilsLib/Event.h"
#include "NzUtilsLib/Gate.h"
#include "NzUtilsLib/Logger.h"
#include "NzUtilsLib/Semaphore.h"
#include "NzUtilsLib/Thread.h"

#include <atomic>
#include <memory>
#include <vector>

namespace NqTransmitterRawLib {

// Keeps the caller's buffers between sends. The caller takes free buffers
// from the ring (RetrieveFreeBuffer), fills and queues them; the pool thread
// pulls every completed buffer back from the attached sender into the ring.
// The ring holds only buffers loaded by SetBuffers, each at most once.
class GVSPMemoryPool : public IGVSPSender, public NzUtilsLib::Thread
{
public:
    // Longest time a detach or Close waits for the sender to give back its buffers.
    static constexpr uint32_t DrainTimeoutMs = 1000;

    explicit GVSPMemoryPool(uint32_t threadPriority);
    ~GVSPMemoryPool() override;

    // Replaces the set of buffers; the ring must be empty (every buffer taken out).
    NzUtilsLib::Result SetBuffers(NqBufferLib::Buffer** buffers, uint32_t count);
    // Attaches a sender (null detaches). The buffers still in the previous
    // sender are aborted and taken back into the ring first.
    NzUtilsLib::Result SetSender(IGVSPSender* sender);
    // Buffers in the ring now.
    uint32_t GetFreeBufferCount();

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
    NzUtilsLib::Result SetPacketSize(uint32_t packetSize) override;
    NzUtilsLib::Result SetMaxPayloadThroughput(float bitsPerSecond) override;
    NzUtilsLib::Result SetStatistic(GVSPStatistic* statistic) override;
    uint16_t GetSourcePort() override;
    std::string GetSourceIPAddress() override;
    uint32_t GetThreadPriority() override;
    NzUtilsLib::Result SetThreadPriority(uint32_t priority) override;

protected:
    NzUtilsLib::Result RunThread() override;

private:
    NzUtilsLib::Result StartPoolThread();
    void StopPoolThread();
    void RunAbort();
    void DrainSender();
    // Puts a buffer back and counts it; refused (and logged) when it was
    // never loaded or is in the ring already.
    void GiveBack(NqBufferLib::Buffer* buffer);
    bool HasRing() const { return !m_ring.empty(); }

    IGVSPSender* m_sender = nullptr;
    std::vector<NqBufferLib::Buffer*> m_ring;
    uint32_t m_capacity = 0;
    uint32_t m_read = 0;
    uint32_t m_write = 0;
    // The loaded buffers sorted, and whether each is in the ring.
    std::vector<NqBufferLib::Buffer*> m_loaded;
    std::vector<bool> m_inRing;
    NzUtilsLib::Gate m_gate;
    std::shared_ptr<NzUtilsLib::Semaphore> m_semaphore;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_abortRequested{false};
    // Under the gate: the thread can still run a requested abort.
    bool m_threadAlive = false;
    bool m_abortResult = false;
    uint32_t m_abortValue = 0;
    NzUtilsLib::Event m_abortDone{false};
    NzUtilsLib::Logger m_logger;
};

} // namespace NqTransmitterRawLib
