// The command line, and the whole organ started and closed headless.

#include "FakeMidiSystem.h"
#include "Gate.h"
#include "app/CommandLine.h"
#include "app/CorvintaApp.h"
#include "TakeFile.h"
#include "app/OfflineRender.h"
#include "persist/ConfigFile.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace corvinta;
namespace fs = std::filesystem;

namespace {

TEST(CommandLine, ParametersAreTakenInOrderAndLowerCased)
{
    struct Case {
        std::vector<std::string> args;
        std::string config, combo;
        int width, height;
    } cases[] = {
        {{"xml", "myconfig"}, "myconfig.xml", "", 0, 0},
        {{"SETTINGS", "Organ.XML"}, "Organ.XML", "", 0, 0},
        {{"stg", "a.xml", "memory", "b"}, "a.xml", "b.cbo", 0, 0},
        {{"CBO", "c.cbo", "res", "1280", "720"}, "", "c.cbo", 1280, 720},
    };
    for (const Case& c : cases) {
        const CCommandLineInfoEx info = ParseCommandLine(c.args);
        EXPECT_TRUE(info.errors.empty());
        EXPECT_EQ(info.configFile, c.config);
        EXPECT_EQ(info.comboFile, c.combo);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
    }
    const CCommandLineInfoEx options =
        ParseCommandLine({"--headless", "--audio-driver", "none", "--midi-api", "jack", "--midi-log", "log.txt"});
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.audioDriver, "none");
    EXPECT_EQ(options.midiApi, "jack");
    EXPECT_EQ(options.midiLog, "log.txt");
    EXPECT_FALSE(ParseCommandLine({"--midi-api", "winmm"}).errors.empty());
    EXPECT_FALSE(ParseCommandLine({"--midi-log"}).errors.empty());
    EXPECT_FALSE(ParseCommandLine({"bogus"}).errors.empty());

    const CCommandLineInfoEx render =
        ParseCommandLine({"--render", "songs/hymn.mid", "--record", "take.mid", "--tempo", "150"});
    EXPECT_TRUE(render.errors.empty());
    EXPECT_EQ(render.renderWav, "hymn.wav") << "beside the organist, not beside the song";
    EXPECT_EQ(render.recordTake, "take.mid");
    EXPECT_EQ(render.renderTempo, 150);
    EXPECT_EQ(ParseCommandLine({"--render", "a.mid", "--output", "b.wav"}).renderWav, "b.wav");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--render", "a.mid", "--tempo", "49"},
             {"--render", "a.mid", "--tempo", "201"},
             {"--render", "a.mid", "--tempo", "fast"},
             {"--output", "b.wav"},
             {"--render"}})
        EXPECT_FALSE(ParseCommandLine(bad).errors.empty()) << bad[0] << " " << bad.back();
    EXPECT_TRUE(ParseCommandLine({"--version"}).version);
    EXPECT_TRUE(ParseCommandLine({"--list-midi"}).listMidi);
}

// Runs each test in a folder of its own: the organ's files are named
// relative to the current folder. That folder is also the organist's
// configuration folder ($XDG_CONFIG_HOME/corvinta), so a first run's files
// land in it whichever of the two the organ picks, and never in the real
// home folder.
struct InFolder : ::testing::Test {
    fs::path previous = fs::current_path();
    fs::path base;
    fs::path folder;
    void SetUp() override
    {
        base = fs::temp_directory_path() / ("corvinta-app-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        folder = base / "corvinta";
        fs::remove_all(base);
        fs::create_directories(folder);
        fs::current_path(folder);
        ::setenv("JACK_DEFAULT_SERVER", "corvinta-no-such-server", 1);
        ::setenv("XDG_CONFIG_HOME", base.c_str(), 1);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(base);
    }
    static CCommandLineInfoEx Options(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"--audio-driver", "none"};
        args.insert(args.end(), extra.begin(), extra.end());
        return ParseCommandLine(args);
    }
};

TEST_F(InFolder, AFirstRunStartsPlaysAndWritesBothFilesOnClose)
{
    RecordingUserMessages messages;
    {
        CCorvintaApp app(Options(), messages);
        ASSERT_EQ(app.Start(), 0);
        EXPECT_TRUE(app.Files().noConfigurationFound);
        app.ConsoleReady();
        app.Console().OnCommand(StopTabCommand(7), 1);
        app.Close();
    }
    EXPECT_TRUE(fs::exists("Corvinta.xml"));
    EXPECT_TRUE(fs::exists("Corvinta.cbo"));
    EXPECT_EQ(fs::file_size("Corvinta.cbo"), 8104u);

    // The next start reads them back: the Tibia is still drawn.
    RecordingUserMessages again;
    CCorvintaApp app(Options(), again);
    ASSERT_EQ(app.Start(), 0);
    EXPECT_FALSE(app.Files().noConfigurationFound);
    EXPECT_TRUE(app.Console().registration.Test(7));
}

