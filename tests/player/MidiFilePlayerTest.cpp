// The file player: what reaches the input queue, its timing and tempo, the
// elapsed display, the end of a file with and without Loop, the buttons and
// the start-up file. Test files are written with the recorder.

#include "../TakeFile.h"
#include "../persist/TempDir.h"
#include "engine/MidiRecorder.h"
#include "platform/RecordingUserMessages.h"
#include "synth/MidiFilePlayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace corvinta;
using namespace std::chrono_literals;

namespace {

using test::TimedMessage;
using test::WriteTake;

// Stands in for the console's input queue and its pause.
struct Console {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<uint32_t, uint32_t>> pushed;
    int pauses = 0;

    PlayerLinks Links()
    {
        PlayerLinks links;
        links.push = [this](uint32_t message, uint32_t source) {
            {
                std::lock_guard lock(mutex);
                pushed.emplace_back(message, source);
            }
            changed.notify_all();
            return true;
        };
        links.pauseResumeInput = [this] {
            {
                std::lock_guard lock(mutex);
                ++pauses;
            }
            changed.notify_all();
        };
        return links;
    }
    template <class Pred>
    bool WaitFor(Pred pred, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, pred);
    }
    size_t Count()
    {
        std::lock_guard lock(mutex);
        return pushed.size();
    }
    int Pauses()
    {
        std::lock_guard lock(mutex);
        return pauses;
    }
};

const std::vector<TimedMessage> kShortTake = {
    {0, 0x00644090},   // channel 1 note on 64
    {0, 0x000507C3},   // channel 4 program 7... (0xC3 07)
    {50, 0x007F07B3},  // channel 4 controller 7 = 127
    {80, 0x00402AE0},  // channel 1 pitch bend, LSB 0x2A MSB 0x40
    {120, 0x00004090}, // note off as velocity 0
};

template <class Pred>
bool Eventually(Pred pred, std::chrono::milliseconds limit = 10s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

struct Player : ::testing::Test {
    test::TempDir dir;
    RecordingUserMessages messages;
    Console console;
};

} // namespace

TEST_F(Player, EveryChannelEventReachesTheInputQueueAsAKeyboardWould)
{
    const std::string file = WriteTake(dir.File("short.mid"), kShortTake);
    MidiFilePlayer player(messages, console.Links());
    ASSERT_TRUE(player.BuildPlayerPanel());
    ASSERT_TRUE(player.LoadMidiFile(file));
    EXPECT_EQ(player.FileTitle(), "short");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.StartPlayer(false));
    ASSERT_TRUE(console.WaitFor([&] { return console.pushed.size() >= kShortTake.size(); }));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 100ms); // the last event is 120 ms in

    // The program change keeps one data byte; the bend is rebuilt from FluidSynth's 14-bit value.
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {0x00644090, 0x0000FFFF}, {0x000007C3, 0x0003FFFF}, {0x007F07B3, 0x0003FFFF},
        {0x00402AE0, 0x0000FFFF}, {0x00004090, 0x0000FFFF},
    };
    std::lock_guard lock(console.mutex);
    EXPECT_EQ(console.pushed, expected);
}

// On sample time the file advances only as the clock synthesizer is rendered:
// an event one second in arrives after 44100 frames at tempo 100, half that at 200.
TEST_F(Player, TempoScalesPlaybackTime)
{
    const std::string file = WriteTake(dir.File("second.mid"), {{0, 0x00643C90}, {1000, 0x00003C90}});
    const struct {
        int slider;
        int tempo;
    } cases[] = {{100, 100}, {200, 200}, {51, 52}, {50, 50}};
    for (const auto& c : cases) {
        Console local;
        MidiFilePlayer player(messages, local.Links(), PlayerOptions{.timing = PlayerTiming::Sample});
        ASSERT_TRUE(player.BuildPlayerPanel());
        ASSERT_TRUE(player.LoadMidiFile(file));
        player.SetTempo(c.slider);
        EXPECT_EQ(player.Tempo(), c.tempo);
        ASSERT_TRUE(player.StartPlayer(false));
        long frames = 0;
        while (local.Count() < 2 && frames < 44100 * 3) {
            player.AdvanceClock(64);
            frames += 64;
        }
        const double expected = 44100.0 * 100.0 / c.tempo;
        EXPECT_NEAR(static_cast<double>(frames), expected, 128.0) << "tempo " << c.tempo;
        player.StopPlayer(true);
    }
}

