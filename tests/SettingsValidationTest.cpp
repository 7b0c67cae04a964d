// Validation after a load: each out-of-range value goes back to its default,
// every other value stays as loaded.

#include "organ/Console.h"
#include "organ/Settings.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace corvinta;

namespace {

struct Case {
    const char* what;
    std::function<void(OrganSettings&)> spoil;
    std::function<bool(const OrganSettings&)> healed;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class Validation : public ::testing::TestWithParam<Case> {};

TEST_P(Validation, ResetsOnlyTheBadValue)
{
    OrganSettings settings = DefaultOrganSettings();
    settings.soundFonts.push_back({"a.sf2", 25});
    // A loaded value that must survive next to the bad one.
    settings.divisions[2].lowNote = 40;
    settings.ranks[5].volume = 100;
    settings.synth.polyphony = 512;
    GetParam().spoil(settings);
    ValidateSettings(settings);
    EXPECT_TRUE(GetParam().healed(settings)) << GetParam().what;
    EXPECT_EQ(settings.divisions[2].lowNote, 40);
    EXPECT_EQ(settings.ranks[5].volume, 100);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, Validation,
    ::testing::Values(
        Case{"transpose 30", [](auto& s) { s.divisions[2].transpose = 30; s.divisions[2].highNote = 90; },
             [](auto& s) { return s.divisions[2].transpose == 0 && s.divisions[2].highNote == 90; }},
        Case{"transpose -25", [](auto& s) { s.divisions[0].transpose = -25; },
             [](auto& s) { return s.divisions[0].transpose == 0; }},
        Case{"division channel 16", [](auto& s) { s.divisions[6].channel = 16; },
             [](auto& s) { return s.divisions[6].channel == 0; }},
        Case{"low note 200", [](auto& s) { s.divisions[1].lowNote = 200; }, [](auto& s) { return s.divisions[1].lowNote == 0; }},
        Case{"high note 130", [](auto& s) { s.divisions[1].highNote = 130; }, [](auto& s) { return s.divisions[1].highNote == 127; }},
        Case{"second touch method 3", [](auto& s) { s.divisions[3].secondTouchMethod = 3; },
             [](auto& s) { return s.divisions[3].secondTouchMethod == 2; }},
        Case{"pressure threshold 128", [](auto& s) { s.divisions[3].pressureThreshold = 128; },
             [](auto& s) { return s.divisions[3].pressureThreshold == 0; }},
        Case{"internal synth keeps channel 17", [](auto& s) { s.ranks[4].channel = 17; },
             [](auto& s) { return s.ranks[4].channel == 17; }},
        Case{"external device loses channel 17", [](auto& s) { s.ranks[4].channel = 17; s.ranks[4].deviceId = 2; },
             [](auto& s) { return s.ranks[4].channel == 0; }},
        Case{"negative rank channel", [](auto& s) { s.ranks[1].channel = -3; }, [](auto& s) { return s.ranks[1].channel == 0; }},
        Case{"rank fields", [](auto& s) { s.ranks[0].volume = 128; s.ranks[0].pan = -1; s.ranks[0].bank = 300; s.ranks[0].patch1 = 128; s.ranks[0].patch2 = -5; },
             [](auto& s) { return s.ranks[0].volume == 95 && s.ranks[0].pan == 64 && s.ranks[0].bank == 25 && s.ranks[0].patch1 == 0 && s.ranks[0].patch2 == 0; }},
        Case{"memlevel 100", [](auto& s) { s.console.memLevel = 100; }, [](auto& s) { return s.console.memLevel == 0; }},
        Case{"memlevel 11, above the pistons' levels", [](auto& s) { s.console.memLevel = 11; }, [](auto& s) { return s.console.memLevel == 0; }},
        Case{"memlevel 99", [](auto& s) { s.console.memLevel = 99; }, [](auto& s) { return s.console.memLevel == 0; }},
        Case{"memlevel 10 kept", [](auto& s) { s.console.memLevel = 10; }, [](auto& s) { return s.console.memLevel == 10; }},
        Case{"swell threshold 200", [](auto& s) { s.console.swellThreshold = 200; }, [](auto& s) { return s.console.swellThreshold == 20; }},
        Case{"pizzicato 49 and 1001", [](auto& s) { s.console.pizzicatoLength = 49; }, [](auto& s) { return s.console.pizzicatoLength == 100; }},
        Case{"pizzicato 1000 kept", [](auto& s) { s.console.pizzicatoLength = 1000; }, [](auto& s) { return s.console.pizzicatoLength == 1000; }},
        Case{"sound font offset 128", [](auto& s) { s.soundFonts[0].bankOffset = 128; }, [](auto& s) { return s.soundFonts[0].bankOffset == 0; }},
        Case{"synth numbers", [](auto& s) {
                 s.synth.gain = 11; s.synth.sampleRate = 8000; s.synth.polyphony = 8; s.synth.bufferCount = 65; s.synth.bufferSize = 32;
             },
             [](auto& s) {
                 return s.synth.gain == 0.2 && s.synth.sampleRate == 44100 && s.synth.polyphony == 256 && s.synth.bufferCount == 8 && s.synth.bufferSize == 512;
             }},
        Case{"reverb and chorus", [](auto& s) {
                 s.synth.reverbRoomSize = 1.5; s.synth.reverbDamping = -0.1; s.synth.reverbWidth = 2; s.synth.reverbLevel = kNaN;
                 s.synth.chorusVoiceCount = 0; s.synth.chorusLevel = 3.5; s.synth.chorusSpeed = 13; s.synth.chorusDepth = 51;
             },
             [](auto& s) {
                 return s.synth.reverbRoomSize == 0.2 && s.synth.reverbDamping == 0 && s.synth.reverbWidth == 0.5 && s.synth.reverbLevel == 1.0 &&
                        s.synth.chorusVoiceCount == 3 && s.synth.chorusLevel == 2.0 && s.synth.chorusSpeed == 0.3 && s.synth.chorusDepth == 8.0;
             }},
        Case{"inverted calibration", [](auto& s) { s.calibration[1] = {100, 20}; s.calibration[2] = {10, 90}; },
             [](auto& s) { return s.calibration[1].minimum == 0 && s.calibration[1].maximum == 127 && s.calibration[2].minimum == 10; }}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

// The configuration names a rank's output device; only resolving the name
// tells whether the rank plays on the internal synthesizer or outside.
TEST(DeviceValidation, AnExternalRankLosesChannel17OnceItsDeviceIsKnown)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [](CConsole& c) { c.RankSettings()[4].channel = c.RankSettings()[5].channel = 17; };
    steps.resolveDevices = [](CConsole& c) { c.RankSettings()[4].deviceId = 1; }; // rank 5 stays internal
    console.Build(steps);
    EXPECT_EQ(console.RankSettings()[4].channel, 0);
    EXPECT_EQ(console.RankSettings()[5].channel, 17);
}

} // namespace
