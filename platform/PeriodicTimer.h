#pragma once
// A timer of our own that calls a function every period on a thread of its
// own, the first time one period after Start. The function returns false to
// end the timer from inside its own tick; Stop from any other thread ends it
// and waits until a tick in progress has returned.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace corvinta {

class PeriodicTimer {
public:
    PeriodicTimer() = default;
    ~PeriodicTimer() { Stop(); }
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // False when a timer is already running or no thread could be made.
    bool Start(std::chrono::milliseconds period, std::function<bool()> tick);
    // From the timer's own tick this only asks it to end; elsewhere it also waits for it.
    void Stop();
    bool Running() const;

private:
    void Run(std::chrono::milliseconds period);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::function<bool()> tick_;
    std::thread thread_;
    bool stop_ = false;
    bool running_ = false;
};

} // namespace corvinta
