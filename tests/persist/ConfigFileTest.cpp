// The configuration file: what the writer produces, that it reads back
// unchanged, and how the reader treats files that are not what it wrote.

#include "FailingWrites.h"
#include "TempDir.h"
#include "WithoutPermissionOverride.h"

#include "organ/Console.h"
#include "persist/ConfigFile.h"
#include "persist/ConfigStartup.h"
#include "persist/DeviceResolution.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corvinta;
using namespace corvinta::test;

namespace {

const std::vector<std::string> kInputs = {"USB Keys", "Pedals & <Co>", "Spare"};
const std::vector<std::string> kOutputs = {"Sound Module \"A\"", "Merge Box"};

// A console built the way start-up builds it, reading `path` if given.
struct Organ {
    RecordingUserMessages messages;
    CConsole console{messages};
    ConfigLoadResult loaded = ConfigLoadResult::Ok;

    explicit Organ(const std::string& path = {}, std::function<void(CConsole&)> before = {})
    {
        console.inputDevicesPresent = kInputs;
        console.outputDevicesPresent = kOutputs;
        ConsoleBuildSteps steps;
        steps.readConfiguration = [&](CConsole& c) {
            if (before)
                before(c);
            if (!path.empty())
                loaded = CConfigFile::Load(path, c, CConfigFile::kSizeLimit);
        };
        steps.resolveDevices = ResolveConsoleDevices;
        console.Build(steps);
    }
};

// Changes every kind of value the file holds away from its default.
void Customise(CConsole& c)
{
    OrganSettings& s = c.Settings();
    c.inputDevicesInUse = {1, 0};
    s.divisions[0].deviceId = 1;
    s.divisions[2].deviceId = 0;
    s.divisions[0].transpose = -5;
    s.divisions[4].lowNote = 40;
    s.divisions[6].channel = 9;
    s.ranks[3].deviceId = 0;
    s.ranks[3].channel = 4;
    s.ranks[3].patch2 = 7;
    s.ranks[kMergedOutIndex].name = "Merge Box";
    s.console.mergedOutEnabled = true;
    s.soundFonts = {{"Organs & <More>.sf2", 25}, {"/tmp/second.sf2", 0}};
    s.console.memLevel = 7;
    s.console.pistonSound = 64;
    s.console.useCrescendo = true;
    s.console.tremoloMethod = uint8_t(TremoloMethod::ModulationController);
    s.synth.gain = 0.75;
    s.synth.chorusType = int(ChorusType::Triangle);
    s.calibration[1] = {10, 100};
    c.useDefaultAssignments = false;
    c.registration = ItemSet::FromRanges({{3, 3}, {70, 70}, {99, 99}});
    AssignmentMaps& maps = c.assignments.device;
    maps.controllers.Insert(ControlCode(2, 20, 127), StopItemCode(2, 5, true));
    maps.controllers.Remove(StopItemCode(2, 5, false));
    maps.controllers.Insert(ControlCode(kControlEntry, 4, kAnyValue), AuxItemCode(kSwellSolo));
    maps.programs.Insert(ControlCode(0, 9, 0), PistonItemCode(5, 2));
    maps.programs.Remove(PistonItemCode(kFirstSpecialButtonId + 8));
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ConfigFile, DefaultFileHasTheFixedLineShapes)
{
    Organ organ;
    const std::string text = CConfigFile::Format(organ.console, 511);
    EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<settings version=\"511\">\r\n"
                                 "\t<input-devices>\r\n\t\t<device id=\"0\">USB Keys</device>\r\n\t</input-devices>\r\n\t<divisions>\r\n\t\t<division id=\"0\">\r\n"
                                 "\t\t\t<device-id></device-id>\r\n\t\t\t<channel>0</channel>\r\n"));
    for (const char* line : {
             "\t\t\t\t<stop id=\"0\">\r\n\t\t\t\t\t<msg on=\"true\" div=\"aux\" num=\"81\" val=\"0\"/>\r\n"
             "\t\t\t\t\t<msg on=\"false\" div=\"aux\" num=\"80\" val=\"0\"/>\r\n\t\t\t\t</stop>\r\n",
             "\t\t<division id=\"aux\">\r\n\t\t\t<device-id></device-id>\r\n\t\t\t<channel>15</channel>\r\n",
             "\t\t\t<second_touch_method>2</second_touch_method>\r\n\t\t\t<pressure_threshold>0</pressure_threshold>\r\n\t\t</division>\r\n",
             "\t\t<rank id=\"16\">\r\n\t\t\t<device>Corvinta Fluidsynth</device>\r\n\t\t\t<channel>16</channel>\r\n",
             "\t\t<merged-out type=\"default\">none</merged-out>\r\n\t\t<tabstate id=\"0\">0</tabstate>\r\n",
             "\t\t\t<trem id=\"4\">\r\n\t\t\t\t<msg on=\"true\" div=\"aux\" num=\"81\" val=\"99\"/>\r\n",
             "\t\t\t<auxctl id=\"0\">\r\n\t\t\t\t<msg div=\"aux\" num=\"11\" closed=\"0\" open=\"127\"/>\r\n\t\t\t</auxctl>\r\n",
             "\t\t\t<auxctl id=\"3\">\r\n\t\t\t\t<msg div=\"aux\" num=\"0\"/>\r\n",
             "\t\t<pistons>\r\n\t\t\t<pistonsound>95</pistonsound>\r\n\t\t\t<piston id=\"0\">\r\n"
             "\t\t\t\t<msg div=\"aux\" offset=\"0\" num=\"0\"/>\r\n\t\t\t\t<msg div=\"aux\" offset=\"1\" num=\"23\"/>\r\n",
             "\t\t\t<piston id=\"127\">\r\n\t\t\t\t<msg div=\"aux\" offset=\"0\" num=\"127\"/>\r\n\t\t\t</piston>\r\n\t\t</pistons>\r\n\t</console>\r\n",
             "\t\t<soundfont>\r\n\t\t\t<path>Corvinta.sf2</path>\r\n\t\t\t<offset>25</offset>\r\n\t\t</soundfont>\r\n",
             "\t<property name=\"tremolo_method\">patch</property>\r\n\t<property name=\"velocity_mask\">255</property>\r\n",
             "\t<property name=\"fluidsynth_gain\">0.200</property>\r\n\t<property name=\"fluidsynth_samplerate\">44100.000</property>\r\n",
             "\t<property name=\"fluidsynth_chorus_type\">sine</property>\r\n</settings>\r\n"})
        EXPECT_TRUE(Contains(text, line)) << line;
    EXPECT_TRUE(text.ends_with("</settings>\r\n"));
}