bool Shown(const RecordingUserMessages& messages, const std::string& text)
{
    const auto shown = messages.Shown();
    return std::any_of(shown.begin(), shown.end(), [&](const UserMessage& m) { return m.text == text; });
}

// Closes and destroys the organ on a thread of its own; false if that has
// not ended within the limit (the thread is then left to hang).
bool ClosesWithin(std::unique_ptr<CCorvintaApp> app, std::chrono::seconds limit)
{
    auto done = std::make_shared<test::Gate>();
    done->Open();
    std::thread closing([app = std::move(app), done]() mutable {
        app->Close();
        app.reset();
        done->Pass();
    });
    if (!done->WaitPassed(1, limit)) {
        closing.detach();
        return false;
    }
    closing.join();
    return true;
}

// Gates that are never opened: a worker stopped at one stays there for good.
test::Gate& NeverOpened()
{
    static auto* gates = new std::vector<std::unique_ptr<test::Gate>>();
    return *gates->emplace_back(std::make_unique<test::Gate>());
}

test::Gate* g_stuckHandler = nullptr;

// A window that stops answering once a panic clears its keyboards.
struct StuckDisplay final : IConsoleDisplay {
    explicit StuckDisplay(test::Gate& g) : gate(g) {}
    void KeyChanged(int, int, bool) override {}
    void SetTabChecked(int, bool) override {}
    void KeyboardsCleared() override { gate.Pass(); }
    test::Gate& gate;
};

// A worker that never comes back delays closing by its polls only: closing
// reports it, lets it go, and still writes both files.
TEST_F(InFolder, ClosingGoesOnPastAWorkerThatNeverStops)
{
    const struct {
        const char* worker;
        bool input; // else the sound output worker
    } cases[] = {{"sound output worker", false}, {"MIDI input worker", true}};
    for (const auto& c : cases) {
        fs::remove("Corvinta.xml");
        fs::remove("Corvinta.cbo");
        RecordingUserMessages messages;
        auto app = std::make_unique<CCorvintaApp>(Options(), messages);
        app->SetWorkerStopLimit(3, 10);
        ASSERT_EQ(app->Start(), 0);
        app->ConsoleReady();
        app->Console().OnCommand(StopTabCommand(7), 1);
        test::Gate& gate = NeverOpened();
        if (c.input) {
            // The input worker's panic (all sound off) stays inside the window.
            app->Console().SetDisplay(new StuckDisplay(gate));
            app->Input().Push(ShortMessage(0xB0, 120, 0), InternalSource(0));
        } else {
            g_stuckHandler = &gate;
            app->Engine().SetHandler(RequestType::RankNote,
                                     [](OutputEngine&, const OutputRequest&) { g_stuckHandler->Pass(); });
            app->Engine().Push(RequestType::RankNote, 0, 60, 127);
        }
        ASSERT_TRUE(gate.WaitHeld()) << c.worker;

        ASSERT_TRUE(ClosesWithin(std::move(app), std::chrono::seconds(20))) << c.worker;
        EXPECT_TRUE(Shown(messages, std::string("The ") + c.worker +
                                        " did not stop within 1 second.\nCorvinta closes without waiting for it."))
            << c.worker;
        EXPECT_TRUE(fs::exists("Corvinta.xml")) << c.worker;
        ASSERT_TRUE(fs::exists("Corvinta.cbo")) << c.worker;
        EXPECT_EQ(fs::file_size("Corvinta.cbo"), 8104u) << c.worker;
    }
    RecordingUserMessages again;
    CCorvintaApp app(Options(), again);
    ASSERT_EQ(app.Start(), 0);
    EXPECT_TRUE(app.Console().registration.Test(7));
}

// A device that fails to close is reported by Close, while the console that
// shows the message still exists, and only once.
TEST_F(InFolder, ClosingClosesTheOutputsWhileTheConsoleLives)
{
    RecordingUserMessages messages;
    auto devices = std::make_unique<test::FakeMidiSystem>(std::vector<std::string>{"Theatre Out"});
    test::FakeMidiSystem& midi = *devices;
    midi.failClose.insert(0);
    const std::string report = "Theatre Out: The device would not close";
    {
        CCorvintaApp app(Options(), messages);
        app.UseMidiSystem(std::move(devices));
        ASSERT_EQ(app.Start(), 0);
        app.ConsoleReady();
        app.Console().RankSettings()[0].deviceId = 0; // the Flute on the external device
        app.Engine().CloseOutputs();
        app.Engine().OpenOutputs();
        ASSERT_EQ(app.Engine().OpenOutputCount(), 1);
        app.Close();
        EXPECT_EQ(midi.closes[0], 1);
        EXPECT_TRUE(Shown(messages, report));
    }
    const auto shown = messages.Shown();
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [&](const UserMessage& m) { return m.text == report; }), 1);
}

