#include "MidiFilePlayer.h"

#include "organ/DeviceId.h"
#include "platform/RoomWait.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace corvinta {

namespace {

constexpr const char* kPlayerCaption = "Midi Player error";
constexpr int kClockBlock = 64; // frames FluidSynth renders at a time
constexpr std::chrono::milliseconds kClockPeriod{4};

} // namespace

MidiFilePlayer::MidiFilePlayer(IUserMessages& messages, PlayerLinks links, PlayerOptions options)
    : messages_(messages), links_(std::move(links)), options_(options)
{
}

MidiFilePlayer::~MidiFilePlayer()
{
    if (Playing())
        StopPlayer(true);
    timer_.Stop();
    clockTimer_.Stop();
    std::lock_guard lock(mutex_);
    DeletePlayerLocked();
    clock_.reset();
    settings_.reset();
}

bool MidiFilePlayer::BuildPlayerPanel()
{
    tempo_ = 100;
    {
        std::lock_guard lock(mutex_);
        if (clock_)
            return true;
        settings_.reset(new_fluid_settings());
        if (fluid_settings_t* s = settings_.get()) {
            // A silent clock: 16 channels, no sound font, no effects. The end
            // of a file must not reset anything.
            fluid_settings_setint(s, "synth.midi-channels", 16);
            fluid_settings_setint(s, "synth.polyphony", 16);
            fluid_settings_setint(s, "synth.reverb.active", 0);
            fluid_settings_setint(s, "synth.chorus.active", 0);
            fluid_settings_setnum(s, "synth.sample-rate", options_.sampleRate);
            fluid_settings_setint(s, "player.reset-synth", 0);
            fluid_settings_setstr(s, "player.timing-source", "sample");
            clock_.reset(new_fluid_synth(s));
        }
        if (!clock_)
            settings_.reset();
    }
    if (!clock_) {
        Warn("Cannot initialize MIDI player", "MIDI player error");
        return false;
    }
    Notify();
    return true;
}

bool MidiFilePlayer::LoadMidiFile()
{
    std::string path;
    if (!links_.dialogs || !links_.dialogs->ChooseFileToPlay(path))
        return true; // cancelled: nothing changes
    return LoadMidiFile(path);
}

bool MidiFilePlayer::LoadMidiFile(const std::string& path)
{
    if (!fluid_is_midifile(path.c_str()))
        return false;
    {
        std::lock_guard lock(mutex_);
        path_ = path;
        title_ = std::filesystem::path(path).stem().string();
    }
    elapsed_ = 0;
    loaded_ = true;
    Notify();
    return true;
}

bool MidiFilePlayer::StartPlayer(bool withTimer)
{
    if (!loaded_ || playing_)
        return true;
    // Collects timers that ended themselves at the end of a file; outside the
    // lock, which their last tick may still be waiting for.
    timer_.Stop();
    clockTimer_.Stop();
    bool started;
    {
        std::lock_guard lock(mutex_);
        if (!loaded_ || playing_)
            return true;
        started = StartLocked(withTimer);
    }
    Notify();
    return started;
}

bool MidiFilePlayer::StartLocked(bool withTimer)
{
    DeletePlayerLocked();
    if (!clock_)
        return false;
    {
        std::lock_guard clock(clockMutex_);
        player_.reset(new_fluid_player(clock_.get()));
        if (!player_)
            return false;
        fluid_player_add(player_.get(), path_.c_str());
        stopping_ = false;
        fluid_player_set_playback_callback(player_.get(), &EventCallback, this);
    }
    playing_ = true;
    if (!StartClock()) {
        DeletePlayerLocked();
        playing_ = false;
        return false;
    }
    if (withTimer) {
        if (!StartTimer()) {
            DeletePlayerLocked();
            playing_ = false;
            return false;
        }
        playDown_ = true;
    }
    std::lock_guard clock(clockMutex_);
    fluid_player_set_tempo(player_.get(), FLUID_PLAYER_TEMPO_INTERNAL, Tempo() / 100.0);
    fluid_player_play(player_.get());
    return true;
}

bool MidiFilePlayer::StartTimer()
{
    return timer_.Start(options_.tickPeriod, [this] {
        PlayerTick();
        return Playing();
    });
}

