#include "NzUtilsLib/Thread.h"

#include <chrono>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace NzUtilsLib {

namespace {
std::atomic<bool> g_startRefused{false};

// Nice values of the priorities, idle to time-critical.
const int kNiceOfPriority[] = {19, 10, 5, 0, -5, -10, -15};
} // namespace

Thread::Thread(const std::string& name, uint32_t priority)
    : m_name(name), m_priority(IsPriorityValid(priority) ? priority : uint32_t(InternalPriorityNormal))
{
}

Thread::~Thread()
{
    if (m_thread.joinable())
        m_thread.join();
}

Result Thread::StartThread()
{
    if (m_thread.joinable())
        return Result(AlreadyStarted);
    if (g_startRefused.load())
        return Result(StartFailed);
    m_stopRequested.store(false);
    try {
        m_thread = std::thread(&Thread::Body, this);
    } catch (const std::system_error&) {
        return Result(StartFailed);
    }
    return Result::Success;
}

void Thread::StopThread()
{
    m_stopRequested.store(true);
}

void Thread::WaitUntilSignaled()
{
    if (m_thread.joinable())
        m_thread.join();
    m_systemId.store(0);
}

Result Thread::SetPriority(uint32_t priority)
{
    if (!IsPriorityValid(priority))
        return Result(InvalidPriority);
    m_priority.store(priority);
    if (m_systemId.load() != 0)
        ApplyPriority(priority);
    return Result::Success;
}

void Thread::Sleep(uint32_t ms)
{
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t Thread::GetTickCount()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Thread::SetStartRefused(bool refused)
{
    g_startRefused.store(refused);
}

void Thread::Body()
{
    // The kernel keeps 15 characters of a thread name.
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    m_systemId.store(pid_t(syscall(SYS_gettid)));
    ApplyPriority(m_priority.load());
    RunThread();
}

void Thread::ApplyPriority(uint32_t priority) const
{
    const pid_t id = m_systemId.load();
    if (id != 0)
        setpriority(PRIO_PROCESS, id_t(id), kNiceOfPriority[priority]);
}

} // namespace NzUtilsLib
