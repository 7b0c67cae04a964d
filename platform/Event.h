#pragma once
// Manual-reset events and a wait on two of them, the way the organ's worker
// threads wait for "a request is pending" or "time to exit".
//
// Events that are waited on together must share one EventGroup: the group's
// mutex and condition variable carry every Set and Reset of its events, so a
// waiter can never miss a Set that races with its check.

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace corvinta {

class EventGroup {
public:
    EventGroup() = default;
    EventGroup(const EventGroup&) = delete;
    EventGroup& operator=(const EventGroup&) = delete;

    // Blocks until pred() holds; pred runs with the group's lock held.
    template <class Predicate>
    void WaitUntil(Predicate pred)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, pred);
    }

    // Runs change() under the group's lock and wakes every waiter, so a
    // waiter's predicate that reads state outside the events sees it.
    template <class Change>
    void Update(Change change)
    {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

class Event {
public:
    explicit Event(EventGroup& group) : group_(group) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Safe from any thread. Cheap when already signalled.
    void Set();
    void Reset();
    // Sequentially consistent: a producer that bumps a count and then finds the
    // event still set relies on the consumer re-reading that count after Reset.
    bool IsSet() const { return signalled_.load(); }

    EventGroup& Group() const { return group_; }

private:
    EventGroup& group_;
    std::atomic<bool> signalled_{false};
};

enum class WaitResult { First, Second };

// Waits without time-out until either event is signalled. When both are,
// the second wins: it is the exit event in every wait of the organ, and an
// exit request must not wait behind pending work.
WaitResult WaitForEither(Event& first, Event& second);

} // namespace corvinta
