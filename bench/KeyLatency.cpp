// Key latency through the whole organ with everything drawn: from the input
// callback's push to the synthesizer call for the chord's last rank note,
// through the input ring, the event processor, the output ring and the rank
// handlers. Also how many key events a second the organ takes without either
// ring overflowing.

#include "bench/BenchOrgan.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace corvinta;
using namespace corvinta::bench;

namespace {

// One organ at a time: each benchmark builds its own and ends the last one's
// workers first, so no idle organ's threads share the two cores.
FullOrgan& Organ(RankOutput output)
{
    static std::unique_ptr<FullOrgan> organ;
    static RankOutput built = RankOutput::Synth;
    if (!organ || built != output) {
        organ.reset();
        organ = std::make_unique<FullOrgan>(FullOrganOptions{.output = output});
        built = output;
    }
    return *organ;
}

RankOutput OutputOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? RankOutput::Synth : RankOutput::MidiPort;
}

// range(1) of a latency benchmark: the whole chord, or its pedal note alone.
bool WholeChord(const benchmark::State& state)
{
    return state.range(1) != 0;
}

void PushChord(FullOrgan& organ, uint8_t velocity, bool whole = true)
{
    if (whole)
        PlayChord([&](uint32_t m) { organ.input->Push(m, kDevice); }, velocity);
    else
        organ.input->Push(NoteMessage(2, kPedalNote, velocity), kDevice);
}

// How many rank note-ons one chord sounds with the full organ.
size_t RankNotesPerChord(FullOrgan& organ, bool whole = true)
{
    const size_t before = organ.probe.NoteOns();
    PushChord(organ, 100, whole);
    organ.Settle();
    const size_t n = organ.probe.NoteOns() - before;
    PushChord(organ, 0, whole);
    organ.Settle();
    organ.Silence();
    return n;
}

// Rank notes the engine still counts as held; read once the organ has settled.
uint64_t PipesCountedAsHeld(FullOrgan& organ)
{
    uint64_t held = 0;
    for (int r = 0; r < organ.engine->RankCount(); ++r)
        for (int8_t count : organ.engine->Rank(r).noteCounts)
            held += count > 0;
    return held;
}

double Percentile(std::vector<double>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    const size_t i = std::min(sorted.size() - 1, static_cast<size_t>(p * static_cast<double>(sorted.size())));
    return sorted[i];
}

void BM_ChordLatency(benchmark::State& state)
{
    FullOrgan& organ = Organ(OutputOf(state));
    const bool whole = WholeChord(state);
    const size_t perChord = RankNotesPerChord(organ, whole);
    std::vector<double> samples;
    samples.reserve(100000);
    std::vector<double> firsts; // the chord's first rank note: what the hand-offs alone cost
    firsts.reserve(100000);
    const uint64_t droppedBefore = organ.input->DroppedEvents() + organ.engine->DroppedRequests();
    for (auto _ : state) {
        const size_t last = organ.probe.NoteOns() + perChord - 1;
        const Clock::time_point start = Clock::now();
        PushChord(organ, 100, whole);
        const Clock::time_point deadline = start + std::chrono::seconds(2);
        // Sleep while waiting, and long: the stamp, not this thread, marks
        // when the last note left, and on two cores every wake-up of this
        // thread would take a core from a worker in the middle of the chord.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        while (organ.probe.NoteOns() <= last && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (organ.probe.NoteOns() <= last) {
            state.SkipWithError("the chord did not sound in 2 s");
            break;
        }
        const double us = std::chrono::duration<double, std::micro>(organ.probe.Stamp(last) - start).count();
        samples.push_back(us);
        firsts.push_back(std::chrono::duration<double, std::micro>(organ.probe.Stamp(last + 1 - perChord) - start).count());
        state.SetIterationTime(us / 1e6);
        PushChord(organ, 0, whole);
        organ.Settle();
        organ.Silence();
    }
    std::sort(samples.begin(), samples.end());
    state.counters["rank_notes"] = static_cast<double>(perChord);
    state.counters["p50_us"] = Percentile(samples, 0.50);
    state.counters["p99_us"] = Percentile(samples, 0.99);
    state.counters["max_us"] = samples.empty() ? 0 : samples.back();
    std::sort(firsts.begin(), firsts.end());
    state.counters["first_p50_us"] = Percentile(firsts, 0.50);
    state.counters["dropped"] =
        static_cast<double>(organ.input->DroppedEvents() + organ.engine->DroppedRequests() - droppedBefore);
}
// port 0: the ranks on FluidSynth; 1: on a MIDI port that costs nothing.
// chord 1: the ten keys and the pedal note; 0: the pedal note alone.
BENCHMARK(BM_ChordLatency)
    ->ArgNames({"port", "chord"})
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000);

