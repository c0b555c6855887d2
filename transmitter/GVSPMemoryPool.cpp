#include "GVSPMemoryPool.h"

#include "ResultCodes.h"

#include <algorithm>
#include <chrono>

namespace NqTransmitterRawLib {

using NzUtilsLib::Result;

namespace {
const uint32_t kRetrieveTimeoutMs = 100;
const uint32_t kDrainRetrieveTimeoutMs = 50;
} // namespace

constexpr uint32_t GVSPMemoryPool::DrainTimeoutMs;

GVSPMemoryPool::GVSPMemoryPool(uint32_t threadPriority)
    : NzUtilsLib::Thread("Kyvo Transmitter Memory Buffer Thread", threadPriority), m_logger(LogChannel, 0)
{
}

GVSPMemoryPool::~GVSPMemoryPool()
{
    Close();
}

Result GVSPMemoryPool::SetBuffers(NqBufferLib::Buffer** buffers, uint32_t count)
{
    StopPoolThread();
    Result result = Result::Success;
    bool empty;
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        empty = m_read == m_write;
    }
    std::vector<NqBufferLib::Buffer*> loaded;
    if (!empty) {
        result = NZ_LOG_RESULT(m_logger, Code::PoolInUse, "%s", Message::PoolInUse);
    } else if (!buffers || count == 0 || std::find(buffers, buffers + count, nullptr) != buffers + count) {
        result = Result(Code::InvalidParameter);
    } else {
        loaded.assign(buffers, buffers + count);
        std::sort(loaded.begin(), loaded.end());
        if (std::adjacent_find(loaded.begin(), loaded.end()) != loaded.end())
            result = Result(Code::InvalidParameter);
    }
    if (result.IsFailure()) {
        // The refused set leaves the old one as it was, thread included.
        if (m_sender && HasRing())
            StartPoolThread();
        return result;
    }

    std::shared_ptr<NzUtilsLib::Semaphore> semaphore;
    try {
        semaphore = std::make_shared<NzUtilsLib::Semaphore>(count, count);
    } catch (const std::bad_alloc&) {
        return NZ_LOG_RESULT(m_logger, Code::NotEnoughMemory, "%s", Message::CreateSemaphore);
    }
    std::vector<NqBufferLib::Buffer*> ring;
    try {
        ring.assign(buffers, buffers + count);
        ring.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        return NZ_LOG_RESULT(m_logger, Code::NotEnoughMemory, "%s", Message::StoreBuffers);
    }
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        m_ring.swap(ring);
        m_loaded.swap(loaded);
        m_inRing.assign(count, true);
        m_semaphore = semaphore;
        m_capacity = count;
        m_read = 0;
        m_write = count;
    }
    if (m_sender)
        return StartPoolThread();
    return Result::Success;
}

Result GVSPMemoryPool::SetSender(IGVSPSender* sender)
{
    StopPoolThread();
    if (m_sender && m_sender != sender)
        DrainSender();
    m_sender = sender;
    if (!m_sender || !HasRing())
        return Result::Success;
    return StartPoolThread();
}

uint32_t GVSPMemoryPool::GetFreeBufferCount()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    return m_write >= m_read ? m_write - m_read : m_write + m_capacity + 1 - m_read;
}

Result GVSPMemoryPool::StartPoolThread()
{
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        m_threadAlive = true;
    }
    m_abortRequested.store(false);
    m_running.store(true);
    const Result started = StartThread();
    if (started.IsFailure()) {
        m_running.store(false);
        NzUtilsLib::Gate::Locker lock(m_gate);
        m_threadAlive = false;
    }
    return started;
}

void GVSPMemoryPool::StopPoolThread()
{
    if (!IsStarted())
        return;
    m_running.store(false);
    StopThread();
    WaitUntilSignaled();
}

Result GVSPMemoryPool::RunThread()
{
    while (m_running.load()) {
        NqBufferLib::Buffer* buffer = nullptr;
        if (m_sender->RetrieveFreeBuffer(&buffer, kRetrieveTimeoutMs).IsFailure())
            Thread::Sleep(0);
        else
            GiveBack(buffer);
        if (m_abortRequested.load())
            RunAbort();
    }
    // An abort asked for after the last look would wait forever: release it.
    bool release;
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        m_threadAlive = false;
        release = m_abortRequested.exchange(false);
        if (release)
            m_abortResult = false;
    }
    if (release)
        m_abortDone.Set();
    return Result::Success;
}

void GVSPMemoryPool::RunAbort()
{
    bool aborted = false;
    if (!m_sender->AbortQueuedBuffers(m_abortValue, &aborted).IsFailure()) {
        NqBufferLib::Buffer* buffer = nullptr;
        while (!m_sender->RetrieveFreeBuffer(&buffer, kRetrieveTimeoutMs).IsFailure())
            GiveBack(buffer);
    }
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        m_abortResult = aborted;
        m_abortRequested.store(false);
    }
    m_abortDone.Set();
}

