#pragma once
// The MIDI file player's logic, behind the console's player panel.
//
// FluidSynth's file player reads the file and hands every event to our
// callback, which pushes it into the console's MIDI input queue: a played
// file drives the organ exactly as a keyboard does, and the organ's own
// voicing makes the sound. The FluidSynth player runs on a small synthesizer
// of its own with 16 channels and no sound font, used only as its clock; it
// never sounds and never touches the organ's synthesizer.
//
// Clock: the player always runs on FluidSynth's sample timer, so it only
// moves while the clock synthesizer renders. With PlayerTiming::System a
// clock thread of ours renders it up to the wall-clock time every 4 ms, with
// or without a sound card. With PlayerTiming::Sample only AdvanceClock
// renders it, which an offline renderer calls once per block it renders so
// that the file and the audio keep step. (FluidSynth's own system timer
// cannot be used: deleting a player frees its tracks while that timer's
// thread may still be reading them.)
//
// The panel calls the commands and polls the state queries; Changed (if set)
// tells it when to look again, from whichever thread made the change.
// Commands run on the user-interface thread; PlayerTick runs on the player's
// one-second timer; SetTempo may come from any thread.
//
// Order of life: construct after the console, its input and the engine (and
// the RecorderControl the links name); BuildPlayerPanel; PlayStartupFile once
// the console takes input. At close, StopPlayer(true) and StopRecordingNoSave
// before the input is stopped, then destroy the player before the recorder
// control, the console and the engine (a player destroyed while playing
// pauses and resumes console input through its links).

#include "platform/PeriodicTimer.h"
#include "platform/UserMessages.h"
#include "synth/FluidHandles.h"
#include "synth/RecordingControl.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

typedef struct _fluid_midi_event_t fluid_midi_event_t;

namespace corvinta {

// The panel's controls.
inline constexpr int kPlayerLoadButton = 1317;
inline constexpr int kPlayerPlayButton = 1318;
inline constexpr int kPlayerLoopButton = 1319;
inline constexpr int kPlayerRecordButton = 1320;
inline constexpr int kPlayerTempoSlider = 1324;
inline constexpr int kPlayerElapsedDisplay = 1325;

inline constexpr int kMinTempo = 50;
inline constexpr int kMaxTempo = 200;
inline constexpr const char* kStartupMidiFile = "Console Up.mid";
// For the panel's file dialogs.
inline constexpr const char* kMidiFileFilter = "MIDI Files (*.mid)|*.mid|All Files (*.*)|*.*||";
inline constexpr const char* kMidiFileExtension = "mid";

// The file dialogs the Load, Play and Record buttons open. Without one the
// dialogs count as cancelled.
class IPlayerDialogs {
public:
    virtual ~IPlayerDialogs() = default;
    // Open-file dialog; true with the chosen path when confirmed.
    virtual bool ChooseFileToPlay(std::string& path) = 0;
    // Save-file dialog for a recording; true with the chosen path when confirmed.
    virtual bool ChooseFileToRecord(std::string& path) = 0;
};

enum class PlayerTiming { System, Sample };

struct PlayerLinks {
    // Into the console's input queue (MidiInput::Push); called on the clock
    // thread (or the renderer's) inside a RoomWait, so a full queue delays the file rather
    // than losing its events; the wait ends when the player stops.
    std::function<bool(uint32_t message, uint32_t source)> push;
    // Drops what this player queued that the console has not taken yet
    // (MidiInput::DiscardFileEvents); called when a file is stopped, before
    // the input pause.
    std::function<void()> discardQueued;
    // Pauses and resumes console input: all notes off, held keys cleared,
    // then input runs again (CConsole::Panic).
    std::function<void()> pauseResumeInput;
    IRecordingControl* recording = nullptr; // null: the Record button does nothing
    IPlayerDialogs* dialogs = nullptr;
    // The panel's state changed; from any thread, must not call back into the player.
    std::function<void()> changed;
};

struct PlayerOptions {
    PlayerTiming timing = PlayerTiming::System;
    double sampleRate = 44100.0; // of the clock synthesizer (Sample timing)
    std::chrono::milliseconds tickPeriod{1000};
};

class MidiFilePlayer {
public:
    MidiFilePlayer(IUserMessages& messages, PlayerLinks links, PlayerOptions options = {});
    // Stops a file that is playing (all notes off through the input pause).
    ~MidiFilePlayer();
    MidiFilePlayer(const MidiFilePlayer&) = delete;
    MidiFilePlayer& operator=(const MidiFilePlayer&) = delete;