TEST_F(Player, TempoKeepsEvenValuesInRange)
{
    MidiFilePlayer player(messages, console.Links());
    EXPECT_EQ(player.Tempo(), 100);
    const std::pair<int, int> cases[] = {{51, 52}, {52, 52}, {199, 200}, {200, 200}, {50, 50},
                                         {49, 50}, {10, 50},  {255, 200}};
    for (const auto& [slider, tempo] : cases) {
        player.SetTempo(slider);
        EXPECT_EQ(player.Tempo(), tempo) << slider;
        EXPECT_EQ(player.TempoText(), std::to_string(tempo));
    }
    EXPECT_DOUBLE_EQ(player.FluidTempo(), 2.0);
}

// The display shows the position in the music: ticks scaled by the tempo.
TEST_F(Player, ElapsedDisplayFollowsTheMusic)
{
    const std::string file = WriteTake(dir.File("long.mid"), {{0, 0x00643C90}, {3600000, 0x00003C90}});
    const struct {
        int tempo;
        int ticks;
        const char* text;
    } cases[] = {{200, 90, "03:00"}, {100, 61, "01:01"}, {52, 100, "00:52"}, {50, 3, "00:01"}};
    for (const auto& c : cases) {
        MidiFilePlayer player(messages, console.Links(), PlayerOptions{.timing = PlayerTiming::Sample});
        ASSERT_TRUE(player.BuildPlayerPanel());
        ASSERT_TRUE(player.LoadMidiFile(file));
        player.SetTempo(c.tempo);
        EXPECT_EQ(player.ElapsedText(), "00:00");
        ASSERT_TRUE(player.StartPlayer(false));
        for (int i = 0; i < c.ticks; ++i)
            player.PlayerTick();
        EXPECT_TRUE(player.Playing());
        EXPECT_EQ(player.ElapsedText(), c.text) << c.tempo;
    }
}

TEST_F(Player, EndOfFileWithLoopUpStopsAndResetsTheDisplay)
{
    const std::string file = WriteTake(dir.File("short.mid"), kShortTake);
    MidiFilePlayer player(messages, console.Links(), PlayerOptions{.tickPeriod = 100ms});
    ASSERT_TRUE(player.BuildPlayerPanel());
    ASSERT_TRUE(player.LoadMidiFile(file));
    player.PlayerCommand(kPlayerPlayButton);
    EXPECT_TRUE(player.Playing());
    EXPECT_TRUE(player.PlayButtonDown());
    ASSERT_TRUE(Eventually([&] { return !player.Playing(); }));
    EXPECT_FALSE(player.PlayButtonDown());
    EXPECT_EQ(player.Elapsed(), 0);
    EXPECT_EQ(player.ElapsedText(), "00:00");
    EXPECT_EQ(console.Count(), kShortTake.size());
    EXPECT_TRUE(Eventually([&] { return console.Pauses() == 1; }));
    EXPECT_TRUE(player.Loaded());

    // Play again after the end: the file starts from the top.
    player.PlayerCommand(kPlayerPlayButton);
    ASSERT_TRUE(console.WaitFor([&] { return console.pushed.size() >= 2 * kShortTake.size(); }));
    player.PlayerCommand(kPlayerPlayButton);
    EXPECT_FALSE(player.Playing());
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(Player, EndOfFileWithLoopDownRepeatsWithoutResettingTheTime)
{
    const std::string file = WriteTake(dir.File("short.mid"), kShortTake);
    MidiFilePlayer player(messages, console.Links(), PlayerOptions{.tickPeriod = 100ms});
    ASSERT_TRUE(player.BuildPlayerPanel());
    ASSERT_TRUE(player.LoadMidiFile(file));
    player.PlayerCommand(kPlayerLoopButton);
    EXPECT_TRUE(player.Loop());
    player.PlayerCommand(kPlayerPlayButton);
    ASSERT_TRUE(console.WaitFor([&] { return console.pushed.size() >= 2 * kShortTake.size(); }, 15s));
    EXPECT_TRUE(player.Playing());
    EXPECT_TRUE(player.PlayButtonDown());
    EXPECT_GE(player.Elapsed(), 2); // the repeat came after at least two seconds of ticks
    EXPECT_GE(console.Pauses(), 1); // all notes off between the repeats
    {
        std::lock_guard lock(console.mutex);
        for (size_t i = 0; i < 2 * kShortTake.size(); ++i)
            EXPECT_EQ(console.pushed[i].first, console.pushed[i % kShortTake.size()].first);
    }
    const int pauses = console.Pauses();
    player.PlayerCommand(kPlayerPlayButton); // stop
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.Elapsed(), 0);
    EXPECT_EQ(console.Pauses(), pauses + 1); // stopping silences every pipe
}

