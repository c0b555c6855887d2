#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

// Pause and stop of a worker's loop, shared between the thread that owns the
// worker and the loop itself. A paused loop waits on a condition instead of
// spinning, every sleep ends early on stop(), and stop() wakes every wait,
// so the owner can stop the loop and wait() for its thread at once. (Standard
// primitives, which ThreadSanitizer sees.)
class LoopControl
{
public:
    void pause();
    void resume();
    void stop();

    bool isPaused() const { return paused_; }
    bool isStopping() const { return stop_; }

    // At the start of the loop: a stop asked before the loop began is taken
    // back, and the loop does not run (true then).
    bool takeEarlyStop() { return stop_.exchange(false); }
    // At the end of the loop, so that the worker can run again.
    void clearStop() { stop_ = false; }

    // Blocks while paused; false once a stop is asked.
    bool waitWhilePaused();
    // Sleeps `ms` unless a stop comes first; false then.
    bool sleep(int ms);

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> paused_{false};
    std::atomic<bool> stop_{false};
};
