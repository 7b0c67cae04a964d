// A file played through the whole organ: the player pushes into the real input
// queue, the console routes it to a division, the output worker plays it, and
// the recorder takes down what the organ sent.

#include "../RecordingQueue.h"
#include "../RegistrationPiece.h"
#include "../persist/TempDir.h"
#include "engine/MidiLog.h"
#include "engine/MidiRecorder.h"
#include "engine/OutputEngine.h"
#include "midi_in/MidiInput.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"
#include "synth/MidiFilePlayer.h"
#include "tools/startup_piece/MidiFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace corvinta;
using namespace std::chrono_literals;

namespace {

struct TakeEvent {
    uint32_t delta;
    uint8_t status, data1, data2;
    bool operator==(const TakeEvent&) const = default;
};

// Reads back one channel track of a recorded file.
std::vector<TakeEvent> TrackEvents(const std::string& file, int track)
{
    size_t at = 14 + 58;
    for (int t = 0; t < track; ++t)
        at += 8 + ((uint8_t(file[at + 4]) << 24) | (uint8_t(file[at + 5]) << 16) | (uint8_t(file[at + 6]) << 8) |
                   uint8_t(file[at + 7]));
    const size_t length = (uint8_t(file[at + 6]) << 8) | uint8_t(file[at + 7]);
    size_t p = at + 12;
    const size_t end = at + 8 + length - 4;
    std::vector<TakeEvent> events;
    uint8_t status = 0;
    while (p < end) {
        uint32_t delta = 0;
        uint8_t b;
        do {
            b = uint8_t(file[p++]);
            delta = delta << 7 | (b & 0x7F);
        } while (b & 0x80);
        if (uint8_t(file[p]) & 0x80)
            status = uint8_t(file[p++]);
        TakeEvent e{delta, status, uint8_t(file[p++]), 0};
        if ((status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0)
            e.data2 = uint8_t(file[p++]);
        events.push_back(e);
    }
    return events;
}

} // namespace

TEST(PlayerThroughOrgan, AFilePlaysTheOrganAsAKeyboardDoes)
{
    test::TempDir dir;
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    NoMidiSystem noDevices;
    MidiInput input(console, noDevices);
    console.RebuildRouting();
    ASSERT_TRUE(input.StartWorker());
    OutputEngine engine(console, EngineParts{.startSynth = false});
    console.SetOutput(&engine);
    console.SetInputControl(&input);
    ASSERT_TRUE(engine.StartWorker());
    input.SetInputEnabled(true);

    // The file: middle C on the Solo's channel for 300 ms.
    const auto solo = static_cast<uint8_t>(kDivisions[0].defaultInputChannel);
    uint32_t now = 0;
    MidiRecorder writer([&] { return now; });
    writer.Record(ShortMessage(static_cast<uint8_t>(0x90 | solo), 60, 100));
    now = 300;
    writer.Record(ShortMessage(static_cast<uint8_t>(0x90 | solo), 60, 0));
    ASSERT_TRUE(writer.WriteMidiFile(dir.File("c.mid"), messages));

    RecorderControl recording(engine, messages);
    PlayerLinks links;
    links.push = [&](uint32_t m, uint32_t s) { return input.Push(m, s); };
    links.pauseResumeInput = [&] { console.Panic(); };
    links.recording = &recording;
    {
        MidiFilePlayer player(messages, links, PlayerOptions{.tickPeriod = 100ms});
        ASSERT_TRUE(player.BuildPlayerPanel());
        player.PlayerCommand(kPlayerRecordButton);
        ASSERT_TRUE(player.LoadMidiFile(dir.File("c.mid")));
        player.PlayerCommand(kPlayerPlayButton);
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (player.Playing() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(player.Playing());
        recording.ClearRecordingFlag();
        ASSERT_TRUE(recording.StopRecording(dir.File("take.mid"), true));
    }

    const std::string take = test::ReadFile(dir.File("take.mid"));
    const int channel = OutputEngine::kDivisionOutputChannel[0];
    const std::vector<TakeEvent> events = TrackEvents(take, channel);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].status, 0x90 | channel);
    EXPECT_EQ(events[0].data1, 60);
    EXPECT_GT(events[0].data2, 0);
    EXPECT_EQ(events[1].data1, 60);
    EXPECT_EQ(events[1].data2, 0);
    EXPECT_NEAR(events[1].delta, 300, 60); // the key was held as long as the file says
    EXPECT_TRUE(messages.Shown().empty());

    input.StopWorker();
    EXPECT_TRUE(engine.StopWorker(300, 10));
}

