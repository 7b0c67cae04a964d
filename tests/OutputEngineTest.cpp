// The output ring and its worker: order, hold, exit, wake-ups, many producers.

#include "Gate.h"
#include "RecordingQueue.h"
#include "engine/OutputEngine.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace corvinta;
using namespace std::chrono_literals;

namespace {

// What the handlers saw, in the order the worker ran them.
struct Seen {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<OutputRequest> requests;
    std::vector<OutputEngine::Handler> handlers;

    bool WaitFor(size_t count, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return requests.size() >= count; });
    }
    size_t Count()
    {
        std::lock_guard lock(mutex);
        return requests.size();
    }
};
Seen* g_seen = nullptr;

void Record(OutputEngine&, const OutputRequest& r)
{
    {
        std::lock_guard lock(g_seen->mutex);
        g_seen->requests.push_back(r);
    }
    g_seen->changed.notify_all();
}

struct Engine : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    std::unique_ptr<OutputEngine> engine;
    Seen seen;

    void SetUp() override
    {
        g_seen = &seen;
        console.Build();
        engine = std::make_unique<OutputEngine>(console, EngineParts{.startSynth = false});
        for (int t = 0; t < kRequestTypeCount; ++t)
            engine->SetHandler(static_cast<RequestType>(t), &Record);
    }
    void TearDown() override
    {
        if (engine) {
            EXPECT_TRUE(engine->StopWorker(300, 10));
        }
        g_seen = nullptr;
    }
};

TEST_F(Engine, HeldRequestsAreHandledInOrderAfterRelease)
{
    engine->SetHold(true);
    ASSERT_TRUE(engine->StartWorker());
    for (int i = 0; i < 256; ++i)
        engine->Push(RequestType::KeyNote, i % 6, i % 128, static_cast<uint8_t>(i));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(seen.Count(), 0u);
    EXPECT_EQ(engine->DroppedRequests(), 0u);

    engine->SetHold(false);
    ASSERT_TRUE(seen.WaitFor(256));
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(seen.requests[i].c, static_cast<uint8_t>(i));
}

TEST_F(Engine, HoldingDoesNotSpin)
{
    engine->SetHold(true);
    ASSERT_TRUE(engine->StartWorker());
    engine->Push(RequestType::KeyNote, 0, 60, 100);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(engine->WorkerPasses(), 0u);
}

// The worker watches briefly for more work after each request; it must then
// sleep, both with the ring empty and with requests held back.
TEST_F(Engine, AnIdleWorkerSleepsAfterItsWatch)
{
    auto cpuUsedOver = [](std::chrono::milliseconds wall) {
        auto now = [] {
            timespec t{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
            return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
        };
        const auto before = now();
        std::this_thread::sleep_for(wall);
        return now() - before;
    };
    ASSERT_TRUE(engine->StartWorker());
    engine->Push(RequestType::KeyNote, 0, 60, 100);
    ASSERT_TRUE(seen.WaitFor(1));
    EXPECT_LT(cpuUsedOver(200ms), 50ms);

    engine->SetHold(true);
    engine->Push(RequestType::KeyNote, 0, 60, 0);
    EXPECT_LT(cpuUsedOver(200ms), 50ms);
    EXPECT_EQ(seen.Count(), 1u);
}

TEST_F(Engine, ARingFullWhileHeldRefusesTheNextPushAndKeepsTheOldest)
{
    engine->SetHold(true);
    ASSERT_TRUE(engine->StartWorker());
    for (int i = 0; i < 257; ++i)
        engine->Push(RequestType::KeyNote, 0, i % 128, static_cast<uint8_t>(i % 127 + 1));
    EXPECT_EQ(engine->DroppedRequests(), 1u);
    engine->SetHold(false);
    ASSERT_TRUE(seen.WaitFor(256));
    std::this_thread::sleep_for(20ms);
    std::lock_guard lock(seen.mutex);
    ASSERT_EQ(seen.requests.size(), 256u);
    EXPECT_EQ(seen.requests.front().c, 1);
    EXPECT_EQ(seen.requests.back().c, 255 % 127 + 1);
}

// A release that finds the ring full must still end its notes: it is kept
// and handled after everything queued before it.
TEST_F(Engine, AReleaseRefusedByAFullRingIsHandledOnceTheRingEmpties)
{
    engine->SetHold(true);
    ASSERT_TRUE(engine->StartWorker());
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(engine->TryPush({RequestType::KeyNote, 1, 36 + i % 60, 100}));
    EXPECT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 60, 0})) << "kept";
    EXPECT_TRUE(engine->TryPush({RequestType::RankNote, 9, 38, 0})) << "kept";
    EXPECT_FALSE(engine->TryPush({RequestType::KeyNote, 0, 61, 100})) << "a press is dropped";
    EXPECT_FALSE(engine->TryPush({RequestType::KeyNote, 99, 60, 0})) << "no such division";
    engine->SetHold(false);
    ASSERT_TRUE(seen.WaitFor(258));
    std::this_thread::sleep_for(20ms);
    std::lock_guard lock(seen.mutex);
    ASSERT_EQ(seen.requests.size(), 258u);
    EXPECT_EQ(seen.requests[256], (OutputRequest{RequestType::KeyNote, 0, 60, 0}));
    EXPECT_EQ(seen.requests[257], (OutputRequest{RequestType::RankNote, 9, 38, 0}));
}