bool MidiFilePlayer::StartClock()
{
    if (options_.timing != PlayerTiming::System || clockTimer_.Running())
        return true;
    {
        std::lock_guard clock(clockMutex_);
        clockStart_ = std::chrono::steady_clock::now();
        clockFrames_ = 0;
    }
    return clockTimer_.Start(kClockPeriod, [this] {
        RunClock();
        return Playing();
    });
}

void MidiFilePlayer::RunClock()
{
    std::lock_guard clock(clockMutex_);
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - clockStart_;
    const auto due = static_cast<int64_t>(since.count() * options_.sampleRate);
    // After a stall the file jumps ahead rather than rushing through what it missed.
    const auto most = static_cast<int64_t>(options_.sampleRate);
    const int64_t frames = std::min(due - clockFrames_, most);
    if (frames > 0)
        RenderClockLocked(static_cast<int>(frames));
    clockFrames_ = std::max(clockFrames_ + std::max<int64_t>(frames, 0), due - most);
}

bool MidiFilePlayer::StopPlayer(bool resetDisplay, bool fromTimer)
{
    if (!loaded_ || !playing_)
        return true;
    stopping_ = true; // a clock waiting for room in the queue lets go of its lock
    {
        std::lock_guard lock(mutex_);
        if (!loaded_ || !playing_)
            return true;
        DeletePlayerLocked();
        playing_ = false;
        if (resetDisplay) {
            elapsed_ = 0;
            playDown_ = false;
        }
    }
    if (!fromTimer)
        timer_.Stop();
    clockTimer_.Stop();
    Notify();
    if (links_.discardQueued)
        links_.discardQueued();
    if (links_.pauseResumeInput)
        links_.pauseResumeInput();
    return true;
}

void MidiFilePlayer::DeletePlayerLocked()
{
    if (!player_)
        return;
    stopping_ = true; // a callback waiting for room gives up, so the clock lets go
    std::lock_guard clock(clockMutex_);
    fluid_player_stop(player_.get());
    player_.reset(); // not rendering now: no event of this player reaches the queue afterwards
}

void MidiFilePlayer::PlayerTick()
{
    bool restart = false;
    {
        std::lock_guard lock(mutex_);
        if (!playing_)
            return;
        ++elapsed_;
        if (player_ && fluid_player_get_status(player_.get()) == FLUID_PLAYER_PLAYING) {
            // fall through to Notify
        } else if (!loop_) {
            DeletePlayerLocked();
            playing_ = false;
            elapsed_ = 0;
            playDown_ = false;
        } else {
            DeletePlayerLocked();
            restart = true;
        }
    }
    Notify();
    if (!restart && Playing())
        return;
    if (links_.pauseResumeInput)
        links_.pauseResumeInput();
    if (restart) {
        std::lock_guard lock(mutex_);
        if (playing_ && !player_ && !StartLocked(false))
            playing_ = false;
    }
    if (!Playing()) {
        playDown_ = false;
        Notify();
    }
}

void MidiFilePlayer::AdvanceClock(int frames)
{
    std::lock_guard clock(clockMutex_);
    RenderClockLocked(frames);
}

void MidiFilePlayer::RenderClockLocked(int frames)
{
    if (!clock_ || frames <= 0)
        return;
    if (scratch_.size() < 2 * kClockBlock)
        scratch_.resize(2 * kClockBlock);
    while (frames > 0) {
        const int n = frames < kClockBlock ? frames : kClockBlock;
        fluid_synth_write_float(clock_.get(), n, scratch_.data(), 0, 1, scratch_.data() + kClockBlock, 0, 1);
        frames -= n;
    }
}

void MidiFilePlayer::SetTempo(int sliderValue)
{
    if (sliderValue < kMinTempo)
        sliderValue = kMinTempo;
    if (sliderValue > kMaxTempo)
        sliderValue = kMaxTempo;
    tempo_ = ((sliderValue + 1) / 2) * 2;
    {
        std::lock_guard lock(mutex_);
        if (player_)
            fluid_player_set_tempo(player_.get(), FLUID_PLAYER_TEMPO_INTERNAL, Tempo() / 100.0);
    }
    Notify();
}

void MidiFilePlayer::SetLoop(bool on)
{
    loop_ = on;
    Notify();
}