// A set-up block of a thousand events at the file's first instant, played
// live: the player waits for room in the input queue, the input worker for
// room in the output queue, so every stop is drawn and every note sounds.
TEST(PlayerThroughOrgan, AThousandEventsAtTheFirstInstantLoseNothing)
{
    test::TempDir dir;
    ASSERT_TRUE(test::WriteRegistrationPiece(dir.File("burst.mid"), 1000 - test::kRegistrationStops));
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    NoMidiSystem noDevices;
    MidiInput input(console, noDevices);
    console.RebuildRouting();
    ASSERT_TRUE(input.StartWorker());
    MidiLog log({});
    ASSERT_TRUE(log.Open(dir.File("ranks.log")));
    OutputEngine engine(console, EngineParts{.synth = {"none"}, .observer = &log});
    console.SetOutput(&engine);
    console.SetInputControl(&input);
    ASSERT_TRUE(engine.StartWorker());
    input.SetInputEnabled(true);

    PlayerLinks links;
    links.push = [&](uint32_t m, uint32_t s) { return input.Push(m, s); };
    links.discardQueued = [&] { input.DiscardFileEvents(); };
    links.pauseResumeInput = [&] { console.Panic(); };
    {
        MidiFilePlayer player(messages, links, PlayerOptions{.tickPeriod = 100ms});
        ASSERT_TRUE(player.BuildPlayerPanel());
        player.SetTempo(200);
        ASSERT_TRUE(player.LoadMidiFile(dir.File("burst.mid")));
        player.PlayerCommand(kPlayerPlayButton);
        const auto until = std::chrono::steady_clock::now() + 20s;
        while (player.Playing() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(player.Playing());
        EXPECT_EQ(player.DroppedEvents(), 0u);
    }
    input.StopWorker();
    EXPECT_TRUE(engine.StopWorker(300, 10));
    log.Close();
    EXPECT_EQ(input.DroppedEvents(), 0u);
    EXPECT_EQ(engine.DroppedRequests(), 0u);
    // The log itself may skip some of the burst's shoe messages when its writer
    // falls behind (it never holds up the worker); the notes come later.

    // Every note of every stop, as the registration implies (live: times vary).
    auto withoutTimes = [](std::vector<test::RankNote> notes) {
        for (test::RankNote& n : notes)
            n.ms = 0;
        std::sort(notes.begin(), notes.end());
        return notes;
    };
    EXPECT_EQ(withoutTimes(test::LoggedRankNotes(test::ReadFile(dir.File("ranks.log")))),
              withoutTimes(test::ExpectedRankNotes(200)));
}

// Stopping a file drops what it queued and the console has not taken yet:
// handled after the stop's notes-off, a press would sound with no release.
TEST(PlayerThroughOrgan, StoppingDiscardsWhatThePlayerQueued)
{
    test::TempDir dir;
    const auto solo = static_cast<uint8_t>(kDivisions[0].defaultInputChannel);
    midi::CMidiFileWriter smf(480, 500000, "held");
    smf.Add(0, static_cast<uint8_t>(0x90 | solo), 60, 100);
    smf.Add(960, static_cast<uint8_t>(0x80 | solo), 60, 0);
    ASSERT_TRUE(smf.Write(dir.File("held.mid")));

    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    test::RecordingQueue output;
    console.SetOutput(&output);
    NoMidiSystem noDevices;
    MidiInput input(console, noDevices);
    console.SetInputControl(&input);
    console.RebuildRouting();
    ASSERT_TRUE(input.StartWorker()); // input stays disabled: what the file sends waits in the queue

    PlayerLinks links;
    links.push = [&](uint32_t m, uint32_t s) { return input.Push(m, s); };
    links.discardQueued = [&] { input.DiscardFileEvents(); };
    links.pauseResumeInput = [&] { console.Panic(); };
    MidiFilePlayer player(messages, links, PlayerOptions{.timing = PlayerTiming::Sample});
    ASSERT_TRUE(player.BuildPlayerPanel());
    ASSERT_TRUE(player.LoadMidiFile(dir.File("held.mid")));
    ASSERT_TRUE(player.StartPlayer(false));
    player.AdvanceClock(4410); // 100 ms: the press is queued
    ASSERT_TRUE(player.StopPlayer(true)); // notes off, and input runs again

    // A press made after the stop is handled; the file's never is.
    ASSERT_TRUE(input.Push(ShortMessage(static_cast<uint8_t>(0x90 | solo), 72, 100), InternalSource(solo)));
    std::vector<OutputRequest> keys;
    for (int wait = 0; wait < 500 && keys.empty(); ++wait) {
        std::this_thread::sleep_for(10ms);
        for (const OutputRequest& r : output.Take())
            if (r.type == RequestType::KeyNote)
                keys.push_back(r);
    }
    input.StopWorker();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].b, 72);
}
