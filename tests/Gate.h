#pragma once
// Stops a worker thread at a chosen point: each Pass lets the worker through
// while passes remain allowed and holds it there otherwise, so a test can
// leave a ring part-full while the worker waits.

#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>

namespace corvinta::test {

class Gate {
public:
    // On the worker.
    void Pass()
    {
        std::unique_lock lock(mutex_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return passed_ < allowed_; });
        ++passed_;
        changed_.notify_all();
    }

    void Allow(int passes)
    {
        {
            std::lock_guard lock(mutex_);
            allowed_ = allowed_ > INT_MAX - passes ? INT_MAX : allowed_ + passes;
        }
        changed_.notify_all();
    }
    void Open() { Allow(INT_MAX); }

    // True once the worker waits at the gate with every allowed pass used.
    bool WaitHeld(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return passed_ == allowed_ && arrived_ > passed_; });
    }
    // True once the worker has gone through `passes` times in all.
    bool WaitPassed(int passes, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return passed_ >= passes; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int arrived_ = 0;
    int passed_ = 0;
    int allowed_ = 0;
};

} // namespace corvinta::test
