#pragma once
// The whole organ as the benchmarks play it: the console with every stop,
// coupler and tremulant drawn, the MIDI input worker, the output engine with
// FluidSynth (no audio driver), and a probe that stamps every rank note-on.

#include "engine/OutputEngine.h"
#include "midi_in/MidiInput.h"
#include "organ/Console.h"
#include "platform/MidiSystem.h"
#include "platform/UserMessages.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace corvinta::bench {

using Clock = std::chrono::steady_clock;

// The organ's own sound font from this build, at the bank offset of the
// organ's default entry; CORVINTA_BENCH_FONT=path plays another font (the
// General MIDI one Debian ships, say) at the same offset.
const char* BenchFont();
inline constexpr int kBenchFontBankOffset = 25;

class QuietMessages final : public IUserMessages {
public:
    MessageAnswer Show(const UserMessage& m) override { return m.unattendedAnswer; }
};

// No MIDI inputs (the benchmarks push into the input ring themselves) and
// one output that takes every message and does nothing with it.
class NoMidi final : public IMidiSystem {
public:
    std::string ApiName() const override { return "none"; }
    const std::vector<std::string>& OutputNames() const override { return outputs_; }
    const std::vector<std::string>& InputNames() const override { return none_; }
    std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned, std::string&) override { return std::make_unique<Port>(); }
    std::unique_ptr<IMidiInputPort> OpenInput(unsigned, MidiInputCallback, void*, std::string& error) override
    {
        error = "none";
        return nullptr;
    }

private:
    struct Port final : IMidiOutputPort {
        void Send(uint32_t) override {}
        void Reset() override {}
        bool Close(std::string&) override { return true; }
    };
    std::vector<std::string> outputs_{"null out"};
    std::vector<std::string> none_;
};

// Stamps each note-on a rank sends into a preallocated ring of stamps; the
// output worker is the only writer, so a counter published with release will do.
class NoteOnProbe final : public IRankSendObserver {
public:
    static constexpr size_t kCapacity = 1 << 16;

    void RankSent(int, int, uint32_t message) override
    {
        if ((message & 0xF0) != 0x90 || ((message >> 16) & 0x7F) == 0) {
            others_.fetch_add(1, std::memory_order_release);
            return;
        }
        const size_t n = count_.load(std::memory_order_relaxed);
        stamps_[n % kCapacity] = Clock::now();
        count_.store(n + 1, std::memory_order_release);
    }

    size_t NoteOns() const { return count_.load(std::memory_order_acquire); }
    size_t Others() const { return others_.load(std::memory_order_acquire); }
    Clock::time_point Stamp(size_t i) const { return stamps_[i % kCapacity]; }

private:
    std::array<Clock::time_point, kCapacity> stamps_{};
    std::atomic<size_t> count_{0};
    std::atomic<size_t> others_{0};
};

// Where the ranks sound: FluidSynth as configured by default, or every rank
// on an external MIDI port that costs nothing (the organ's own share).
enum class RankOutput { Synth, MidiPort };

struct FullOrganOptions {
    // false: nothing runs on other threads; the caller drives the console
    // and drains the engine itself (for instruction counts).
    bool workers = true;
    RankOutput output = RankOutput::Synth;
    int polyphony = 0; // 0: the organ's default
};

struct FullOrgan {
    explicit FullOrgan(FullOrganOptions options = {});
    ~FullOrgan();

    // Waits until the engine has handled everything pushed so far.
    void Settle();
    // Only without workers: the console takes the chord's eleven key events
    // and the engine handles every request they made, all on this thread.
    void PlayChordHere(uint8_t velocity);
    // Cuts every synthesizer voice and renders one block, as a running audio
    // driver would let the releases end: FluidSynth frees a cut voice only
    // when it renders, so without this each chord would find the last one's
    // voices still taking slots and steal. Only while the engine is idle.
    void Silence();

    QuietMessages messages;
    NoMidi midi;
    NoteOnProbe probe;
    std::unique_ptr<CConsole> console;
    std::unique_ptr<MidiInput> input;
    std::unique_ptr<OutputEngine> engine;
    bool workers;
};

// Keys the benchmarks play from a device: channel 1 the Solo, 2 the
// Accompaniment, 3 the Pedal.
inline constexpr uint32_t kDevice = 0;
inline constexpr uint8_t kSoloChord[] = {60, 64, 67, 72, 76};
inline constexpr uint8_t kAccompChord[] = {48, 52, 55, 58, 60};
inline constexpr uint8_t kPedalNote = 36;

inline uint32_t NoteMessage(int channel, uint8_t note, uint8_t velocity)
{
    return uint32_t(0x90 | channel) | uint32_t(note) << 8 | uint32_t(velocity) << 16;
}

// Calls push(message) for each of the chord's eleven keys.
template <class Push>
void PlayChord(Push push, uint8_t velocity)
{
    for (uint8_t n : kSoloChord)
        push(NoteMessage(0, n, velocity));
    for (uint8_t n : kAccompChord)
        push(NoteMessage(1, n, velocity));
    push(NoteMessage(2, kPedalNote, velocity));
}

} // namespace corvinta::bench
