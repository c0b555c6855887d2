#include "NzUtilsLib/Semaphore.h"

#include <chrono>

namespace NzUtilsLib {

Semaphore::Semaphore(uint32_t initial, uint32_t maximum, const char* name)
    : m_count(initial < maximum ? initial : maximum), m_maximum(maximum), m_name(name ? name : "")
{
}

Result Semaphore::Release()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_count >= m_maximum)
        return Result(LimitExceeded);
    ++m_count;
    m_available.notify_one();
    return Result::Success;
}

Result Semaphore::Wait_ms(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto available = [this] { return m_count > 0; };
    if (timeoutMs == Infinite)
        m_available.wait(lock, available);
    else if (!m_available.wait_for(lock, std::chrono::milliseconds(timeoutMs), available))
        return Result::Pending;
    --m_count;
    return Result::Success;
}

} // namespace NzUtilsLib
