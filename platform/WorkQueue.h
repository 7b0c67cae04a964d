#pragma once
// A worker thread fed through a fixed ring: producers on any thread push and
// never block; the worker takes one entry per wake-up, in order, and hands it
// to its processing function. While held, entries wait in the ring and the
// worker sleeps. An exit request ends the worker at once, even with entries
// still pending.
//
// The wake-up race is closed by re-checking the pending count after the
// reset: a push that lands between the count reaching 0 and the reset found
// the event still set and did not set it again, so the worker looks once more.
//
// Before it sleeps the worker watches for more work for a few microseconds:
// the entries of a burst (a chord's keys, a key's requests) follow each other
// that closely, and waking a sleeping thread costs tens of microseconds on a
// virtual machine. The watch is bounded, so an idle worker sleeps, and it
// yields the core between looks, so a thread waiting for that core runs first.
//
// A push from a thread inside a RoomWait waits for room instead of dropping:
// it looks again every millisecond until the ring takes the entry, its flag
// gives up, or the worker is told to exit or never ran.

#include "platform/Event.h"
#include "platform/MpscRing.h"
#include "platform/RoomWait.h"
#include "platform/Thread.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <thread>

namespace corvinta {

template <class T, size_t Capacity>
class WorkQueue {
public:
    WorkQueue() = default;
    ~WorkQueue() { Stop(0, 0); }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Safe from any thread; false when the ring is full (the entry is dropped
    // and counted). Takes no lock and never sleeps, except inside a RoomWait.
    bool TryPush(const T& entry)
    {
        if (!ring_.TryPush(entry) && !WaitForRoom(entry)) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        pending_.fetch_add(1);
        message_.Set();
        return true;
    }

    // Work for the worker once it has emptied the ring (set before Start).
    void SetIdleWork(std::function<void()> idle) { idle_ = std::move(idle); }
    // Has the worker look again without an entry: idle work is waiting.
    void Wake() { message_.Set(); }

    // Starts the worker; false if no thread could be made.
    bool Start(std::function<void(const T&)> process)
    {
        process_ = std::move(process);
        const bool started = worker_.Start([this] { Run(); });
        started_.store(started);
        return started;
    }

    void SetHeld(bool held)
    {
        events_.Update([&] { held_.store(held); });
    }
    bool Held() const { return held_.load(); }

    void RequestExit() { exit_.Set(); }
    bool Stopped() const { return stopped_.load(); }
    bool Running() const { return worker_.Running(); }

    // Signals exit and polls the stopped flag every pollMs, at most maxPolls
    // times. True when the worker stopped in time or never ran.
    bool Stop(int maxPolls, int pollMs)
    {
        RequestExit();
        if (!worker_.Running())
            return true;
        for (int poll = 0; poll < maxPolls && !Stopped(); ++poll)
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
        if (maxPolls > 0 && !Stopped())
            return false;
        worker_.Join();
        return true;
    }

    // Lets go of a worker that did not stop within its polls (see Thread::Detach).
    void Detach() { worker_.Detach(); }

    // Processes pending entries on the calling thread, at most `most`; only
    // while no worker runs (offline rendering drives the organ this way).
    int DrainHere(const std::function<void(const T&)>& process, int most = INT_MAX)
    {
        int handled = 0;
        T entry;
        while (handled < most && !worker_.Running() && ring_.TryPop(entry)) {
            pending_.fetch_sub(1);
            process(entry);
            ++handled;
        }
        if (pending_.load() == 0) {
            message_.Reset();
            RunIdle();
        }
        return handled;
    }

    uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }
    // Every cell waits to be taken; exact only while no other thread pushes or pops.
    bool Full() const { return pending_.load() >= static_cast<int>(Capacity); }
    // Wake-ups that found work; for tests and diagnostics.
    uint64_t Passes() const { return passes_.load(std::memory_order_relaxed); }

private:
    static constexpr std::chrono::microseconds kWatch{20};
    static constexpr std::chrono::milliseconds kRoomPoll{1};

    // Only inside a RoomWait: true once the ring took the entry.
    bool WaitForRoom(const T& entry)
    {
        const std::atomic<bool>* giveUp = RoomWait::GiveUp();
        if (!giveUp)
            return false;
        for (;;) {
            if (giveUp->load() || exit_.IsSet() || !started_.load() || stopped_.load())
                return false;
            std::this_thread::sleep_for(kRoomPoll);
            if (ring_.TryPush(entry))
                return true;
        }
    }

    static void CpuRelax()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    }

    // Returns when an entry may be taken, exit is requested, or the watch ends;
    // the wait after it decides, so hold and exit keep their meaning.
    void Watch() const
    {
        const auto until = std::chrono::steady_clock::now() + kWatch;
        for (;;) {
            for (int i = 0; i < 32; ++i) {
                if (exit_.IsSet() || (message_.IsSet() && !held_.load()))
                    return;
                CpuRelax();
            }
            if (std::chrono::steady_clock::now() >= until)
                return;
            std::this_thread::yield();
        }
    }

    void Run()
    {
        for (;;) {
            Watch();
            bool exit = false;
            events_.WaitUntil([&] {
                exit = exit_.IsSet();
                return exit || (message_.IsSet() && !held_.load());
            });
            if (exit)
                break;
            passes_.fetch_add(1, std::memory_order_relaxed);

            T entry;
            if (!ring_.TryPop(entry)) {
                if (pending_.load() == 0) { // woken for idle work alone
                    ResetMessage();
                    RunIdle();
                    continue;
                }
                // A producer has claimed the next cell but not yet filled it.
                std::this_thread::yield();
                continue;
            }
            bool emptied = false;
            if (pending_.fetch_sub(1) == 1) {
                emptied = true;
                ResetMessage();
            }
            process_(entry);
            // Idle work goes after everything queued before it: entries that
            // arrived while this one was handled come first.
            if (emptied && pending_.load() == 0)
                RunIdle();
        }
        stopped_.store(true);
    }

    // Clears the pending-entry event, unless a push landed meanwhile.
    void ResetMessage()
    {
        message_.Reset();
        if (pending_.load() > 0)
            message_.Set();
    }

    void RunIdle()
    {
        if (idle_)
            idle_();
    }

    MpscRing<T, Capacity> ring_;
    std::atomic<int> pending_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> passes_{0};

    EventGroup events_;
    Event message_{events_}; // an entry is pending
    Event exit_{events_};
    std::atomic<bool> held_{false};    // written by the owner, read by the worker
    std::atomic<bool> stopped_{false}; // written by the worker, read by the owner
    std::atomic<bool> started_{false}; // written by the owner, read by producers
    std::function<void(const T&)> process_;
    std::function<void()> idle_;
    Thread worker_;
};

} // namespace corvinta