TEST(ConfigFile, MergedOutputOnAndOffSurvivesSaveAndLoad)
{
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "on" : "off");
        TempDir dir;
        const std::string path = dir.File("c.xml");
        {
            Organ organ;
            organ.console.Settings().console.mergedOutEnabled = on;
            organ.console.Settings().ranks[kMergedOutIndex].deviceId = 1;
            organ.console.Settings().ranks[kMergedOutIndex].name = "Merge Box";
            ASSERT_TRUE(CConfigFile::Save(path, organ.console, 511));
        }
        EXPECT_TRUE(Contains(ReadFile(path), on ? ">Merge Box</merged-out>" : ">none</merged-out>"));
        // Read over a console where it is the other way round.
        Organ reread(path, [on](CConsole& c) {
            c.Settings().console.mergedOutEnabled = !on;
            c.Settings().ranks[kMergedOutIndex].name = "Sound Module \"A\"";
        });
        ASSERT_EQ(reread.loaded, ConfigLoadResult::Ok);
        EXPECT_EQ(reread.console.Settings().console.mergedOutEnabled, on);
        EXPECT_EQ(reread.console.Settings().ranks[kMergedOutIndex].deviceId, on ? 1 : kNoDevice);
        EXPECT_EQ(reread.console.Settings().ranks[kMergedOutIndex].name, on ? "Merge Box" : "");
    }
}

