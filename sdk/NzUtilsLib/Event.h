#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace NzUtilsLib {

// Manual-reset event: Set wakes every waiter and stays set until Reset.
class Event
{
public:
    explicit Event(bool initiallySet = false) : m_set(initiallySet) {}

    void Set();
    void Reset();
    // True when set within the time-out (0xFFFFFFFF waits without limit).
    bool Wait(uint32_t timeoutMs = 0xFFFFFFFF);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set;
};

} // namespace NzUtilsLib