test::Gate* g_gate = nullptr;
void GatedRankNote(OutputEngine&, const OutputRequest&) { g_gate->Pass(); }

// A key played again while its release waits for room must not overtake it:
// the release it overtook would undo it, and the key would end up down or
// up against what was played last.
TEST_F(Engine, AKeyPressedWhileItsReleaseWaitsForRoomIsRefused)
{
    test::Gate gate;
    g_gate = &gate;
    engine->SetHandler(RequestType::KeyNote, &OutputEngine::KeyHandler);
    engine->SetHandler(RequestType::RankNote, &GatedRankNote);
    int stop = 0;
    while (console.Division(0).Stop(stop).type != StopKind::RankStop)
        ++stop;
    engine->ActiveStops(0).push_back(static_cast<uint32_t>(stop));
    ASSERT_TRUE(engine->StartWorker());

    const OutputRequest filler{RequestType::RankNote, 0, 0, 1};
    auto fillRing = [&] {
        int n = 0;
        while (engine->TryPush(filler))
            ++n;
        return n;
    };
    ASSERT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 60, 100}));
    ASSERT_TRUE(engine->TryPush(filler));
    ASSERT_TRUE(gate.WaitHeld()); // the press is handled; the worker waits in the first filler
    int fillers = 1 + fillRing();
    EXPECT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 60, 0})) << "the release is kept";

    gate.Allow(5);
    ASSERT_TRUE(gate.WaitHeld()); // room for five, the release still kept
    const uint64_t dropped = engine->DroppedRequests();
    EXPECT_FALSE(engine->TryPush({RequestType::KeyNote, 0, 60, 100})) << "the same key again";
    EXPECT_EQ(engine->DroppedRequests(), dropped + 1);
    EXPECT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 62, 100})) << "another key";
    EXPECT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 62, 0}));
    fillers += fillRing();
    EXPECT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 60, 0})) << "its second release is kept too";

    gate.Open();
    ASSERT_TRUE(gate.WaitPassed(fillers));
    // The kept release runs once the ring is empty, before anything pushed after.
    ASSERT_TRUE(engine->TryPush(filler));
    ASSERT_TRUE(gate.WaitPassed(fillers + 1));
    EXPECT_TRUE(engine->StopWorker(300, 10));
    g_gate = nullptr;
    EXPECT_TRUE(engine->HeldKeys(0).empty());
    for (int r = 0; r < engine->RankCount(); ++r)
        for (int n = 0; n < 128; ++n)
            EXPECT_EQ(engine->Rank(r).noteCounts[static_cast<size_t>(n)], 0) << "rank " << r << " note " << n;
}