TEST(ConfigFile, EverySettingSurvivesSaveAndLoadByteForByte)
{
    TempDir dir;
    const std::string first = dir.File("first.xml"), second = dir.File("second.xml");
    {
        Organ organ;
        Customise(organ.console);
        ASSERT_TRUE(CConfigFile::Save(first, organ.console, 511));
        ASSERT_TRUE(CConfigFile::Save(second, organ.console, 511));
        EXPECT_EQ(ReadFile(first), ReadFile(second)) << "saving twice without changes";
    }
    const std::string written = ReadFile(first);
    EXPECT_TRUE(Contains(written, "\t\t<device id=\"0\">Pedals &amp; &lt;Co&gt;</device>\r\n"));
    EXPECT_TRUE(Contains(written, "<path>Organs &amp; &lt;More&gt;.sf2</path>"));
    EXPECT_TRUE(Contains(written, "<device>Sound Module &quot;A&quot;</device>"));

    Organ reread(first);
    ASSERT_EQ(reread.loaded, ConfigLoadResult::Ok);
    const CConsole& c = reread.console;
    EXPECT_EQ(c.Settings().divisions[0].deviceId, 1);
    EXPECT_EQ(c.Settings().divisions[2].deviceId, 0);
    EXPECT_EQ(c.Settings().divisions[1].deviceId, kNoDevice);
    EXPECT_EQ(c.inputDevicesInUse, (std::vector<uint16_t>{1, 0}));
    EXPECT_EQ(c.Settings().ranks[3].deviceId, 0);
    EXPECT_EQ(c.Settings().ranks[3].patch2, 7);
    EXPECT_EQ(c.Settings().soundFonts.size(), 2u);
    EXPECT_EQ(c.Settings().soundFonts[0].path, "Organs & <More>.sf2");
    EXPECT_EQ(c.Settings().console.memLevel, 7);
    EXPECT_TRUE(c.Settings().console.useCrescendo);
    EXPECT_EQ(c.Settings().calibration[1].minimum, 10);
    EXPECT_FALSE(c.useDefaultAssignments);
    EXPECT_EQ(c.registration, ItemSet::FromRanges({{3, 3}, {70, 70}, {99, 99}}));
    EXPECT_EQ(c.assignments.device.controllers.ControlFor(StopItemCode(2, 5, true)), ControlCode(2, 20, 127));
    EXPECT_FALSE(c.assignments.device.controllers.ControlFor(StopItemCode(2, 5, false)));
    EXPECT_EQ(c.assignments.device.programs.ControlFor(PistonItemCode(5, 2)), ControlCode(0, 9, 0));

    ASSERT_TRUE(CConfigFile::Save(second, reread.console, 511));
    EXPECT_EQ(ReadFile(second), written);
}

TEST(ConfigFile, ReferenceToAnAbsentDeviceOutlivesTheSession)
{
    TempDir dir;
    const std::string path = dir.File("c.xml");
    {
        Organ organ;
        Customise(organ.console);
        ASSERT_TRUE(CConfigFile::Save(path, organ.console, 511));
    }
    const std::string original = ReadFile(path);
    // Started once without the pedal interface, then saved.
    Organ without(path, [](CConsole& c) { c.inputDevicesPresent = {"USB Keys"}; c.outputDevicesPresent = {}; });
    EXPECT_EQ(without.console.Settings().divisions[0].deviceId, kNoDevice);
    ASSERT_TRUE(CConfigFile::Save(path, without.console, 511));
    Organ back(path);
    EXPECT_EQ(back.console.Settings().divisions[0].deviceId, 1);
    EXPECT_EQ(back.console.Settings().ranks[3].deviceId, 0);
}

// A file of a given length: the default file padded with white space.
std::string FileOfSize(size_t size, const std::string& body)
{
    std::string text = "<settings>" + body;
    const std::string tail = "</settings>";
    text.append(size - text.size() - tail.size(), ' ');
    return text + tail;
}

struct BadFileCase {
    const char* name;
    std::string content;
    ConfigLoadResult result;
    std::function<void(CConsole&)> check;
};

