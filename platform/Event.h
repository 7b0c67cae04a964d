#pragma once
// Manual-reset events and a wait on two of them, the way the organ's worker
// threads wait for "a request is pending" or "time to exit".
//
// Events that are waited on together share one EventGroup: a counter that
// every Set, Reset and Update bumps. A waiter reads the counter, checks its
// condition, and sleeps only while the counter still holds what it read, so a
// Set that races with the check is never missed. Set takes no lock and never
// sleeps: MIDI callbacks signal through it.

#include <atomic>
#include <cstdint>

namespace corvinta {

class EventGroup {
public:
    EventGroup() = default;
    EventGroup(const EventGroup&) = delete;
    EventGroup& operator=(const EventGroup&) = delete;

    // Blocks until pred() holds. pred reads atomics only.
    template <class Predicate>
    void WaitUntil(Predicate pred) const
    {
        for (;;) {
            const uint32_t seen = changes_.load();
            if (pred())
                return;
            changes_.wait(seen);
        }
    }

    // Runs change() and wakes every waiter; safe from any thread, never blocks.
    template <class Change>
    void Update(Change change)
    {
        change();
        Changed();
    }

    // Wait-free: one atomic add, and a wake-up only when a thread sleeps.
    void Changed()
    {
        changes_.fetch_add(1);
        changes_.notify_all();
    }

private:
    mutable std::atomic<uint32_t> changes_{0};
};

class Event {
public:
    explicit Event(EventGroup& group) : group_(group) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Safe from any thread; takes no lock and never sleeps. Cheap when already signalled.
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