namespace {

struct Script final : IPlayerDialogs, IRecordingControl {
    std::vector<std::string> log;
    std::string playPath;   // empty: the open dialog is cancelled
    std::string recordPath; // empty: the save dialog is cancelled
    bool recorder = false;

    bool ChooseFileToPlay(std::string& path) override
    {
        log.push_back("open dialog");
        path = playPath;
        return !path.empty();
    }
    bool ChooseFileToRecord(std::string& path) override
    {
        log.push_back("save dialog");
        path = recordPath;
        return !path.empty();
    }
    void StartRecording() override
    {
        log.push_back("start");
        recorder = true;
    }
    void ClearRecordingFlag() override { log.push_back("clear flag"); }
    bool StopRecording(const std::string& path, bool save) override
    {
        log.push_back("stop " + path + (save ? " save" : " discard"));
        recorder = false;
        return true;
    }
    bool HasRecorder() const override { return recorder; }
};

} // namespace

TEST_F(Player, LoadAndPlayButtons)
{
    Script script;
    PlayerLinks links = console.Links();
    links.dialogs = &script;
    MidiFilePlayer player(messages, links);
    ASSERT_TRUE(player.BuildPlayerPanel());

    player.PlayerCommand(kPlayerPlayButton); // nothing loaded, dialog cancelled
    EXPECT_FALSE(player.Loaded());
    EXPECT_FALSE(player.Playing());
    EXPECT_TRUE(messages.Shown().empty());

    test::WriteFile(dir.File("notes.txt"), "not a MIDI file");
    script.playPath = dir.File("notes.txt");
    player.PlayerCommand(kPlayerLoadButton);
    EXPECT_FALSE(player.Loaded());
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0].text, "Cannot load MIDI File!");
    EXPECT_EQ(messages.Shown()[0].caption, "Midi Player error");
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Warning);

    script.playPath = WriteTake(dir.File("good.mid"), kShortTake);
    player.PlayerCommand(kPlayerPlayButton); // loads through the dialog, then plays
    EXPECT_TRUE(player.Loaded());
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(player.FilePath(), script.playPath);
    player.PlayerCommand(kPlayerPlayButton);
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(messages.Shown().size(), 1u);
}

TEST_F(Player, RecordButtonClearsTheFlagBeforeAskingForAFile)
{
    Script script;
    PlayerLinks links = console.Links();
    links.dialogs = &script;
    links.recording = &script;
    MidiFilePlayer player(messages, links);

    player.PlayerCommand(kPlayerRecordButton);
    EXPECT_TRUE(player.RecordButtonDown());
    script.recordPath = "take.mid";
    player.PlayerCommand(kPlayerRecordButton);
    EXPECT_FALSE(player.RecordButtonDown());
    player.PlayerCommand(kPlayerRecordButton);
    script.recordPath.clear();
    player.PlayerCommand(kPlayerRecordButton);
    player.PlayerCommand(kPlayerRecordButton);
    player.StopRecordingNoSave();
    EXPECT_FALSE(player.RecordButtonDown());

    const std::vector<std::string> expected = {
        "start", "clear flag", "save dialog", "stop take.mid save",
        "start", "clear flag", "save dialog", "stop  discard",
        "start", "clear flag", "stop  discard",
    };
    EXPECT_EQ(script.log, expected);
}

TEST_F(Player, StartupFilePlaysWhenPresent)
{
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    {
        MidiFilePlayer player(messages, console.Links());
        ASSERT_TRUE(player.BuildPlayerPanel());
        EXPECT_TRUE(player.PlayStartupFile());
        EXPECT_FALSE(player.Loaded());

        WriteTake(dir.File("Console Up.mid"), {{0, 0x00643C90}, {5000, 0x00003C90}});
        EXPECT_TRUE(player.PlayStartupFile());
        EXPECT_TRUE(player.Playing());
        EXPECT_TRUE(player.PlayButtonDown());
        EXPECT_EQ(player.FileTitle(), "Console Up");
        EXPECT_TRUE(console.WaitFor([&] { return !console.pushed.empty(); }));
    } // destroyed while playing: stopped, and the organ silenced
    std::filesystem::current_path(previous);
    EXPECT_EQ(console.Pauses(), 1);
    EXPECT_TRUE(messages.Shown().empty());
}