TEST(ConfigFile, FilesNotAsWrittenTable)
{
    const std::string crescendoOn = "<property name=\"use_crescendo\">true</property>";
    const std::vector<BadFileCase> cases = {
        {"exactly the size limit", FileOfSize(50000, crescendoOn), ConfigLoadResult::Ok,
         [](CConsole& c) { EXPECT_TRUE(c.Settings().console.useCrescendo); }},
        {"one byte over the limit", FileOfSize(50001, crescendoOn), ConfigLoadResult::TooBig,
         [](CConsole& c) { EXPECT_FALSE(c.Settings().console.useCrescendo); }},
        {"wrong root", "<config>" + crescendoOn + "</config>", ConfigLoadResult::Corrupted,
         [](CConsole& c) { EXPECT_FALSE(c.Settings().console.useCrescendo); }},
        {"not XML", "settings", ConfigLoadResult::Corrupted, [](CConsole&) {}},
        {"property nested, earlier values kept",
         "<settings>" + crescendoOn + "<console><property name=\"velocity_mask\">7</property></console></settings>",
         ConfigLoadResult::Corrupted,
         [](CConsole& c) {
             EXPECT_TRUE(c.Settings().console.useCrescendo);
             EXPECT_EQ(c.Settings().console.velocityMask, 255);
         }},
        {"trems one level too deep", "<settings><console><memlevel>3</memlevel><x><trems/></x></console></settings>",
         ConfigLoadResult::Corrupted, [](CConsole& c) { EXPECT_EQ(c.Settings().console.memLevel, 3); }},
        {"too deep", "<settings><console><a><b><c><d><e/></d></c></b></a></console></settings>",
         ConfigLoadResult::Corrupted, [](CConsole&) {}},
        {"unlisted elements ignored", "<settings><console><colour>red</colour><memlevel>4</memlevel></console></settings>",
         ConfigLoadResult::Ok, [](CConsole& c) { EXPECT_EQ(c.Settings().console.memLevel, 4); }},
        {"division with only channel",
         "<settings><divisions><division id=\"2\"><channel>5</channel></division></divisions></settings>",
         ConfigLoadResult::Ok,
         [](CConsole& c) {
             const DIVSETTINGS& d = c.Settings().divisions[2];
             EXPECT_EQ(d.channel, 5);
             EXPECT_EQ(d.lowNote, 0);
             EXPECT_EQ(d.highNote, 127);
             EXPECT_EQ(d.transpose, 0);
             EXPECT_EQ(d.secondTouchMethod, 2);
             EXPECT_EQ(d.pressureThreshold, 0);
         }},
        {"division aux is the control entry; out-of-range id ignored",
         "<settings><divisions><division id=\"aux\"><channel>3</channel></division>"
         "<division id=\"9\"><channel>4</channel></division></divisions></settings>",
         ConfigLoadResult::Ok, [](CConsole& c) { EXPECT_EQ(c.Settings().divisions[6].channel, 3); }},
        {"rank without channel keeps it",
         "<settings><ranks><rank id=\"4\"><volume>50</volume></rank></ranks></settings>", ConfigLoadResult::Ok,
         [](CConsole& c) {
             EXPECT_EQ(c.Settings().ranks[4].channel, 4);
             EXPECT_EQ(c.Settings().ranks[4].volume, 50);
         }},
        {"boolean readings",
         "<settings><property name=\"use_lowpass\">1</property><property name=\"fluidsynth_chorus\">1</property>"
         "<property name=\"use_single_swell\">false</property><property name=\"fluidsynth_chorus_type\">Triangle</property>"
         "<property name=\"tremolo_method\">mod</property><property name=\"no_such\">1</property></settings>",
         ConfigLoadResult::Ok,
         [](CConsole& c) {
             EXPECT_TRUE(c.Settings().console.useLowpass);
             EXPECT_FALSE(c.Settings().synth.chorusOn);
             EXPECT_FALSE(c.Settings().console.useSingleSwell);
             EXPECT_EQ(c.Settings().synth.chorusType, int(ChorusType::Sine));
             EXPECT_EQ(c.Settings().console.tremoloMethod, uint8_t(TremoloMethod::ModulationController));
         }},
        {"velocity mask 300, pizzicato 20", "<settings><property name=\"velocity_mask\">300</property>"
                                             "<property name=\"pizzicato_length\">20</property></settings>",
         ConfigLoadResult::Ok,
         [](CConsole& c) {
             EXPECT_EQ(c.Settings().console.velocityMask, 255);
             EXPECT_EQ(c.Settings().console.pizzicatoLength, 100);
         }},
        {"pizzicato 2000", "<settings><property name=\"pizzicato_length\">2000</property></settings>", ConfigLoadResult::Ok,
         [](CConsole& c) { EXPECT_EQ(c.Settings().console.pizzicatoLength, 100); }},
        {"pizzicato 1000 kept", "<settings><property name=\"pizzicato_length\">1000</property></settings>",
         ConfigLoadResult::Ok, [](CConsole& c) { EXPECT_EQ(c.Settings().console.pizzicatoLength, 1000); }},
        {"msg attributes out of range",
         "<settings><divisions>"
         "<division id=\"0\"><stops><stop id=\"1\"><msg on=\"true\" div=\"9\" num=\"5\" val=\"5\"/></stop>"
         "<stop id=\"36\"><msg on=\"true\" div=\"0\" num=\"5\" val=\"5\"/></stop>"
         "<stop id=\"2\"><msg on=\"false\" div=\"3\" num=\"300\" val=\"6\"/></stop></stops></division>"
         "<division id=\"aux\"><stops><stop id=\"0\"><msg on=\"true\" div=\"aux\" num=\"9\" val=\"9\"/></stop></stops></division>"
         "</divisions><console>"
         "<trems><trem id=\"1\"><msg on=\"true\" div=\"aux\" num=\"70\" val=\"1\"/></trem></trems>"
         "<auxctls><auxctl id=\"2\"><msg div=\"aux\" num=\"4\" val=\"3\" closed=\"20\" open=\"90\"/></auxctl>"
         "<auxctl id=\"4\"><msg div=\"aux\" num=\"5\"/></auxctl></auxctls>"
         "<pistons><pistonsound>40</pistonsound><piston id=\"3\"><msg div=\"1\" offset=\"7\" num=\"2\"/>"
         "<msg div=\"1\" offset=\"4\" num=\"3\"/></piston><piston id=\"50\"><msg div=\"1\" offset=\"0\" num=\"4\"/></piston>"
         "</pistons></console></settings>",
         ConfigLoadResult::Ok,
         [](CConsole& c) {
             const AssignmentMaps& m = c.assignments.device;
             EXPECT_FALSE(m.controllers.ControlFor(StopItemCode(0, 1, true))) << "div 9";
             EXPECT_FALSE(m.controllers.ControlFor(StopItemCode(0, 1, false))) << "not listed: removed";
             EXPECT_EQ(m.controllers.ControlFor(StopItemCode(0, 3, true)), ControlCode(kControlEntry, 81, 3)) << "not in the file";
             EXPECT_FALSE(m.controllers.ItemsFor(ControlCode(0, 5, 5))) << "stop 36 of the Solo";
             EXPECT_EQ(m.controllers.ControlFor(StopItemCode(0, 2, false)), ControlCode(3, 300 & 0xFF, 6));
             EXPECT_FALSE(m.controllers.ItemsFor(ControlCode(kControlEntry, 9, 9))) << "stop in the aux division";
             EXPECT_EQ(m.controllers.ControlFor(TremItemCode(1, true)), ControlCode(kControlEntry, 70, 1));
             EXPECT_EQ(m.controllers.ControlFor(AuxItemCode(2)), ControlCode(kControlEntry, 4, kAnyValue));
             EXPECT_EQ(c.Settings().calibration[2].minimum, 20);
             EXPECT_EQ(c.Settings().calibration[2].maximum, 90);
             EXPECT_FALSE(m.controllers.ItemsFor(ControlCode(kControlEntry, 5, kAnyValue)));
             EXPECT_EQ(m.programs.ControlFor(PistonItemCode(3, 4)), ControlCode(1, 3, 0));
             EXPECT_FALSE(m.programs.ItemsFor(ControlCode(1, 2, 0))) << "offset 7";
             EXPECT_FALSE(m.programs.ItemsFor(ControlCode(1, 4, 0))) << "piston 50";
             EXPECT_EQ(c.Settings().console.pistonSound, 40);
         }},
        {"no sound font gets the default one", "<settings/>", ConfigLoadResult::Ok,
         [](CConsole& c) {
             ASSERT_EQ(c.Settings().soundFonts.size(), 1u);
             EXPECT_EQ(c.Settings().soundFonts[0].path, "Corvinta.sf2");
             EXPECT_EQ(c.Settings().soundFonts[0].bankOffset, 25);
         }},
        {"numbers beyond any range give the defaults",
         "<settings><property name=\"fluidsynth_gain\">-1e400</property>"
         "<property name=\"fluidsynth_reverb_level\">1.5E+400</property>"
         "<property name=\"fluidsynth_chorus_speed\">100000000000000000000e-420</property>"
         "<property name=\"fluidsynth_reverb_damping\">0.5e-400</property>"
         "<property name=\"fluidsynth_polyphony\">-99999999999999999999</property></settings>",
         ConfigLoadResult::Ok,
         [](CConsole& c) {
             EXPECT_EQ(c.Settings().synth.gain, 0.2);
             EXPECT_EQ(c.Settings().synth.reverbLevel, 1.0);
             EXPECT_EQ(c.Settings().synth.chorusSpeed, 0.0) << "too small is 0";
             EXPECT_EQ(c.Settings().synth.reverbDamping, 0.0);
             EXPECT_EQ(c.Settings().synth.polyphony, 256);
         }},
        {"tabstate words, non-numeric integers", "<settings><console><tabstate id=\"1\">-1</tabstate>"
                                                 "<tabstate id=\"2\">5</tabstate><memlevel>abc</memlevel></console></settings>",
         ConfigLoadResult::Ok,
         [](CConsole& c) {
             EXPECT_EQ(c.registration.Word64(1), ~uint64_t(0));
             EXPECT_EQ(c.Settings().console.memLevel, 0);
         }},
    };
    for (const BadFileCase& test : cases) {
        SCOPED_TRACE(test.name);
        TempDir dir;
        WriteFile(dir.File("c.xml"), test.content);
        Organ organ(dir.File("c.xml"));
        EXPECT_EQ(organ.loaded, test.result);
        test.check(organ.console);
    }
}