void WritePiece(const std::string& path);

// After a restart the registration the organ was closed with sounds from
// the first key: the engine has it before input is enabled.
TEST_F(InFolder, ASavedRegistrationSoundsFromTheFirstKeyAfterARestart)
{
    {
        RecordingUserMessages messages;
        CConsole console(messages);
        console.Build();
        console.registration.Set(7); // Solo Tibia 8'
        ASSERT_TRUE(CConfigFile::Save("Corvinta.xml", console, CConfigFile::kVersion));
    }
    RecordingUserMessages messages;
    CCorvintaApp app(Options(), messages);
    ASSERT_EQ(app.Start(), 0);
    app.ConsoleReady();
    EXPECT_TRUE(app.Console().StopByItem(7).shown) << "the window shows what sounds";
    // The rest runs here, in order, instead of on the two workers.
    app.Input().StopWorker();
    ASSERT_TRUE(app.Engine().StopWorker());
    app.Engine().HandlePending();
    ASSERT_TRUE(app.Input().Push(0x90 | 60 << 8 | 100 << 16, InternalSource(0))); // a Solo key
    app.Input().DrainHere();
    app.Engine().HandlePending();
    EXPECT_EQ(app.Engine().Rank(6).noteCounts[60], 1);
    app.Close();
}

TEST_F(InFolder, OnlyAFirstRunPlaysTheStartupPieceAndClosingStopsIt)
{
    WritePiece("Console Up.mid");
    RecordingUserMessages messages;
    {
        CCorvintaApp app(Options(), messages);
        ASSERT_EQ(app.Start(), 0);
        app.ConsoleReady();
        ASSERT_NE(app.Player(), nullptr);
        EXPECT_TRUE(app.Player()->Playing());
        EXPECT_EQ(app.Player()->FileTitle(), "Console Up");
        app.Close();
        EXPECT_FALSE(app.Player()->Playing());
        EXPECT_FALSE(app.Player()->PlayButtonDown());
    }
    CCorvintaApp app(Options(), messages);
    ASSERT_EQ(app.Start(), 0);
    app.ConsoleReady();
    EXPECT_FALSE(app.Player()->Playing());
    for (const UserMessage& m : messages.Shown())
        EXPECT_EQ(m.caption.find("layer"), std::string::npos) << m.text;
}

TEST_F(InFolder, BaseCampIsNeverWrittenOver)
{
    RecordingUserMessages messages;
    messages.Answer(MessageAnswer::Yes);
    {
        CCorvintaApp app(Options({"xml", "BaseCamp"}), messages);
        ASSERT_EQ(app.Start(), 0);
        app.Close();
    }
    const auto shown = messages.Shown();
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const UserMessage& m) {
        return m.text == "Do you want to restore base camp configuration?\nPrevious Corvinta Settings will be lost.";
    }));
    EXPECT_FALSE(fs::exists("BaseCamp.xml"));
    EXPECT_TRUE(fs::exists("Corvinta.xml"));
}

TEST_F(InFolder, AnOrganStartedElsewhereKeepsTheOrganistsFilesInTheConfigurationFolder)
{
    const fs::path configHome = base / "config";
    const fs::path organist = configHome / "corvinta";
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);

    // A render reads nothing of the organist's and makes no folder for it.
    WritePiece("piece.mid");
    RecordingUserMessages messages;
    {
        CCorvintaApp app(Options({"--render", "piece.mid", "--output", "out.wav"}), messages);
        ASSERT_EQ(app.Start(), 0);
        app.Close();
    }
    EXPECT_FALSE(fs::exists(configHome));

    // A first run makes the folder and writes both files there, none here.
    {
        CCorvintaApp app(Options(), messages);
        EXPECT_EQ(app.Organist().folder, organist);
        ASSERT_EQ(app.Start(), 0);
        EXPECT_TRUE(app.Files().noConfigurationFound);
        app.Console().OnCommand(StopTabCommand(7), 1);
        app.Close();
    }
    EXPECT_EQ(fs::file_size(organist / "Corvinta.cbo"), 8104u);
    EXPECT_TRUE(fs::exists(organist / "Corvinta.xml"));
    EXPECT_FALSE(fs::exists("Corvinta.xml"));
    EXPECT_FALSE(fs::exists("Corvinta.cbo"));

    // The next start reads them back, and base camp settings are kept as the
    // organist's own configuration there too.
    {
        RecordingUserMessages again;
        CCorvintaApp app(Options(), again);
        ASSERT_EQ(app.Start(), 0);
        EXPECT_FALSE(app.Files().noConfigurationFound);
        EXPECT_TRUE(app.Console().registration.Test(7));
        app.Close();
    }
    RecordingUserMessages restore;
    restore.Answer(MessageAnswer::Yes);
    {
        CCorvintaApp app(Options({"xml", "BaseCamp"}), restore);
        ASSERT_EQ(app.Start(), 0);
        EXPECT_FALSE(app.Console().registration.Test(7));
        app.Close();
    }
    EXPECT_FALSE(fs::exists("Corvinta.xml"));
    EXPECT_FALSE(fs::exists("BaseCamp.xml"));
    RecordingUserMessages third;
    CCorvintaApp app(Options(), third);
    ASSERT_EQ(app.Start(), 0);
    EXPECT_FALSE(app.Console().registration.Test(7));
}