// The organ's own work for the chord with no hand-off: the console takes
// the eleven key events and the engine handles every request they made, all
// on this thread, as offline rendering runs them. Set against the chord's
// latency it shows what the two thread wake-ups add.
void BM_ChordWork(benchmark::State& state)
{
    FullOrgan organ(FullOrganOptions{.workers = false, .output = OutputOf(state)});
    organ.PlayChordHere(100);
    organ.PlayChordHere(0);
    organ.Silence();
    std::vector<double> samples;
    samples.reserve(100000);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        organ.PlayChordHere(100);
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        samples.push_back(us);
        state.SetIterationTime(us / 1e6);
        organ.PlayChordHere(0);
        organ.Silence();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::sort(samples.begin(), samples.end());
    state.counters["p50_us"] = Percentile(samples, 0.50);
    state.counters["p99_us"] = Percentile(samples, 0.99);
}
BENCHMARK(BM_ChordWork)->ArgNames({"port"})->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

// Key events at a steady rate for one second, in bursts each millisecond as
// a busy USB keyboard delivers them, alternating the chord on and off.
void BM_SustainedKeyEvents(benchmark::State& state)
{
    FullOrgan& organ = Organ(OutputOf(state));
    const int rate = static_cast<int>(state.range(1));
    const int perMs = rate / 1000;
    uint64_t dropped = 0;
    uint64_t stuck = 0;
    uint64_t pushed = 0;
    double handledSeconds = 0;
    const size_t noteOnsBefore = organ.probe.NoteOns();
    for (auto _ : state) {
        const uint64_t before = organ.input->DroppedEvents() + organ.engine->DroppedRequests();
        size_t chordKey = 0;
        bool on = true;
        auto next = Clock::now();
        const auto start = next;
        for (int ms = 0; ms < 1000; ++ms) {
            for (int e = 0; e < perMs; ++e) {
                uint32_t messages[11];
                size_t n = 0;
                PlayChord([&](uint32_t m) { messages[n++] = m; }, on ? 100 : 0);
                organ.input->Push(messages[chordKey], kDevice);
                ++pushed;
                if (++chordKey == 11) {
                    chordKey = 0;
                    on = !on;
                }
            }
            next += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next);
        }
        // The organ has caught up when its ranks fall quiet; Settle waits
        // about 10 ms of quiet to be sure, which is taken off again.
        organ.Settle();
        handledSeconds += std::chrono::duration<double>(Clock::now() - start).count() - 0.010;
        organ.Silence();
        dropped += organ.input->DroppedEvents() + organ.engine->DroppedRequests() - before;
        // Leave every key up for the next round.
        PushChord(organ, 0);
        organ.Settle();
        stuck += PipesCountedAsHeld(organ);
    }
    state.counters["dropped"] = static_cast<double>(dropped);
    // With every key up, a pipe still counted as held would be a stuck note.
    state.counters["stuck_pipes"] = static_cast<double>(stuck);
    // Once a key's release is dropped its pipes stay counted as held and
    // later presses send nothing, so after the first drop the rate flatters
    // the organ; the rank note-ons show how much it really sounded.
    state.counters["rank_note_ons"] = static_cast<double>(organ.probe.NoteOns() - noteOnsBefore);
    state.counters["handled_events_per_s"] = static_cast<double>(pushed) / handledSeconds;
}
BENCHMARK(BM_SustainedKeyEvents)
    ->ArgNames({"port", "rate"})
    ->ArgsProduct({{0, 1}, {5000, 10000, 20000, 40000, 80000}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The floor under any latency above: one thread waking another through a
// condition variable after the pause between chords, as the input and
// output workers do. Two such hand-offs lie between a key and its pipes.
void BM_ThreadWakeFloor(benchmark::State& state)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool go = false, done = false;
    Clock::time_point sent, woke;
    std::atomic<int> wakes{0};
    std::thread waiter([&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return go || done; });
            if (done)
                return;
            go = false;
            woke = Clock::now();
            wakes.fetch_add(1);
        }
    });
    std::vector<double> samples;
    samples.reserve(10000);
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int before = wakes.load();
        {
            std::lock_guard lock(mutex);
            go = true;
            sent = Clock::now();
        }
        changed.notify_all();
        while (wakes.load() == before)
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        std::lock_guard lock(mutex);
        const double us = std::chrono::duration<double, std::micro>(woke - sent).count();
        samples.push_back(us);
        state.SetIterationTime(us / 1e6);
    }
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    changed.notify_all();
    waiter.join();
    std::sort(samples.begin(), samples.end());
    state.counters["p50_us"] = Percentile(samples, 0.50);
    state.counters["p99_us"] = Percentile(samples, 0.99);
}
BENCHMARK(BM_ThreadWakeFloor)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(500);

} // namespace

BENCHMARK_MAIN();