TEST(ConfigFile, OmniIsReadAsDeviceZeroWithOneMessage)
{
    TempDir dir;
    WriteFile(dir.File("c.xml"), "<settings><input-devices><device id=\"0\">Spare</device></input-devices><divisions>"
                                 "<division id=\"0\"><device-id>Omni</device-id></division>"
                                 "<division id=\"1\"><device-id>Omni</device-id></division></divisions></settings>");
    Organ organ(dir.File("c.xml"));
    EXPECT_EQ(organ.console.Settings().divisions[0].deviceId, 2);
    EXPECT_EQ(organ.console.Settings().divisions[1].deviceId, 2);
    const auto shown = organ.messages.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Omni is no longer supported for MIDI input.\nSet MIDI input device to actual device in Settings.");
    EXPECT_EQ(shown[0].caption, "MIDI input devices initialization");
}

// An input the file names that is not plugged in is awaited: the organ takes
// it into use when it arrives.
TEST(ConfigFile, InputsAwayAtStartAreAwaited)
{
    TempDir dir;
    WriteFile(dir.File("c.xml"), "<settings><input-devices><device id=\"0\">Keys away</device><device id=\"1\">" +
                                     kInputs[0] + "</device><device id=\"2\">Keys away</device></input-devices></settings>");
    Organ organ(dir.File("c.xml"));
    EXPECT_EQ(organ.console.awaitedInputs, (std::vector<std::string>{"Keys away"}));
    EXPECT_EQ(organ.console.inputDevicesInUse, (std::vector<uint16_t>{0}));

    // A session without it keeps it for the next.
    ASSERT_TRUE(CConfigFile::Save(dir.File("again.xml"), organ.console, CConfigFile::kVersion));
    Organ again(dir.File("again.xml"));
    EXPECT_EQ(again.console.awaitedInputs, (std::vector<std::string>{"Keys away"}));
    EXPECT_EQ(again.console.inputDevicesInUse, (std::vector<uint16_t>{0}));
}

