#pragma once

#include "IGVSPSender.h"

#include <condition_variable>
#include <deque>
#include <mutex>

// In-memory sender for the pool's tests: queued buffers stay "in flight"
// until Complete or an abort moves them to the completed queue, which
// RetrieveFreeBuffer empties (slowly, with a hand-out delay); with
// autoComplete they complete at once.
class FakeSender : public NqTransmitterRawLib::IGVSPSender
{
public:
    NzUtilsLib::Result Open(const KyNetworkLib::IpAddress*, uint16_t, const KyNetworkLib::IpAddress*, uint16_t, bool,
                            bool, uint32_t, uint32_t, bool) override;
    void Close() override;
    NzUtilsLib::Result AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer) override;
    NzUtilsLib::Result AbortQueuedBuffers(uint32_t value, bool* aborted) override;
    NzUtilsLib::Result QueueBuffer(NqBufferLib::Buffer* buffer) override;
    NzUtilsLib::Result RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs) override;
    uint32_t GetQueuedBufferCount() override;
    NzUtilsLib::Result SetPacketSize(uint32_t) override { return NzUtilsLib::Result::Success; }
    NzUtilsLib::Result SetMaxPayloadThroughput(float) override { return NzUtilsLib::Result::Success; }
    NzUtilsLib::Result SetStatistic(NqTransmitterRawLib::GVSPStatistic*) override { return NzUtilsLib::Result::Success; }
    uint16_t GetSourcePort() override { return 0; }
    std::string GetSourceIPAddress() override { return std::string(); }
    uint32_t GetThreadPriority() override { return 0; }
    NzUtilsLib::Result SetThreadPriority(uint32_t) override { return NzUtilsLib::Result::Success; }

    void Complete();
    // Hands this buffer out as if it had been queued and sent.
    void Inject(NqBufferLib::Buffer* buffer);
    bool IsClosed();
    void SetAutoComplete(bool on);
    // Each buffer RetrieveFreeBuffer hands out comes this long after it is asked for.
    void SetHandOutDelay(uint32_t ms);

private:
    std::mutex m_mutex;
    std::condition_variable m_completedChanged;
    std::deque<NqBufferLib::Buffer*> m_inFlight;
    std::deque<NqBufferLib::Buffer*> m_completed;
    bool m_autoComplete = false;
    uint32_t m_handOutDelayMs = 0;
    bool m_closed = false;
};
