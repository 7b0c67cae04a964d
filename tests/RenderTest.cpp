// A MIDI file rendered through the whole organ, as `corvinta --render` does:
// stops drawn by the file's controllers, chords on all three manuals and
// pedals, heard in the audio, listed in the rank log and taken down by the
// recorder; the same render twice, and at another tempo.

#include "app/CorvintaApp.h"
#include "app/OfflineRender.h"
#include "organ/Console.h"
#include "persist/ConfigFile.h"
#include "persist/TempDir.h"
#include "platform/RecordingUserMessages.h"
#include "RegistrationPiece.h"
#include "soundfont/AudioAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace corvinta;
using namespace corvinta::test;
namespace fs = std::filesystem;

namespace {

struct Stereo16 {
    std::vector<float> mono; // left + right, for spectra
    size_t frames = 0;
};
Stereo16 ReadWav(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    Stereo16 wav;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0)
        return wav;
    wav.frames = (bytes.size() - 44) / 4;
    wav.mono.resize(wav.frames);
    for (size_t i = 0; i < wav.frames; ++i) {
        auto sample = [&](size_t at) { return static_cast<int16_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8); };
        wav.mono[i] = float(sample(44 + 4 * i) + sample(46 + 4 * i)) / 65536.0f;
    }
    return wav;
}

std::vector<float> Slice(const std::vector<float>& x, double from, double to)
{
    return {x.begin() + std::ptrdiff_t(from * kRate), x.begin() + std::ptrdiff_t(to * kRate)};
}

double NoteHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

struct Render : ::testing::Test {
    TempDir dir;
    fs::path previous = fs::current_path();
    RecordingUserMessages messages;

    void SetUp() override
    {
        fs::current_path(dir.Path());
        ::setenv("CORVINTA_DATA_DIR", fs::path(CORVINTA_SOUNDFONT).parent_path().c_str(), 1);
        ::setenv("JACK_DEFAULT_SERVER", "corvinta-no-such-server", 1);
        ASSERT_TRUE(WriteRegistrationPiece("piece.mid"));
    }
    void TearDown() override
    {
        ::unsetenv("CORVINTA_DATA_DIR");
        fs::current_path(previous);
    }
    uint64_t dropped = 0; // by the last render's queues and player

    int Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--audio-driver", "none"});
        CCorvintaApp app(ParseCommandLine(args), messages);
        if (const int code = app.Start(); code != 0)
            return code;
        app.ConsoleReady();
        const int code = RenderOffline(app);
        dropped = app.Input().DroppedEvents() + app.Engine().DroppedRequests() + app.Player()->DroppedEvents();
        app.Close();
        return code;
    }
    // Renders piece.mid into `wav` in a process of its own (this program, running
    // SeededRender), whose C library generator is seeded first.
    int RunSeeded(unsigned seed, const fs::path& wav)
    {
        const fs::path self = fs::read_symlink("/proc/self/exe");
        ::setenv("CORVINTA_TEST_SEED", std::to_string(seed).c_str(), 1);
        ::setenv("CORVINTA_TEST_WAV", wav.c_str(), 1);
        std::string command(1, '\'');
        command += self.string();
        command += "' --gtest_filter=Render.SeededRender >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        ::unsetenv("CORVINTA_TEST_SEED");
        ::unsetenv("CORVINTA_TEST_WAV");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::vector<std::string> Errors() const
    {
        std::vector<std::string> texts;
        for (const UserMessage& m : messages.Shown())
            if (m.icon == MessageIcon::Error || m.icon == MessageIcon::Warning)
                texts.push_back(m.text);
        return texts;
    }
};

TEST_F(Render, TheRegistrationSoundsAndIsLoggedRankByRankTheSameEveryTime)
{
    ASSERT_EQ(Run({"--render", "piece.mid", "--output", "a.wav", "--midi-log", "a.log"}), 0);
    ASSERT_EQ(Run({"--render", "piece.mid", "--output", "b.wav", "--midi-log", "b.log"}), 0);
    // A render looks for no keyboards and has nothing to ask: it says nothing.
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_FALSE(fs::exists("Corvinta.xml"));
    EXPECT_FALSE(fs::exists("Corvinta.cbo"));

    const std::string wav = ReadFile("a.wav");
    EXPECT_EQ(wav, ReadFile("b.wav"));
    EXPECT_EQ(ReadFile("a.log"), ReadFile("b.log"));

    // Every rank note, on the beat within one 64-frame block.
    const std::vector<RankNote> logged = LoggedRankNotes(ReadFile("a.log"));
    const std::vector<RankNote> expected = ExpectedRankNotes(100);
    ASSERT_EQ(logged.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(logged[i].ms, expected[i].ms, 2);
        EXPECT_EQ(std::tie(logged[i].status, logged[i].note, logged[i].velocity),
                  std::tie(expected[i].status, expected[i].note, expected[i].velocity));
    }

    // Each manual's pitches are there, and the notes between them are not.
    const Stereo16 audio = ReadWav("a.wav");
    ASSERT_GT(audio.frames, size_t(4.5 * kRate));
    struct Segment {
        double from, to;
        std::vector<int> present, absent;
    } segments[] = {
        {0.8, 1.4, {60, 64, 67, 72, 76, 79}, {61, 63, 66, 73, 75}},
        {2.3, 2.9, {60, 64, 67, 72, 76, 79}, {61, 63, 66, 73, 75}},
        {3.8, 4.4, {36}, {37, 39}},
    };
    for (const Segment& s : segments) {
        const std::vector<float> x = Slice(audio.mono, s.from, s.to);
        double loudestAbsent = 0;
        for (int note : s.absent)
            loudestAbsent = std::max(loudestAbsent, Magnitude(x, NoteHz(note)));
        for (int note : s.present)
            EXPECT_GT(Magnitude(x, NoteHz(note)), 4 * loudestAbsent) << "note " << note << " at " << s.from << " s";
    }
    EXPECT_LT(Rms(Slice(audio.mono, 0.0, 0.45)), 1e-4) << "silence before the first chord";
}