TEST(DeviceResolution, NamesAgainstTheDevicesPresent)
{
    std::vector<DIVSETTINGS> entries(4);
    entries[0].name = "1";
    entries[1].name = "7";  // not in the file's list
    entries[2].name = "2";  // a device no longer present
    entries[2].deviceId = 5;
    const std::map<int, std::string> file = {{1, "B"}, {2, "Gone"}, {3, "B"}, {4, "A"}};
    InputResolution r = ResolveInputDevices(entries, file, {"A", "B"});
    EXPECT_EQ(entries[0].deviceId, 1);
    EXPECT_EQ(entries[1].deviceId, kNoDevice);
    EXPECT_EQ(entries[2].deviceId, 5) << "no match keeps the device id";
    EXPECT_EQ(entries[3].deviceId, kNoDevice);
    EXPECT_FALSE(r.omniFound);
    EXPECT_EQ(r.inUse, (std::vector<uint16_t>{1, 0})) << "B named twice is opened once";

    std::vector<DIVSETTINGS> none(1);
    EXPECT_EQ(ResolveInputDevices(none, {}, {"A", "B"}).inUse, (std::vector<uint16_t>{0}));
    EXPECT_TRUE(ResolveInputDevices(none, {}, {}).inUse.empty());

    std::vector<RNKSETTINGS> ranks(3);
    ranks[0].name = "Out B";
    ranks[1].name = "Corvinta Fluidsynth";
    ranks[1].deviceId = 0;
    ranks[2].name = "Missing";
    ResolveOutputDevices(ranks, {"Out A", "Out B"});
    EXPECT_EQ(ranks[0].deviceId, 1);
    EXPECT_EQ(ranks[1].deviceId, kNoDevice);
    EXPECT_EQ(ranks[2].deviceId, kNoDevice);
}