// A short piece: draw the Solo Tibia by its default controller, play a
// phrase on the Solo, then a chord on the Accompaniment and the Pedal.
void WritePiece(const std::string& path)
{
    test::WriteTake(path, {{0, ShortMessage(0xBF, 81, 7)},
                           {0, ShortMessage(0xBF, 81, 47)},
                           {500, ShortMessage(0x90, 60, 100)},
                           {1000, ShortMessage(0x80, 60, 0)},
                           {1000, ShortMessage(0x91, 48, 90)},
                           {1500, ShortMessage(0x81, 48, 0)}});
}

// The loudness of a 16-bit stereo WAV between two times, both channels (the
// Solo chamber is panned right, the Main chamber left).
double Rms(const std::string& wav, double from, double to)
{
    std::ifstream in(wav, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const size_t data = 44;
    double sum = 0;
    size_t count = 0;
    for (size_t sampleIndex = static_cast<size_t>(from * 44100) * 2; sampleIndex < static_cast<size_t>(to * 44100) * 2;
         ++sampleIndex) {
        const size_t at = data + sampleIndex * 2;
        if (at + 2 > bytes.size())
            break;
        const auto sample = static_cast<int16_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
        sum += double(sample) * sample;
        ++count;
    }
    return count ? std::sqrt(sum / count) : 0;
}

TEST_F(InFolder, RenderingPlaysAFileThroughTheOrganAndLeavesTheOrganistsFilesAlone)
{
    fs::create_directories("data");
    fs::create_symlink("/usr/share/sounds/sf2/TimGM6mb.sf2", "data/Corvinta.sf2");
    ::setenv("CORVINTA_DATA_DIR", (folder / "data").c_str(), 1);
    WritePiece("piece.mid");
    // The organist's own files, which a render does not read unless named.
    std::ofstream("Corvinta.xml") << "not a configuration";

    RecordingUserMessages messages;
    {
        CCorvintaApp app(Options({"--render", "piece.mid", "--output", "out.wav", "--midi-log", "log.txt"}), messages);
        ASSERT_EQ(app.Start(), 0);
        app.ConsoleReady();
        ASSERT_EQ(RenderOffline(app), 0);
        app.Close();
    }
    ::unsetenv("CORVINTA_DATA_DIR");
    for (const UserMessage& m : messages.Shown()) {
        EXPECT_NE(m.icon, MessageIcon::Warning) << m.text;
        EXPECT_EQ(m.text.find("Corvinta.xml"), std::string::npos) << m.text;
        EXPECT_EQ(m.text.find("Corvinta.cbo"), std::string::npos) << m.text;
    }
    std::ifstream config("Corvinta.xml");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(config), {}), "not a configuration");
    EXPECT_FALSE(fs::exists("Corvinta.cbo"));

    // Silence before the first note, sound while it plays (0.5 s to 1 s).
    EXPECT_LT(Rms("out.wav", 0.0, 0.45), 1.0);
    EXPECT_GT(Rms("out.wav", 0.6, 0.9), 200.0);

    std::ifstream log("log.txt");
    std::vector<std::string> notes;
    for (std::string line; std::getline(log, line);)
        if (line.find(" fluidsynth 9") != std::string::npos)
            notes.push_back(line);
    // At 120 beats a minute, on the beats, within one 64-frame block.
    struct Expected {
        int ms;
        const char* rest;
    } expected[] = {{500, "6 fluidsynth 96 3c 7f"}, {1000, "6 fluidsynth 96 3c 00"},
                    {1000, "0 fluidsynth 90 30 7f"}, {1500, "0 fluidsynth 90 30 00"}};
    ASSERT_EQ(notes.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const size_t space = notes[i].find(' ');
        EXPECT_NEAR(std::stoi(notes[i].substr(0, space)), expected[i].ms, 2) << notes[i];
        EXPECT_EQ(notes[i].substr(space + 1), expected[i].rest);
    }
}

} // namespace
