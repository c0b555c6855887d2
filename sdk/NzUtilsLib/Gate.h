#pragma once

#include <mutex>

namespace NzUtilsLib {

// Mutual exclusion of one object's state. Locker holds it for a scope.
class Gate
{
public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }

    class Locker
    {
    public:
        explicit Locker(Gate& gate) : m_gate(gate) { m_gate.Lock(); }
        ~Locker() { m_gate.Unlock(); }
        Locker(const Locker&) = delete;
        Locker& operator=(const Locker&) = delete;

    private:
        Gate& m_gate;
    };

private:
    std::mutex m_mutex;
};

} // namespace NzUtilsLib