TEST(ConfigStartup, MessagesForEachLoadResult)
{
    struct Case {
        std::string content; // empty: no file; "/": a folder
        std::string text;
        bool noConfiguration;
    };
    const std::string kept = "\nThe file is kept as '%s.bad' before the settings are saved over it.";
    const std::vector<Case> cases = {
        {"", "Configuration file '%s' is unavailable.\nUse Corvinta Settings to configure the Corvinta.", true},
        {"/", "Configuration file '%s' is unavailable.\nUse Corvinta Settings to configure the Corvinta.", true},
        {std::string(50001, ' '), "Configuration file '%s' is too big and possibly corrupted.\nUse Corvinta Settings to configure the Corvinta." + kept, false},
        {"<x/>", "Configuration file '%s' is corrupted.\nSome or all settings may be incorrect.\nUse Corvinta Settings to configure the Corvinta." + kept, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.content.substr(0, 10));
        TempDir dir;
        std::string name = dir.File("c.xml");
        if (test.content == "/")
            std::filesystem::create_directory(name);
        else if (!test.content.empty())
            WriteFile(name, test.content);
        RecordingUserMessages messages;
        CConsole console(messages);
        const ConfigStartResult result = ReadConfigurationAtStart(console, name);
        EXPECT_EQ(result.noConfigurationFound, test.noConfiguration);
        ASSERT_EQ(messages.Shown().size(), 1u);
        std::string expected = test.text;
        for (size_t at; (at = expected.find("%s")) != std::string::npos;)
            expected.replace(at, 2, name);
        EXPECT_EQ(messages.Shown()[0].text, expected);
        EXPECT_EQ(messages.Shown()[0].caption, "Corvinta Configuration File Initialization");
    }
}