void MidiFilePlayer::PlayerCommand(int controlId)
{
    switch (controlId) {
    case kPlayerLoadButton:
        if (!LoadMidiFile())
            Warn("Cannot load MIDI File!", kPlayerCaption);
        break;
    case kPlayerPlayButton:
        if (!Loaded()) {
            if (!LoadMidiFile())
                Warn("Cannot load MIDI File!", kPlayerCaption);
            playDown_ = false;
            recordDown_ = links_.recording && links_.recording->HasRecorder();
        }
        if (!Playing()) {
            if (Loaded() && !StartPlayer(true))
                Warn("Cannot initialize MIDI Player!", kPlayerCaption);
        } else {
            StopPlayer(true, false);
        }
        break;
    case kPlayerLoopButton:
        SetLoop(!Loop());
        break;
    case kPlayerRecordButton:
        if (!links_.recording)
            break;
        if (links_.recording->HasRecorder()) {
            links_.recording->ClearRecordingFlag();
            std::string path;
            if (links_.dialogs && links_.dialogs->ChooseFileToRecord(path))
                links_.recording->StopRecording(path, true);
            else
                links_.recording->StopRecording({}, false);
            recordDown_ = false;
        } else {
            links_.recording->StartRecording();
            recordDown_ = true;
        }
        break;
    default:
        return;
    }
    Notify();
}

bool MidiFilePlayer::PlayStartupFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return true;
    if (!LoadMidiFile(path)) {
        Warn("Cannot load MIDI File!", kPlayerCaption);
        return false;
    }
    playDown_ = false;
    recordDown_ = links_.recording && links_.recording->HasRecorder();
    if (!StartPlayer(true)) {
        Warn("Cannot initialize MIDI Player!", kPlayerCaption);
        return false;
    }
    return true;
}

void MidiFilePlayer::StopRecordingNoSave()
{
    if (links_.recording) {
        links_.recording->ClearRecordingFlag();
        links_.recording->StopRecording({}, false);
    }
    recordDown_ = false;
    Notify();
}

std::string MidiFilePlayer::TempoText() const
{
    return std::to_string(Tempo());
}

std::string MidiFilePlayer::ElapsedText() const
{
    const unsigned seconds = static_cast<unsigned>(Tempo() * Elapsed()) / 100u;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u", (seconds / 60) % 100000u, seconds % 60);
    return text;
}

std::string MidiFilePlayer::FileTitle() const
{
    std::lock_guard lock(mutex_);
    return title_;
}

std::string MidiFilePlayer::FilePath() const
{
    std::lock_guard lock(mutex_);
    return path_;
}

bool MidiFilePlayer::FluidPlaying() const
{
    std::lock_guard lock(mutex_);
    return player_ && fluid_player_get_status(player_.get()) == FLUID_PLAYER_PLAYING;
}

int MidiFilePlayer::EventCallback(void* data, fluid_midi_event_t* event)
{
    auto* self = static_cast<MidiFilePlayer*>(data);
    const int type = fluid_midi_event_get_type(event);
    if (type < 0x80 || type > 0xE0)
        return FLUID_OK; // system and meta events do not reach the console
    const auto channel = static_cast<uint32_t>(fluid_midi_event_get_channel(event)) & 0x0F;
    uint32_t data1;
    uint32_t data2;
    if (type == 0xE0) { // FluidSynth keeps the bend as one 14-bit value
        const auto bend = static_cast<uint32_t>(fluid_midi_event_get_pitch(event));
        data1 = bend & 0x7F;
        data2 = (bend >> 7) & 0x7F;
    } else {
        data1 = static_cast<uint32_t>(fluid_midi_event_get_control(event)) & 0x7F;
        data2 = static_cast<uint32_t>(fluid_midi_event_get_value(event)) & 0x7F;
    }
    const uint32_t message = (static_cast<uint32_t>(type) | channel) | data1 << 8 | data2 << 16;
    const uint32_t source = InternalSource(channel);
    RoomWait wait(self->stopping_);
    if (!self->links_.push || !self->links_.push(message, source))
        self->dropped_.fetch_add(1, std::memory_order_relaxed);
    return FLUID_OK;
}

void MidiFilePlayer::Notify()
{
    if (links_.changed)
        links_.changed();
}

void MidiFilePlayer::Warn(const char* text, const char* caption)
{
    ShowWarning(messages_, text, caption);
}

} // namespace corvinta