TEST_F(Engine, ExitWithPendingRequestsEndsWithoutHandlingThem)
{
    engine->SetHold(true);
    ASSERT_TRUE(engine->StartWorker());
    for (int i = 0; i < 10; ++i)
        engine->Push(RequestType::KeyNote, 0, 60, 1);
    EXPECT_TRUE(engine->StopWorker(300, 10)); // held with work waiting: exit still ends it
    EXPECT_TRUE(engine->Stopped());
    EXPECT_EQ(seen.Count(), 0u);
}

TEST_F(Engine, AWorkerThatNeverStopsDelaysClosingOnlyByThePolls)
{
    static std::atomic<bool> release{false};
    release = false;
    engine->SetHandler(RequestType::KeyNote, [](OutputEngine&, const OutputRequest&) {
        while (!release)
            std::this_thread::sleep_for(1ms);
    });
    ASSERT_TRUE(engine->StartWorker());
    engine->Push(RequestType::KeyNote, 0, 60, 1);
    std::this_thread::sleep_for(20ms); // the worker is now inside the handler
    EXPECT_FALSE(engine->StopWorker(5, 10)); // gives up after its polls instead of hanging
    release = true; // the fixture's stop then finds it stopped
}

TEST_F(Engine, ExitBeforeAnyRequest)
{
    ASSERT_TRUE(engine->StartWorker());
    EXPECT_TRUE(engine->StopWorker(300, 10));
    EXPECT_EQ(seen.Count(), 0u);
}

TEST_F(Engine, OnePushAfterADrainWakesTheWorkerOnce)
{
    ASSERT_TRUE(engine->StartWorker());
    for (int i = 0; i < 5; ++i)
        engine->Push(RequestType::KeyNote, 0, 60, 1);
    ASSERT_TRUE(seen.WaitFor(5));
    std::this_thread::sleep_for(20ms);
    const uint64_t passes = engine->WorkerPasses();

    engine->Push(RequestType::RankNote, 3, 61, 2);
    ASSERT_TRUE(seen.WaitFor(6));
    std::this_thread::sleep_for(50ms);
    // One wake-up for one request: the event was reset when the ring emptied.
    EXPECT_EQ(engine->WorkerPasses(), passes + 1);
    EXPECT_EQ(seen.requests.back().type, RequestType::RankNote);
}

TEST_F(Engine, ManyProducersLoseNothingAndKeepEachProducersOrder)
{
    ASSERT_TRUE(engine->StartWorker());
    constexpr int kProducers = 4;
    constexpr int kEach = 20000;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < kEach; ++i) {
                // Back off while the ring is full, as a real source is paced.
                while (!engine->TryPush({RequestType::KeyNote, p, i, 1}))
                    std::this_thread::yield();
            }
        });
    for (auto& t : producers)
        t.join();
    ASSERT_TRUE(seen.WaitFor(kProducers * kEach, 60s));
    EXPECT_EQ(seen.Count(), size_t(kProducers) * kEach);
    std::vector<int> next(kProducers, 0);
    for (const OutputRequest& r : seen.requests) {
        ASSERT_EQ(r.b, next[r.a]) << "producer " << r.a;
        ++next[r.a];
    }
}

TEST_F(Engine, CouplerMatrixStartsWithTheUnisonOnTheDiagonal)
{
    EXPECT_EQ(engine->DivisionCount(), 6);
    for (int s = 0; s < 6; ++s)
        for (int t = 0; t < 6; ++t) {
            auto& list = engine->Couplers(s, t);
            if (s != t) {
                EXPECT_TRUE(list.empty());
                continue;
            }
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(list[0]->stop, s == 0 ? 34 : -1);
            EXPECT_EQ(list[0]->transposition, 0);
        }
    EXPECT_EQ(engine->TrapsRank(), 9);
    EXPECT_EQ(engine->RankCount(), 18);
    EXPECT_EQ(engine->MinimumExpression(0), 0);
    EXPECT_EQ(engine->Rank(2).chamber, 1);
}

