// The MIDI input callback runs on the MIDI system's thread (JACK's process
// thread): a lock or an allocation there makes that thread wait on whoever
// holds it. Every mutex lock and every allocation made on the calling thread
// is counted here while the callback meets each state of the input queue.

#include "RecordingQueue.h"
#include "midi_in/MidiInput.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <new>

using namespace corvinta;

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define COUNTING_LOCKS 1

namespace {
thread_local bool tCounting = false;
std::atomic<int> gLocks{0};
std::atomic<int> gAllocations{0};

struct Counting {
    Counting()
    {
        gLocks = 0;
        gAllocations = 0;
        tCounting = true;
    }
    ~Counting() { tCounting = false; }
};
} // namespace

// glibc keeps its own entry under an older name, so the count can pass the lock on.
extern "C" int GlibcMutexLock(pthread_mutex_t* mutex) noexcept;
__asm__(".symver GlibcMutexLock, __pthread_mutex_lock@GLIBC_2.2.5");
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept
{
    if (tCounting)
        ++gLocks;
    return GlibcMutexLock(mutex);
}

void* operator new(std::size_t size)
{
    if (tCounting)
        ++gAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
// The replacement new above takes its memory from malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
#endif

namespace {

// One input device whose callback the test calls, as the MIDI system's thread would.
struct OneKeyboard final : IMidiSystem {
    struct Port final : IMidiInputPort {
        bool Start(std::string&) override { return true; }
        void Stop() override {}
        void Close() override {}
    };
    std::string ApiName() const override { return "fake"; }
    const std::vector<std::string>& OutputNames() const override { return none; }
    const std::vector<std::string>& InputNames() const override { return names; }
    std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned, std::string&) override { return nullptr; }
    std::unique_ptr<IMidiInputPort> OpenInput(unsigned, MidiInputCallback cb, void* context, std::string&) override
    {
        callback = cb;
        this->context = context;
        return std::make_unique<Port>();
    }
    void Send(uint32_t message) const { callback(context, message); }

    std::vector<std::string> names{"Keyboard"}, none;
    MidiInputCallback callback = nullptr;
    void* context = nullptr;
};

} // namespace

TEST(MidiCallbackPath, TakesNoLockAndAllocatesNothingInAnyStateOfTheQueue)
{
#ifndef COUNTING_LOCKS
    GTEST_SKIP() << "the sanitizers count locks and allocations of their own";
#else
    {
        Counting counting; // the counters see what they must
        std::mutex mutex;
        mutex.lock();
        mutex.unlock();
        ::operator delete(::operator new(16));
        ASSERT_EQ(gLocks, 1);
        ASSERT_EQ(gAllocations, 1);
    }

    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    test::RecordingQueue output;
    console.SetOutput(&output);
    OneKeyboard keyboard;
    MidiInput input(console, keyboard);
    input.Enumerate();
    console.inputDevicesInUse = {0};
    console.RebuildRouting();
    input.OpenAll();
    ASSERT_NE(keyboard.callback, nullptr);
    ASSERT_TRUE(input.StartWorker());
    input.SetInputEnabled(true);

    const auto channel = static_cast<uint8_t>(console.Settings().divisions[0].channel);
    const uint8_t noteOn = 0x90 | channel;
    const struct {
        const char* state;
        std::function<void()> before;
        uint32_t message;
    } steps[] = {
        {"the worker waits for work", {}, ShortMessage(noteOn, 60, 100)},
        {"input is disabled", [&] { input.SetInputEnabled(false); }, ShortMessage(noteOn, 61, 100)},
        {"the ring is full",
         [&] {
             for (const uint64_t dropped = input.DroppedEvents(); input.DroppedEvents() == dropped;)
                 keyboard.Send(ShortMessage(0xA0 | channel, 61, 10));
         },
         ShortMessage(0xB0 | channel, 7, 100)},
        {"a release finds the ring full", {}, ShortMessage(noteOn, 61, 0)},
        {"a press waits behind its kept release", {}, ShortMessage(noteOn, 61, 100)},
    };
    for (const auto& step : steps) {
        if (step.before)
            step.before();
        Counting counting;
        keyboard.Send(step.message);
        EXPECT_EQ(gLocks, 0) << "when " << step.state;
        EXPECT_EQ(gAllocations, 0) << "when " << step.state;
    }
    input.CloseAll();
    input.StopWorker();
#endif
}