    // Makes the clock synthesizer; tempo 100. On failure says "Cannot
    // initialize MIDI player" and returns false; the player then stays empty.
    bool BuildPlayerPanel();

    // The panel's buttons.
    void PlayerCommand(int controlId);
    // Load button: the open-file dialog, then LoadMidiFile(path).
    bool LoadMidiFile();
    // Keeps path as the file to play; false (nothing changes) when it is not a MIDI file.
    bool LoadMidiFile(const std::string& path);
    // Only when loaded and not playing. withTimer starts the one-second tick
    // and presses Play. False when the player or its timer could not be made.
    bool StartPlayer(bool withTimer);
    // Only when playing: stops the file and its tick, then pauses and resumes
    // console input (all notes off). resetDisplay also sets the time to 0 and
    // releases Play.
    bool StopPlayer(bool resetDisplay, bool fromTimer = false);
    // From the slider and from MIDI controls assigned to the tempo; any thread.
    void SetTempo(int sliderValue);
    void SetLoop(bool on);
    // Plays the start-up piece ("Console Up.mid" from the current folder
    // unless another path is given) when it exists; true when it does not
    // exist or started.
    bool PlayStartupFile(const std::string& path = kStartupMidiFile);
    // Ends a take without saving and releases the Record button.
    void StopRecordingNoSave();

    // Once a tick period while playing; public so tests can step it.
    void PlayerTick();
    // Renders frames of the clock synthesizer (Sample timing only).
    void AdvanceClock(int frames);

    // State for the panel.
    bool Loaded() const { return loaded_.load(); }
    bool Playing() const { return playing_.load(); }
    bool Loop() const { return loop_.load(); }
    bool PlayButtonDown() const { return playDown_.load(); }
    bool RecordButtonDown() const { return recordDown_.load(); }
    int Tempo() const { return tempo_.load(); }
    std::string TempoText() const;
    int Elapsed() const { return elapsed_.load(); }
    // Position in the music, "mm:ss": elapsed seconds scaled by the tempo.
    std::string ElapsedText() const;
    std::string FileTitle() const;
    std::string FilePath() const;
    // Delta-time factor handed to FluidSynth: tempo / 100 (2.0 plays twice as fast).
    double FluidTempo() const { return Tempo() / 100.0; }
    // The FluidSynth player is still running the file.
    bool FluidPlaying() const;
    // Events handed to the input queue that it refused: only when the player
    // stopped while waiting for room, or the queue has no worker to make any.
    uint64_t DroppedEvents() const { return dropped_.load(); }

private:
    static int EventCallback(void* data, fluid_midi_event_t* event);
    bool StartLocked(bool withTimer);
    void DeletePlayerLocked();
    bool StartTimer();
    // PlayerTiming::System: starts the clock thread unless it runs.
    bool StartClock();
    // The clock thread's tick: renders the clock synthesizer up to now.
    void RunClock();
    void RenderClockLocked(int frames);
    void Notify();
    void Warn(const char* text, const char* caption);

    IUserMessages& messages_;
    PlayerLinks links_;
    PlayerOptions options_;

    mutable std::mutex mutex_; // commands and the tick; never held across a call to the console
    // Held while the clock synthesizer renders (its callbacks push into the
    // console's queue) and while a player is made or deleted, which FluidSynth
    // requires not to overlap rendering. Taken after mutex_, never before it;
    // whoever takes it to delete a player sets stopping_ first, so a clock
    // waiting for room in the queue lets go.
    std::mutex clockMutex_;
    FluidSettingsHandle settings_;
    FluidSynthHandle clock_;
    FluidPlayerHandle player_;
    std::string path_;
    std::string title_;
    PeriodicTimer timer_;
    PeriodicTimer clockTimer_; // PlayerTiming::System: renders the clock every 4 ms while playing
    std::chrono::steady_clock::time_point clockStart_;
    int64_t clockFrames_ = 0; // frames rendered since clockStart_
    std::vector<float> scratch_;

    std::atomic<bool> loaded_{false};
    std::atomic<bool> playing_{false};
    std::atomic<bool> loop_{false};
    std::atomic<bool> playDown_{false};
    std::atomic<bool> recordDown_{false};
    std::atomic<int> tempo_{100};
    std::atomic<int> elapsed_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<bool> stopping_{false}; // ends a wait for room in the input queue
};

} // namespace corvinta
