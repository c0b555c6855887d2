#include "LoopControl.h"

#include <chrono>

void LoopControl::pause()
{
    paused_ = true;
}

void LoopControl::resume()
{
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = false;
    wake_.notify_all();
}

void LoopControl::stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    wake_.notify_all();
}

bool LoopControl::waitWhilePaused()
{
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return !paused_ || stop_; });
    return !stop_;
}

bool LoopControl::sleep(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return bool(stop_); });
    return !stop_;
}
