#pragma once

#include "NzUtilsLib/Result.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace NzUtilsLib {

// Counting semaphore with a maximum count.
class Semaphore
{
public:
    enum : uint32_t { Infinite = 0xFFFFFFFF, LimitExceeded = 298 };

    Semaphore(uint32_t initial, uint32_t maximum, const char* name = nullptr);

    // Raises the count by one; refused (LimitExceeded) at the maximum.
    Result Release();
    // Takes one unit: Success, or Result::Pending (259) when the time-out passed first.
    Result Wait_ms(uint32_t timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_available;
    uint32_t m_count;
    const uint32_t m_maximum;
    std::string m_name;
};

} // namespace NzUtilsLib