void GVSPMemoryPool::DrainSender()
{
    m_sender->AbortQueuedBuffers(0xFFFFFFFF, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DrainTimeoutMs);
    while (m_sender->GetQueuedBufferCount() != 0 && std::chrono::steady_clock::now() < deadline) {
        NqBufferLib::Buffer* buffer = nullptr;
        if (!m_sender->RetrieveFreeBuffer(&buffer, kDrainRetrieveTimeoutMs).IsFailure())
            GiveBack(buffer);
    }
    NqBufferLib::Buffer* buffer = nullptr;
    while (!m_sender->RetrieveFreeBuffer(&buffer, 0).IsFailure())
        GiveBack(buffer);
}

void GVSPMemoryPool::GiveBack(NqBufferLib::Buffer* buffer)
{
    std::shared_ptr<NzUtilsLib::Semaphore> semaphore;
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        const auto found = std::lower_bound(m_loaded.begin(), m_loaded.end(), buffer);
        const bool loaded = buffer && found != m_loaded.end() && *found == buffer;
        const size_t index = size_t(found - m_loaded.begin());
        if (!loaded || m_inRing[index] || (m_write + 1) % (m_capacity + 1) == m_read) {
            NZ_LOG(m_logger, NzUtilsLib::Logger::Warning,
                   "The buffer %p came back but %s; it is not put into the pool", static_cast<void*>(buffer),
                   loaded ? "it is in the pool already" : "it was never loaded into the pool");
            return;
        }
        m_inRing[index] = true;
        m_ring[m_write] = buffer;
        m_write = (m_write + 1) % (m_capacity + 1);
        semaphore = m_semaphore;
    }
    semaphore->Release();
}

Result GVSPMemoryPool::Open(const KyNetworkLib::IpAddress*, uint16_t, const KyNetworkLib::IpAddress*, uint16_t, bool,
                            bool, uint32_t, uint32_t, bool)
{
    return Result(Code::NotInitialized);
}

void GVSPMemoryPool::Close()
{
    StopPoolThread();
    if (!m_sender)
        return;
    DrainSender();
    m_sender->Close();
    m_sender = nullptr;
}

Result GVSPMemoryPool::AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer)
{
    return m_sender ? m_sender->AbortOldestQueuedBuffer(buffer) : Result(Code::NotOpened);
}

Result GVSPMemoryPool::AbortQueuedBuffers(uint32_t value, bool* aborted)
{
    if (aborted)
        *aborted = false;
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        if (m_abortRequested.load())
            return Result(Code::AbortRunning);
        if (!m_threadAlive)
            return Result::Success;
        m_abortValue = value;
        m_abortResult = false;
        m_abortDone.Reset();
        m_abortRequested.store(true);
    }
    m_abortDone.Wait();
    NzUtilsLib::Gate::Locker lock(m_gate);
    if (aborted)
        *aborted = m_abortResult;
    return Result::Success;
}

Result GVSPMemoryPool::QueueBuffer(NqBufferLib::Buffer* buffer)
{
    return m_sender ? m_sender->QueueBuffer(buffer) : Result(Code::NotOpened);
}

Result GVSPMemoryPool::RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs)
{
    if (!buffer)
        return Result(Code::InvalidParameter);
    *buffer = nullptr;
    std::shared_ptr<NzUtilsLib::Semaphore> semaphore;
    {
        NzUtilsLib::Gate::Locker lock(m_gate);
        semaphore = m_semaphore;
    }
    if (!semaphore || semaphore->Wait_ms(timeoutMs).IsFailure())
        return Result(Code::Timeout);
    NzUtilsLib::Gate::Locker lock(m_gate);
    NqBufferLib::Buffer* taken = m_ring[m_read];
    m_ring[m_read] = nullptr;
    m_read = (m_read + 1) % (m_capacity + 1);
    const auto found = std::lower_bound(m_loaded.begin(), m_loaded.end(), taken);
    m_inRing[size_t(found - m_loaded.begin())] = false;
    *buffer = taken;
    return Result::Success;
}

uint32_t GVSPMemoryPool::GetQueuedBufferCount()
{
    return m_sender ? m_sender->GetQueuedBufferCount() : 0;
}

Result GVSPMemoryPool::SetPacketSize(uint32_t packetSize)
{
    return m_sender ? m_sender->SetPacketSize(packetSize) : Result(Code::NotOpened);
}

Result GVSPMemoryPool::SetMaxPayloadThroughput(float bitsPerSecond)
{
    return m_sender ? m_sender->SetMaxPayloadThroughput(bitsPerSecond) : Result(Code::NotOpened);
}

Result GVSPMemoryPool::SetStatistic(GVSPStatistic* statistic)
{
    return m_sender ? m_sender->SetStatistic(statistic) : Result(Code::NotOpened);
}

uint16_t GVSPMemoryPool::GetSourcePort()
{
    return m_sender ? m_sender->GetSourcePort() : 0;
}

std::string GVSPMemoryPool::GetSourceIPAddress()
{
    return m_sender ? m_sender->GetSourceIPAddress() : std::string();
}

uint32_t GVSPMemoryPool::GetThreadPriority()
{
    return GetPriority();
}

Result GVSPMemoryPool::SetThreadPriority(uint32_t priority)
{
    return SetPriority(priority);
}

} // namespace NqTransmitterRawLib