// A sequencer's set-up block at the first instant overfills the input ring
// (256) nearly four times; the stops drawn at its end still sound every note.
TEST_F(Render, AThousandEventsAtTheFirstInstantLoseNothing)
{
    ASSERT_TRUE(WriteRegistrationPiece("burst.mid", 1000 - kRegistrationStops));
    ASSERT_EQ(Run({"--render", "burst.mid", "--output", "burst.wav", "--midi-log", "burst.log"}), 0);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(dropped, 0u);
    const std::vector<RankNote> logged = LoggedRankNotes(ReadFile("burst.log"));
    const std::vector<RankNote> expected = ExpectedRankNotes(100);
    ASSERT_EQ(logged.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(logged[i].ms, expected[i].ms, 2);
        EXPECT_EQ(std::tie(logged[i].status, logged[i].note, logged[i].velocity),
                  std::tie(expected[i].status, expected[i].note, expected[i].velocity));
    }
}

// FluidSynth's 16-bit dither draws from rand(); whoever seeded it must not
// change a byte of the render, its length included. Each render runs in a
// fresh process, where the first synthesizer is made after the seeding.
TEST_F(Render, TheSameToTheByteWhateverSeededTheCLibraryGenerator)
{
    const std::vector<unsigned> seeds{1, 2, 12345};
    const auto wavName = [](unsigned seed) { return "seed" + std::to_string(seed).append(".wav"); };
    for (unsigned seed : seeds)
        ASSERT_EQ(RunSeeded(seed, dir.Path() / wavName(seed)), 0) << "seed " << seed;
    const std::string first = ReadFile("seed1.wav");
    ASSERT_GT(first.size(), 44u);
    for (unsigned seed : seeds) {
        const std::string wav = ReadFile(wavName(seed));
        EXPECT_TRUE(wav == first) << "seed " << seed << ": " << wav.size() << " bytes against " << first.size();
    }
}

// One render of that test, in its own process: seeds the generator as
// something else in the process might have, then renders.
TEST_F(Render, SeededRender)
{
    const char* seed = std::getenv("CORVINTA_TEST_SEED");
    const char* wav = std::getenv("CORVINTA_TEST_WAV");
    if (!seed || !wav)
        GTEST_SKIP() << "run by TheSameToTheByteWhateverSeededTheCLibraryGenerator";
    std::srand(static_cast<unsigned>(std::atoi(seed)));
    ASSERT_EQ(Run({"--render", "piece.mid", "--output", wav}), 0);
}

// With no sound font and every rank on the synthesizer, nothing could sound.
TEST_F(Render, ARenderInWhichNoRankCanSoundFailsAndWritesNothing)
{
    ::setenv("CORVINTA_DATA_DIR", dir.Path().c_str(), 1); // no Corvinta.sf2 there
    EXPECT_NE(Run({"--render", "piece.mid", "--output", "silent.wav"}), 0);
    EXPECT_FALSE(fs::exists("silent.wav"));
    const std::vector<std::string> errors = Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), "Nothing can sound in 'silent.wav': no sound font is loaded and no rank plays on a MIDI output.");
}

