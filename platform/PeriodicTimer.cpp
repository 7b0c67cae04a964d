#include "PeriodicTimer.h"

#include <system_error>

namespace corvinta {

bool PeriodicTimer::Start(std::chrono::milliseconds period, std::function<bool()> tick)
{
    std::unique_lock lock(mutex_);
    if (running_)
        return false;
    if (thread_.joinable()) {
        // A timer that ended itself from its tick: collect its thread first.
        lock.unlock();
        if (thread_.get_id() == std::this_thread::get_id())
            return false;
        thread_.join();
        lock.lock();
    }
    tick_ = std::move(tick);
    stop_ = false;
    running_ = true;
    try {
        thread_ = std::thread([this, period] { Run(period); });
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

void PeriodicTimer::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

bool PeriodicTimer::Running() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

void PeriodicTimer::Run(std::chrono::milliseconds period)
{
    auto next = std::chrono::steady_clock::now() + period;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (wake_.wait_until(lock, next, [this] { return stop_; }))
            break;
        lock.unlock();
        const bool again = tick_();
        lock.lock();
        if (!again || stop_)
            break;
        next += period;
    }
    running_ = false;
}

} // namespace corvinta
