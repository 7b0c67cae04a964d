// The console menu's commands on the running organ, without a window:
// applying new settings, and the combination file and memory levels.

#include "FakeMidiSystem.h"
#include "RankLog.h"
#include "app/ApplySettings.h"
#include "app/CorvintaApp.h"
#include "persist/ComboFile.h"
#include "persist/ConfigFile.h"
#include "platform/RecordingUserMessages.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace corvinta;
namespace fs = std::filesystem;

namespace {

using Logged = test::LoggedMessage;
using test::ReadRankLog;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The organ, started in a folder of its own with one external MIDI output
// ("Module"), logging what its ranks send.
class Commands : public ::testing::Test {
protected:
    fs::path previous = fs::current_path();
    fs::path base;
    fs::path log;
    RecordingUserMessages messages;
    std::unique_ptr<CCorvintaApp> organ;

    void SetUp() override
    {
        base = fs::temp_directory_path() / ("corvinta-commands-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        fs::create_directories(base / "corvinta");
        fs::current_path(base / "corvinta");
        ::setenv("XDG_CONFIG_HOME", base.c_str(), 1);
        log = base / "ranks.log";
        organ = std::make_unique<CCorvintaApp>(
            ParseCommandLine({"--audio-driver", "none", "--midi-log", log.string()}), messages);
        organ->UseMidiSystem(std::make_unique<test::FakeMidiSystem>(std::vector<std::string>{"Module"}));
        ASSERT_EQ(organ->Start(), 0);
        organ->ConsoleReady();
    }
    void TearDown() override
    {
        organ.reset();
        fs::current_path(previous);
        fs::remove_all(base);
    }
    std::vector<Logged> CloseAndReadRankLog()
    {
        organ->Close();
        organ.reset();
        return ReadRankLog(log);
    }
    CConsole& Console() { return organ->Console(); }
    std::string Configuration() { return CConfigFile::Format(Console(), CConfigFile::kVersion); }

    // A dialog that confirms the settings in force after `edit` changes them.
    SettingsDialog Confirming(std::function<void(EditedSettings&)> edit = {})
    {
        return [edit](CConsole& console) {
            EditedSettings e;
            e.settings = console.Settings();
            e.volumeSteps.resize(e.settings.ranks.size());
            e.panSteps.resize(e.settings.ranks.size());
            for (uint16_t id : console.inputDevicesInUse)
                e.inputDevicesInUse.push_back(console.inputDevicesPresent[id]);
            e.assignments = console.assignments;
            e.useDefaultAssignments = console.useDefaultAssignments;
            if (edit)
                edit(e);
            return std::optional<EditedSettings>(e);
        };
    }
    int SoundFontId()
    {
        fluid_synth_t* synth = organ->Engine().Synth()->Synth();
        fluid_sfont_t* font = fluid_synth_get_sfont(synth, 0);
        return font ? fluid_sfont_get_id(font) : -1;
    }
};

TEST_F(Commands, CancelChangesNothingAndLetsInputRunAgain)
{
    Console().Settings().ranks[2].volume = 95; // between two dialog steps: OK must not round it
    const std::string before = Configuration();
    bool held = false;
    EXPECT_EQ(ApplySettingsCommand(*organ, [&](CConsole&) {
                  held = organ->Engine().Held();
                  return std::optional<EditedSettings>();
              }),
              SettingsOutcome::Cancelled);
    EXPECT_TRUE(held) << "the engine holds while the dialog is open";
    EXPECT_FALSE(organ->Engine().Held());
    EXPECT_EQ(Configuration(), before);

    // OK without an edit keeps every value to the bit too.
    EXPECT_EQ(ApplySettingsCommand(*organ, Confirming()), SettingsOutcome::Applied);
    EXPECT_EQ(Configuration(), before);
}

TEST_F(Commands, EditedVolumeAndPanStepsBecomeMidiValuesAndReachTheRanks)
{
    EXPECT_EQ(VolumeFromStep(16), 127);
    EXPECT_EQ(VolumeFromStep(1), 7);
    EXPECT_EQ(PanFromStep(8), 127);
    EXPECT_EQ(PanFromStep(0), 64);
    EXPECT_EQ(PanFromStep(-8), 0);
    const int untouched = Console().Settings().ranks[2].volume;
    ApplySettingsCommand(*organ, Confirming([](EditedSettings& e) {
        e.volumeSteps[0] = 16;
        e.panSteps[0] = 8;
        e.panSteps[1] = -8;
    }));
    EXPECT_EQ(Console().Settings().ranks[0].volume, 127);
    EXPECT_EQ(Console().Settings().ranks[0].pan, 127);
    EXPECT_EQ(Console().Settings().ranks[1].pan, 0);
    EXPECT_EQ(Console().Settings().ranks[2].volume, untouched);
    const auto logged = CloseAndReadRankLog();
    bool volumeSent = false;
    for (const Logged& l : logged)
        volumeSent |= l.rank == 0 && (l.status & 0xF0) == 0xB0 && l.data1 == 7 && l.data2 == 127;
    EXPECT_TRUE(volumeSent) << "rank 0's new volume is sent";
}

TEST_F(Commands, TheMergedOutputFollowsItsDeviceAndTremulantsSoundAgain)
{
    const int merged = static_cast<int>(Console().Settings().ranks.size()) - 1;
    Console().OnCommand(StopTabCommand(7), 1);                   // Solo Tibia 8'
    Console().OnCommand(TremulantTabCommand(kTremTibia), 1);     // and its tremulant
    // A key played and heard: the next settings' pause would silence a key
    // the engine has not reached yet.
    int played = 0;
    auto playC = [&] {
        Console().PlayKey(0, 60, true, false);
        Console().PlayKey(0, 60, false, false);
        ++played;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        auto heard = [&] {
            int offs = 0;
            for (const Logged& l : ReadRankLog(log))
                offs += l.rank == 6 && (l.status & 0xF0) == 0x90 && l.data2 == 0;
            return offs >= played;
        };
        while (!heard() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    ApplySettingsCommand(*organ, Confirming([merged](EditedSettings& e) {
        e.settings.ranks[static_cast<size_t>(merged)].deviceId = 0; // "Module"
    }));
    EXPECT_TRUE(Console().Settings().console.mergedOutEnabled);
    playC();
    ApplySettingsCommand(*organ, Confirming([merged](EditedSettings& e) {
        e.settings.ranks[static_cast<size_t>(merged)].deviceId = kNoDevice; // FluidSynth: off
    }));
    EXPECT_FALSE(Console().Settings().console.mergedOutEnabled);
    playC();

    const int tremulantPatch = Console().Settings().ranks[6].patch2;
    const auto logged = CloseAndReadRankLog();
    int mergedNotes = 0, tibiaNotes = 0;
    for (const Logged& l : logged) {
        const bool noteOn = (l.status & 0xF0) == 0x90 && l.data2 > 0;
        mergedNotes += noteOn && l.rank == merged;
        tibiaNotes += noteOn && l.rank == 6;
    }
    EXPECT_EQ(mergedNotes, 1) << "a copy while the merged output had a device, none after";
    EXPECT_EQ(tibiaNotes, 2);
    // After each apply the Tibia rank is voiced again and then its tremulant
    // switched on again: its last program change before each note is the
    // tremulant's patch.
    int lastProgram = -1;
    for (const Logged& l : logged) {
        if (l.rank == 6 && (l.status & 0xF0) == 0xC0)
            lastProgram = int(l.data1);
        if (l.rank == 6 && (l.status & 0xF0) == 0x90 && l.data2 > 0) {
            EXPECT_EQ(lastProgram, tremulantPatch);
        }
    }
}

TEST_F(Commands, SoundFontsReloadOnlyWhenTheirListChanged)
{
    ApplySettingsCommand(*organ, Confirming([](EditedSettings& e) {
        e.settings.soundFonts = {{SOUNDFONT, 25}};
        e.soundFontsChanged = true;
    }));
    const int loaded = SoundFontId();
    ASSERT_GE(loaded, 0);
    ApplySettingsCommand(*organ, Confirming());
    EXPECT_EQ(SoundFontId(), loaded);
    ApplySettingsCommand(*organ, Confirming([](EditedSettings& e) { e.soundFontsChanged = true; }));
    EXPECT_NE(SoundFontId(), loaded);
}

TEST_F(Commands, AKeyHeldAcrossTheSettingsIsSilencedAndNothingIsLeftSounding)
{
    Console().OnCommand(StopTabCommand(7), 1);
    Console().PlayKey(0, 60, true, false);
    bool heldDuring = false;
    ApplySettingsCommand(*organ, [&](CConsole& console) {
        heldDuring = organ->Engine().Held();
        return Confirming()(console);
    });
    EXPECT_TRUE(heldDuring);
    EXPECT_FALSE(organ->Engine().Held());
    Console().PlayKey(0, 60, false, false); // the organist lets go afterwards
    EXPECT_EQ(test::VoicesLeftAfterRelease(organ->Engine().Synth()->Synth()), 0);
}

TEST_F(Commands, ATakeInProgressIsSavedDiscardedOrKeptAsTheOrganistSays)
{
    MidiFilePlayer& player = *organ->Player();
    int dialogs = 0;
    const SettingsDialog cancel = [&](CConsole&) {
        ++dialogs;
        return std::optional<EditedSettings>();
    };
    player.PlayerCommand(kPlayerRecordButton);
    ASSERT_TRUE(player.RecordButtonDown());
    messages.Answer(MessageAnswer::Cancel);
    EXPECT_EQ(ApplySettingsCommand(*organ, cancel), SettingsOutcome::KeptRecording);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(player.RecordButtonDown()) << "still recording";
    messages.Answer(MessageAnswer::No);
    EXPECT_EQ(ApplySettingsCommand(*organ, cancel), SettingsOutcome::Cancelled);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(player.RecordButtonDown());
    EXPECT_EQ(messages.Shown().back().text, std::string(kTakeQuestion));
}

TEST_F(Commands, SaveAsKeepsTheNameAndAFailedLoadKeepsMemoryAndFile)
{
    CombinationCommands combos = organ->Combinations();
    ASSERT_TRUE(combos.SaveAs("other.cbo"));
    EXPECT_EQ(combos.FileInUse(), "other.cbo");
    const std::string saved = ReadFile("other.cbo");
    Console().Piston(0).drawn[0].Set(50);
    ASSERT_TRUE(combos.Save());
    EXPECT_NE(ReadFile("other.cbo"), saved) << "the next save goes to the name saved as";

    // Cancelled dialogs (an empty choice) write nothing.
    const auto filesBefore = std::distance(fs::directory_iterator("."), fs::directory_iterator());
    EXPECT_FALSE(combos.SaveAs(""));
    EXPECT_FALSE(combos.ExportLevel("", ','));
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), filesBefore);

    std::ofstream("bad.cbo") << "not a combination file";
    const auto memory = CComboFile::Memory(Console());
    EXPECT_FALSE(combos.Load("bad.cbo"));
    EXPECT_EQ(ReadFile("bad.cbo"), "not a combination file");
    EXPECT_EQ(combos.FileInUse(), "other.cbo");
    const auto after = CComboFile::Memory(Console());
    for (size_t p = 0; p < memory.size(); ++p)
        EXPECT_TRUE(after[p].drawn == memory[p].drawn && after[p].scope == memory[p].scope) << "piston " << p;

    // An old file the organist declines to convert is not loaded, and nothing ends.
    fs::copy_file(fs::path(SEEDS) / "combinations-600.cbo", "old.cbo");
    messages.Answer(MessageAnswer::No);
    EXPECT_FALSE(combos.Load("old.cbo"));
    EXPECT_EQ(combos.FileInUse(), "other.cbo");

    ASSERT_TRUE(combos.Load("other.cbo"));
    EXPECT_TRUE(Console().Piston(0).drawn[0].Test(50));
}

TEST_F(Commands, AnExportedMemoryLevelImportsAsItWas)
{
    CombinationCommands combos = organ->Combinations();
    Console().Piston(3).drawn[0].Set(20); // a Solo stop, in the Solo piston's scope
    const auto before = CComboFile::Memory(Console());
    ASSERT_TRUE(combos.ExportLevel("level.csv", ';'));
    for (int p = 0; p < Console().PistonCount(); ++p)
        Console().Piston(p).drawn[0] = ItemSet{};
    ASSERT_TRUE(combos.ImportLevel("level.csv", ';'));
    const auto after = CComboFile::Memory(Console());
    for (size_t p = 0; p < before.size(); ++p)
        EXPECT_TRUE(after[p].drawn == before[p].drawn && after[p].scope == before[p].scope) << "piston " << p;
}

} // namespace
