#pragma once

#include "NzUtilsLib/Result.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <thread>

namespace NzUtilsLib {

// A named thread running the derived class's RunThread. Stopping is the
// derived class's business (its own flag, then StopThread and
// WaitUntilSignaled); the derived destructor must have joined the thread.
class Thread
{
public:
    // Priorities from idle to time-critical; applied best effort as a nice
    // value of the thread (refused raises are ignored).
    enum : uint32_t {
        InternalPriorityMinimum = 0,
        InternalPriorityIdle = 0,
        InternalPriorityLowest = 1,
        InternalPriorityBelowNormal = 2,
        InternalPriorityNormal = 3,
        InternalPriorityAboveNormal = 4,
        InternalPriorityHighest = 5,
        InternalPriorityTimeCritical = 6,
        InternalPriorityMaximum = 6,
    };
    enum : uint32_t { AlreadyStarted = 1, StartFailed = 8, InvalidPriority = 16385 };

    Thread(const std::string& name, uint32_t priority);
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    Result StartThread();
    // Asks the body to end (IsStopRequested); it does not wait.
    void StopThread();
    // Joins the thread; returns at once when it was not started.
    void WaitUntilSignaled();
    bool IsStarted() const { return m_thread.joinable(); }

    uint32_t GetPriority() const { return m_priority.load(); }
    Result SetPriority(uint32_t priority);

    static bool IsPriorityValid(uint32_t priority) { return priority <= InternalPriorityMaximum; }
    static void Sleep(uint32_t ms);
    // Milliseconds of a monotonic clock.
    static uint64_t GetTickCount();

    // Test hook: makes every later StartThread fail, as when the system has no thread left.
    static void SetStartRefused(bool refused);

protected:
    virtual Result RunThread() = 0;
    bool IsStopRequested() const { return m_stopRequested.load(); }

private:
    void Body();
    void ApplyPriority(uint32_t priority) const;

    const std::string m_name;
    std::atomic<uint32_t> m_priority;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<pid_t> m_systemId{0};
    std::thread m_thread;
};

} // namespace NzUtilsLib