TEST(ConfigStartup, BaseCampIsNeverReadOrWritten)
{
    TempDir dir;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    WriteFile("BaseCamp.xml", "<settings><property name=\"use_crescendo\">true</property></settings>");
    WriteFile("Corvinta.xml", "<settings><property name=\"enable_midi_panic\">true</property></settings>");

    RecordingUserMessages messages;
    messages.Answer(MessageAnswer::Yes);
    CConsole console(messages);
    std::string name = "BaseCamp.xml";
    ReadConfigurationAtStart(console, name);
    EXPECT_FALSE(console.Settings().console.useCrescendo);
    EXPECT_FALSE(console.Settings().console.enableMidiPanic) << "Yes: the built-in settings";
    EXPECT_EQ(messages.Shown()[0].text, "Do you want to restore base camp configuration?\nPrevious Corvinta Settings will be lost.");
    console.Build();
    EXPECT_TRUE(SaveConfigurationAtClose(console, name));
    EXPECT_EQ(name, "Corvinta.xml");
    EXPECT_TRUE(Contains(ReadFile("BaseCamp.xml"), "use_crescendo\">true"));

    RecordingUserMessages no;
    no.Answer(MessageAnswer::No);
    CConsole other(no);
    std::string otherName = "BaseCamp.xml";
    ReadConfigurationAtStart(other, otherName);
    EXPECT_EQ(otherName, "Corvinta.xml");
    EXPECT_FALSE(other.Settings().console.useCrescendo);
    std::filesystem::current_path(cwd);
}

TEST(ConfigSave, FailedWriteLeavesThePreviousFileAndIsReported)
{
    TempDir dir;
    std::string path = dir.File("c.xml");
    Organ organ;
    ASSERT_TRUE(CConfigFile::Save(path, organ.console, 511));
    const std::string before = ReadFile(path);
    organ.console.Settings().console.memLevel = 9;
    {
        FailingWrites full;
        EXPECT_FALSE(SaveConfigurationAtClose(organ.console, path));
    }
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary file left";
    ASSERT_EQ(organ.messages.Shown().size(), 1u);
    EXPECT_EQ(organ.messages.Shown()[0].text, "Cannot create configuration file! Your settings will not be saved.");
    EXPECT_EQ(organ.messages.Shown()[0].caption, "Corvinta Error");
    EXPECT_EQ(organ.messages.Shown()[0].icon, MessageIcon::Warning);

    EXPECT_FALSE(CConfigFile::Save(dir.File("no/such/folder.xml"), organ.console, 511));
}

TEST(ConfigSave, ReplacesTheFileALinkPointsAtAndKeepsItsPermissions)
{
    TempDir dir;
    const std::string target = dir.File("real.xml"), link = dir.File("link.xml");
    WriteFile(target, "old");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(target, link);
    Organ organ;
    ASSERT_TRUE(CConfigFile::Save(link, organ.console, 511));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(ReadFile(target).starts_with("<?xml"));
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A file its owner made read-only stays as it is; a folder that takes no
// new file still gets the settings written into a file it may write.
TEST(ConfigSave, ReadOnlyFileIsKeptAndLockedFolderIsWrittenInPlace)
{
    TempDir dir;
    const std::string readOnly = dir.File("locked.xml");
    WriteFile(readOnly, "mine");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
    Organ organ;
    std::string name = readOnly;
    EXPECT_FALSE(SaveConfigurationAtClose(organ.console, name));
    EXPECT_EQ(ReadFile(readOnly), "mine");
    ASSERT_EQ(organ.messages.Shown().size(), 1u);
    EXPECT_EQ(organ.messages.Shown()[0].text, "Cannot create configuration file! Your settings will not be saved.");

    const std::filesystem::path folder = dir.Path() / "folder";
    std::filesystem::create_directory(folder);
    const std::string inFolder = (folder / "c.xml").string();
    WriteFile(inFolder, std::string(60000, 'x')); // longer than what replaces it
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    {
        WithoutPermissionOverride asOrganist;
        EXPECT_TRUE(CConfigFile::Save(inFolder, organ.console, 511));
        std::string locked = (folder / "locked.xml").string();
        EXPECT_FALSE(CConfigFile::Save(locked, organ.console, 511)) << "no file and no room for one";
    }
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(inFolder), CConfigFile::Format(organ.console, 511));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no other file made";
}

} // namespace
