#include "FakeSender.h"

#include <chrono>
#include <thread>

using NzUtilsLib::Result;

Result FakeSender::Open(const KyNetworkLib::IpAddress*, uint16_t, const KyNetworkLib::IpAddress*, uint16_t, bool, bool,
                        uint32_t, uint32_t, bool)
{
    return Result::Success;
}

void FakeSender::Close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
}

Result FakeSender::AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_inFlight.empty())
        return Result(21);
    *buffer = m_inFlight.front();
    m_inFlight.pop_front();
    return Result::Success;
}

Result FakeSender::AbortQueuedBuffers(uint32_t, bool* aborted)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (aborted)
        *aborted = !m_inFlight.empty();
    m_completed.insert(m_completed.end(), m_inFlight.begin(), m_inFlight.end());
    m_inFlight.clear();
    m_completedChanged.notify_all();
    return Result::Success;
}

Result FakeSender::QueueBuffer(NqBufferLib::Buffer* buffer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    (m_autoComplete ? m_completed : m_inFlight).push_back(buffer);
    m_completedChanged.notify_all();
    return Result::Success;
}

Result FakeSender::RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs)
{
    *buffer = nullptr;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_completedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_completed.empty(); }))
        return Result(20);
    if (m_handOutDelayMs) {
        const uint32_t delay = m_handOutDelayMs;
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        lock.lock();
        if (m_completed.empty())
            return Result(20);
    }
    *buffer = m_completed.front();
    m_completed.pop_front();
    return Result::Success;
}

uint32_t FakeSender::GetQueuedBufferCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return uint32_t(m_inFlight.size() + m_completed.size());
}

void FakeSender::Complete()
{
    AbortQueuedBuffers(0, nullptr);
}

void FakeSender::Inject(NqBufferLib::Buffer* buffer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_completed.push_back(buffer);
    m_completedChanged.notify_all();
}

bool FakeSender::IsClosed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closed;
}

void FakeSender::SetAutoComplete(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_autoComplete = on;
}

void FakeSender::SetHandOutDelay(uint32_t ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handOutDelayMs = ms;
}