TEST_F(Render, TempoTwoHundredPlaysTwiceAsFast)
{
    ASSERT_EQ(Run({"--render", "piece.mid", "--output", "normal.wav", "--midi-log", "normal.log"}), 0);
    ASSERT_EQ(Run({"--render", "piece.mid", "--output", "fast.wav", "--midi-log", "fast.log", "--tempo", "200"}), 0);
    const std::vector<RankNote> logged = LoggedRankNotes(ReadFile("fast.log"));
    const std::vector<RankNote> expected = ExpectedRankNotes(200);
    ASSERT_EQ(logged.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(logged[i].ms, expected[i].ms, 2) << i;
    // The piece lasts 4.5 s; both end with the same release and reverb.
    const double shortened = double(ReadWav("normal.wav").frames - ReadWav("fast.wav").frames) / kRate;
    // Each end is found to a block, and each note-off falls on a block start.
    EXPECT_NEAR(shortened, 2.25, 4 * 64 / kRate);
}

// The note-ons of a recorded take with their times in milliseconds (the
// recorder's ticks), over all channel tracks.
std::vector<std::pair<uint32_t, int>> TakeNoteOns(const std::string& file)
{
    std::vector<std::pair<uint32_t, int>> ons;
    auto byte = [&](size_t at) { return uint8_t(file[at]); };
    for (size_t at = 14; at + 8 <= file.size();) {
        const size_t length = size_t(byte(at + 4)) << 24 | size_t(byte(at + 5)) << 16 | size_t(byte(at + 6)) << 8 | byte(at + 7);
        const size_t end = std::min(file.size(), at + 8 + length);
        uint32_t time = 0;
        uint8_t status = 0;
        for (size_t p = at + 8; p < end;) {
            uint32_t delta = 0;
            uint8_t b;
            do {
                b = byte(p++);
                delta = delta << 7 | (b & 0x7F);
            } while ((b & 0x80) && p < end);
            time += delta;
            if (byte(p) == 0xFF) { // meta: type, length, data
                p += 3 + byte(p + 2);
                continue;
            }
            if (byte(p) & 0x80)
                status = byte(p++);
            const bool twoBytes = (status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0;
            if ((status & 0xF0) == 0x90 && byte(p + 1) > 0)
                ons.emplace_back(time, byte(p));
            p += twoBytes ? 2 : 1;
        }
        at = end;
    }
    std::sort(ons.begin(), ons.end());
    return ons;
}

TEST_F(Render, RecordsTheTakeOnTheRenderedClock)
{
    ASSERT_EQ(Run({"--render", "piece.mid", "--output", "out.wav", "--record", "take.mid"}), 0);
    EXPECT_TRUE(Errors().empty());
    const std::string take = ReadFile("take.mid");
    ASSERT_GE(take.size(), 14u + 58u);
    EXPECT_EQ(take.compare(0, 4, "MThd"), 0);
    EXPECT_EQ(uint8_t(take[11]), 17) << "a conductor track and 16 channel tracks";
    // The seven keys the file played, when the file played them.
    const auto ons = TakeNoteOns(take);
    const std::vector<std::pair<uint32_t, int>> expected{{500, 72}, {500, 76}, {500, 79}, {2000, 60},
                                                         {2000, 64}, {2000, 67}, {3500, 48}};
    ASSERT_EQ(ons.size(), expected.size());
    for (size_t i = 0; i < ons.size(); ++i) {
        EXPECT_NEAR(ons[i].first, expected[i].first, 2);
        EXPECT_EQ(ons[i].second, expected[i].second);
    }
}

// A configuration as a closed organ leaves it, with these items drawn.
void WriteConfiguration(const std::string& path, std::initializer_list<int> drawn)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    for (int item : drawn)
        console.registration.Set(item);
    ASSERT_TRUE(CConfigFile::Save(path, console, CConfigFile::kVersion));
}

// The log's lines for one rank with one status kind ("ms status data1 data2").
std::vector<std::string> LoggedForRank(const std::string& log, int rank, unsigned statusKind)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int ms, r;
        std::string output;
        unsigned status, d1, d2;
        fields >> std::dec >> ms >> r >> output >> std::hex >> status >> d1 >> d2;
        if (r == rank && (status & 0xF0) == statusKind) {
            std::ostringstream kept;
            kept << std::hex << status << " " << d1 << " " << d2;
            lines.push_back(kept.str());
        }
    }
    return lines;
}

TEST_F(Render, ASavedRegistrationSoundsFromTheFirstKey)
{
    // The Solo Tibia and its tremulant drawn; the file plays one Solo key
    // and draws nothing.
    WriteConfiguration("saved.xml", {7, 99});
    midi::CMidiFileWriter smf(480, 500000, "one key");
    smf.Add(480, 0x90, 60, 100);
    smf.Add(960, 0x80, 60, 0);
    ASSERT_TRUE(smf.Write("key.mid"));

    ASSERT_EQ(Run({"xml", "saved.xml", "--render", "key.mid", "--output", "key.wav", "--midi-log", "key.log"}), 0);
    EXPECT_TRUE(Errors().empty());
    const std::string log = ReadFile("key.log");
    EXPECT_EQ(LoggedForRank(log, 6, 0x90), (std::vector<std::string>{"96 3c 7f", "96 3c 0"}));
    // The tremulant moved the Tibia to its second patch (18) before the key.
    const std::vector<std::string> programs = LoggedForRank(log, 6, 0xC0);
    ASSERT_FALSE(programs.empty());
    EXPECT_EQ(programs.back(), "c6 12 0");
    EXPECT_GT(Rms(Slice(ReadWav("key.wav").mono, 0.6, 0.9)), 1e-3);
}

TEST_F(Render, BadFilesAreReportedAndNothingIsWritten)
{
    EXPECT_NE(Run({"--render", "missing.mid", "--output", "out.wav"}), 0);
    EXPECT_FALSE(fs::exists("out.wav"));
    EXPECT_NE(Run({"--render", "piece.mid", "--output", "no-such-folder/out.wav"}), 0);
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Cannot play the MIDI file 'missing.mid'.");
    EXPECT_EQ(errors[1], "Cannot write the audio file 'no-such-folder/out.wav'.");
}

} // namespace
