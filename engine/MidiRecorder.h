#pragma once
// Recording the console's performance as a Standard MIDI File.
//
// MidiRecorder keeps one track per MIDI channel. The output worker appends
// every console message to its channel's track (delta time in milliseconds,
// running status). It never allocates: a track that is half full is given a
// buffer twice its size in advance by PrepareGrowth, which runs on another
// thread, and the worker only swaps it in. A message that finds no room is
// dropped and counted, never written past the end of a buffer.
//
// RecorderControl owns the recorder while a take exists and hands it to the
// engine and back under the engine's handler lock, so the worker is never
// inside a recorder that is being saved or destroyed.

#include "engine/MessageSink.h"
#include "platform/PeriodicTimer.h"
#include "platform/UserMessages.h"
#include "synth/RecordingControl.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace corvinta {

class OutputEngine;

inline constexpr const char* kRecorderErrorCaption = "Corvinta Error";

class MidiRecorder final : public IRecorderSink {
public:
    static constexpr int kTrackCount = 16;
    static constexpr size_t kInitialTrackBytes = 16384;

    // clock gives milliseconds; empty for the system tick count.
    explicit MidiRecorder(std::function<uint32_t()> clock = {});
    ~MidiRecorder() override;
    MidiRecorder(const MidiRecorder&) = delete;
    MidiRecorder& operator=(const MidiRecorder&) = delete;

    // The worker's entry: the track is the message's channel.
    void Record(uint32_t shortMessage) override { RecordMessage(static_cast<int>(shortMessage & 0x0F), shortMessage); }
    void RecordMessage(int track, uint32_t shortMessage);

    // Off the worker: frees buffers the worker has let go and gives every
    // track that is at least half full its next, doubled buffer.
    void PrepareGrowth();

    // The whole file: header, conductor track and the 16 channel tracks.
    // Only once the worker no longer records into this recorder.
    std::vector<uint8_t> FileBytes() const;
    // Writes FileBytes to path. A file that cannot be opened or written is
    // reported and false returned; nothing is written to a file not opened.
    bool WriteMidiFile(const std::string& path, IUserMessages& messages) const;

    size_t TrackLength(int track) const { return tracks_[static_cast<size_t>(track)].used.load(); }
    size_t TrackCapacity(int track) const { return tracks_[static_cast<size_t>(track)].capacity.load(); }
    int GrowthSteps(int track) const { return tracks_[static_cast<size_t>(track)].growthSteps; }
    uint64_t DroppedMessages() const { return dropped_.load(); }

private:
    struct Buffer {
        explicit Buffer(size_t size) : bytes(new uint8_t[size]), capacity(size) {}
        std::unique_ptr<uint8_t[]> bytes;
        size_t capacity;
    };
    struct Track {
        std::unique_ptr<Buffer> buffer;        // the worker's
        std::atomic<Buffer*> spare{nullptr};   // made by PrepareGrowth, taken by the worker
        std::atomic<Buffer*> retired{nullptr}; // let go by the worker, freed by PrepareGrowth
        std::atomic<size_t> used{0};
        std::atomic<size_t> capacity{0};
        int growthSteps = 0;
        uint8_t runningStatus = 0;
        std::string name;
        uint32_t lastEventTime = 0;
    };

    uint32_t Now() const { return clock_ ? clock_() : SystemNow(); }
    static uint32_t SystemNow();

    std::function<uint32_t()> clock_;
    std::array<Track, kTrackCount> tracks_;
    int trackCount_ = kTrackCount;
    uint32_t startTime_ = 0;
    std::atomic<uint64_t> dropped_{0};
};

// The recorder's owner on the user-interface side.
class RecorderControl final : public IRecordingControl {
public:
    RecorderControl(OutputEngine& engine, IUserMessages& messages, std::function<uint32_t()> clock = {});
    // Discards a take still present; must run before the engine is destroyed.
    ~RecorderControl() override;
    RecorderControl(const RecorderControl&) = delete;
    RecorderControl& operator=(const RecorderControl&) = delete;

    void StartRecording() override;
    void ClearRecordingFlag() override;
    bool StopRecording(const std::string& path, bool save) override;
    bool HasRecorder() const override;

    // The take in progress, for tests and diagnostics; null when none.
    const MidiRecorder* Recorder() const { return recorder_.get(); }

private:
    void Discard();

    OutputEngine& engine_;
    IUserMessages& messages_;
    std::function<uint32_t()> clock_;
    mutable std::mutex mutex_; // guards recorder_ against the growth timer
    std::unique_ptr<MidiRecorder> recorder_;
    PeriodicTimer growth_;
};

} // namespace corvinta
