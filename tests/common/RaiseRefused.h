#pragma once

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

// Whether a thread of this process may set its nice value to `nice`.
inline bool threadMayRaiseTo(int nice)
{
    bool allowed = false;
    std::thread([&] { allowed = ::setpriority(PRIO_PROCESS, id_t(::gettid()), nice) == 0; }).join();
    return allowed;
}

// While it lives, a thread that the calling thread starts may not raise its
// priority, as for a station run by a user the system grants none: the
// process's RLIMIT_NICE allows none, and the calling thread gives up CAP_SYS_NICE, which root's threads have and which
// passes that limit (a new thread takes its creator's capabilities). Both
// come back when it goes. `active()` is false when either could not be set.
class RaiseRefused
{
public:
    RaiseRefused()
    {
        m_limitSaved = ::getrlimit(RLIMIT_NICE, &m_limit) == 0;
        rlimit none = m_limit;
        none.rlim_cur = 0;
        const bool limited = m_limitSaved && ::setrlimit(RLIMIT_NICE, &none) == 0;
        const bool dropped = capabilities(false);
        m_active = limited && dropped;
    }
    ~RaiseRefused()
    {
        capabilities(true);
        if (m_limitSaved)
            ::setrlimit(RLIMIT_NICE, &m_limit);
    }
    RaiseRefused(const RaiseRefused&) = delete;
    RaiseRefused& operator=(const RaiseRefused&) = delete;

    bool active() const { return m_active; }

private:
    // CAP_SYS_NICE in the calling thread's effective set, as far as its
    // permitted set allows.
    bool capabilities(bool withNice)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
        if (::syscall(SYS_capget, &header, data) != 0)
            return false;
        const unsigned bit = 1u << (CAP_SYS_NICE % 32);
        __u32& effective = data[CAP_SYS_NICE / 32].effective;
        effective = withNice ? effective | (data[CAP_SYS_NICE / 32].permitted & bit) : effective & ~bit;
        return ::syscall(SYS_capset, &header, data) == 0;
    }

    rlimit m_limit{};
    bool m_limitSaved = false;
    bool m_active = false;
};