TEST(EngineTable, AConsoleRequestRoundTripsThroughTheEngine)
{
    // The console pushes through its output; the engine is that output.
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    OutputEngine engine(console, EngineParts{.startSynth = false});
    Seen seen;
    g_seen = &seen;
    engine.SetHandler(RequestType::RankStop, &Record);
    console.SetOutput(&engine);
    ASSERT_TRUE(engine.StartWorker());
    console.Division(4).SwitchStop(7, true, true); // Pedal Cello
    ASSERT_TRUE(seen.WaitFor(1));
    EXPECT_EQ(seen.requests[0].a, 4);
    EXPECT_EQ(seen.requests[0].b, 7);
    EXPECT_TRUE(engine.StopWorker(300, 10));
    g_seen = nullptr;
}

} // namespace

// Two sources hold one key (or one rank note) and both releases find the ring
// full: both must be kept, or the key stays counted as held and its pipes sound.
TEST_F(Engine, TwoReleasesOfOneKeyKeptUnderOverloadBothRelease)
{
    engine->SetHandler(RequestType::KeyNote, &OutputEngine::KeyHandler);
    engine->SetHandler(RequestType::RankNote, &OutputEngine::RankNoteHandler);
    int stop = 0;
    while (console.Division(0).Stop(stop).type != StopKind::RankStop)
        ++stop;
    engine->ActiveStops(0).push_back(static_cast<uint32_t>(stop));
    const OutputRequest filler{RequestType::Expression, 0, 64, 0};
    for (RequestType type : {RequestType::KeyNote, RequestType::RankNote}) {
        SCOPED_TRACE(static_cast<int>(type));
        for (int source = 0; source < 2; ++source)
            ASSERT_TRUE(engine->TryPush({type, 0, 60, 100}));
        while (engine->TryPush(filler)) {
        }
        for (int source = 0; source < 2; ++source)
            EXPECT_TRUE(engine->TryPush({type, 0, 60, 0})) << "kept";
        engine->HandlePending(); // as a render does: the kept releases run once the ring is empty
        EXPECT_TRUE(engine->HeldKeys(0).empty());
        for (int r = 0; r < engine->RankCount(); ++r)
            for (int n = 0; n < 128; ++n)
                EXPECT_EQ(engine->Rank(r).noteCounts[static_cast<size_t>(n)], 0) << "rank " << r << " note " << n;
    }
}

// The panic silences everything at once; a press still queued from before it
// must not sound afterwards, as nothing would ever release it.
TEST_F(Engine, NotesQueuedBeforeAllNotesOffAreDropped)
{
    engine->SetHandler(RequestType::KeyNote, &OutputEngine::KeyHandler);
    engine->SetHandler(RequestType::RankNote, &OutputEngine::RankNoteHandler);
    int stop = 0;
    while (console.Division(0).Stop(stop).type != StopKind::RankStop)
        ++stop;
    engine->ActiveStops(0).push_back(static_cast<uint32_t>(stop));
    auto sounding = [&] {
        int notes = 0;
        for (int r = 0; r < engine->RankCount(); ++r)
            for (int n = 0; n < 128; ++n)
                notes += engine->Rank(r).noteCounts[static_cast<size_t>(n)];
        return notes;
    };

    ASSERT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 60, 100}));
    ASSERT_TRUE(engine->TryPush({RequestType::RankNote, 1, 62, 100}));
    ASSERT_TRUE(engine->TryPush({RequestType::Expression, 0, 90, 0}));
    engine->AllNotesOff();
    engine->HandlePending();
    EXPECT_TRUE(engine->HeldKeys(0).empty());
    EXPECT_EQ(sounding(), 0);
    ASSERT_EQ(seen.Count(), 1u) << "the shoe's move is kept";

    ASSERT_TRUE(engine->TryPush({RequestType::KeyNote, 0, 60, 100}));
    engine->HandlePending();
    EXPECT_FALSE(engine->HeldKeys(0).empty()) << "a key pressed after the panic sounds";
    EXPECT_GT(sounding(), 0);
}
