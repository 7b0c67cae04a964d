// Reading the configuration file: one pass of expat over the whole file, each
// element applied to the console when it closes. No document tree is kept.

#include "organ/Console.h"
#include "persist/ConfigFile.h"
#include "persist/FileReading.h"
#include "persist/TextNumbers.h"

#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

namespace corvinta {

namespace {

struct StructureRule {
    int depth;
    std::string_view name;
    std::string_view parents[4];
};

// Elements deeper than the root: which parent each may have at its depth.
// A name not listed for a depth from 2 to 5 is accepted and ignored.
constexpr StructureRule kRules[] = {
    {2, "device", {"input-devices"}},
    {2, "division", {"divisions"}},
    {2, "rank", {"ranks"}},
    {2, "tabstate", {"console"}},
    {2, "memlevel", {"console"}},
    {2, "merged-out", {"console"}},
    {2, "soundfont", {"soundfonts"}},
    {3, "device-id", {"division"}},
    {3, "low-note", {"division"}},
    {3, "high-note", {"division"}},
    {3, "transpose", {"division"}},
    {3, "device", {"rank"}},
    {3, "channel", {"division", "rank"}},
    {3, "stops", {"division"}},
    {3, "trems", {"console"}},
    {3, "auxctls", {"console"}},
    {3, "pistons", {"console"}},
    {3, "volume", {"rank"}},
    {3, "pan", {"rank"}},
    {3, "bank", {"rank"}},
    {3, "patch1", {"rank"}},
    {3, "patch2", {"rank"}},
    {3, "path", {"soundfont"}},
    {3, "offset", {"soundfont"}},
    {4, "stop", {"stops"}},
    {4, "trem", {"trems"}},
    {4, "auxctl", {"auxctls"}},
    {4, "piston", {"pistons"}},
    {4, "pistonsound", {"pistons"}},
    {5, "msg", {"stop", "trem", "auxctl", "piston"}},
};

// The root and the sections under it belong only where they stand.
constexpr std::string_view kTopLevel[] = {"input-devices", "divisions", "ranks", "console", "soundfonts", "property"};

bool IsTopLevelName(std::string_view name)
{
    for (auto top : kTopLevel)
        if (name == top)
            return true;
    return false;
}

bool StructureAllows(std::string_view name, int depth, std::string_view parent)
{
    if (depth == 0)
        return name == "settings";
    if (depth == 1)
        return parent == "settings" && IsTopLevelName(name);
    if (depth >= 6 || name == "settings" || IsTopLevelName(name))
        return false;
    for (const StructureRule& rule : kRules) {
        if (rule.depth != depth || rule.name != name)
            continue;
        for (auto allowed : rule.parents)
            if (!allowed.empty() && allowed == parent)
                return true;
        return false;
    }
    return true;
}

struct OpenElement {
    std::string name;
    std::string text;
    std::vector<std::pair<std::string, std::string>> attributes;

    // An absent attribute reads as empty text.
    const std::string& Attribute(std::string_view key) const
    {
        static const std::string kEmpty;
        for (const auto& [k, v] : attributes)
            if (k == key)
                return v;
        return kEmpty;
    }
};

// Collect the children of the division, rank or sound font that is open.
struct DivisionRecord {
    std::string device;
    int32_t channel = -1;
    uint8_t lowNote = 0;
    uint8_t highNote = 127;
    int32_t transpose = 0;
    uint8_t secondTouchMethod = 2;
    uint8_t pressureThreshold = 0;
};

struct RankRecord {
    std::string device;
    int32_t channel = -1, volume = -1, pan = -1, bank = -1, patch1 = -1, patch2 = -1;
};

struct SoundFontRecord {
    std::string path;
    int32_t offset = -1;
};

class ConfigReader {
public:
    explicit ConfigReader(CConsole& console) : console_(console) {}

    ConfigLoadResult Parse(const char* data, size_t size)
    {
        std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("UTF-8"), &XML_ParserFree);
        if (!parser)
            return ConfigLoadResult::Corrupted;
        parser_ = parser.get();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &ConfigReader::OnStart, &ConfigReader::OnEnd);
        XML_SetCharacterDataHandler(parser_, &ConfigReader::OnText);
        // Expat takes the length as int; the size limit keeps files far below it.
        const bool ok = size <= 0x7FFFFFFF && XML_Parse(parser_, data, static_cast<int>(size), XML_TRUE) == XML_STATUS_OK;
        return ok && depth_ >= 0 ? ConfigLoadResult::Ok : ConfigLoadResult::Corrupted;
    }

private:
    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes)
    {
        static_cast<ConfigReader*>(self)->Start(name, attributes);
    }
    static void XMLCALL OnEnd(void* self, const XML_Char* name) { static_cast<ConfigReader*>(self)->End(name); }
    static void XMLCALL OnText(void* self, const XML_Char* text, int length)
    {
        auto* reader = static_cast<ConfigReader*>(self);
        if (reader->depth_ >= 0 && !reader->stack_.empty())
            reader->stack_.back().text.append(text, static_cast<size_t>(length));
    }

    void Stop()
    {
        XML_StopParser(parser_, XML_FALSE);
        depth_ = -1;
    }

    void Start(const char* name, const char** attributes)
    {
        if (depth_ < 0)
            return;
        OpenElement element;
        element.name = name;
        for (int i = 0; attributes[i] && attributes[i + 1]; i += 2)
            element.attributes.emplace_back(attributes[i], attributes[i + 1]);
        const std::string parent = stack_.empty() ? std::string() : stack_.back().name;
        stack_.push_back(std::move(element));
        if (!StructureAllows(stack_.back().name, depth_, parent))
            Stop();
        else
            ++depth_;
    }

    void End(const char* name)
    {
        if (depth_ < 0 || stack_.empty())
            return;
        if (stack_.back().name != name) {
            Stop();
            return;
        }
        Apply(stack_.back());
        stack_.pop_back();
        --depth_;
    }

    const OpenElement* Parent() const { return stack_.size() >= 2 ? &stack_[stack_.size() - 2] : nullptr; }
    const std::string& ParentName() const
    {
        static const std::string kNone;
        return Parent() ? Parent()->name : kNone;
    }

    void Apply(const OpenElement& e);
    void ApplyDivision(const OpenElement& e);
    void ApplyRank(const OpenElement& e);
    void ApplyMergedOut(const OpenElement& e);
    void ApplyMsg(const OpenElement& e);
    void Assign(AssignmentMap& map, uint32_t controlCode, uint32_t itemCode);
    void ApplyAssignable(const OpenElement& e);
    void ApplyProperty(const OpenElement& e);

    CConsole& console_;
    XML_Parser parser_ = nullptr;
    int depth_ = 0;
    std::vector<OpenElement> stack_;
    DivisionRecord division_;
    RankRecord rank_;
    SoundFontRecord soundFont_;
    std::vector<uint32_t> assignedHere_; // item codes given a message inside the open item element
};

void ConfigReader::Apply(const OpenElement& e)
{
    const std::string& n = e.name;
    const std::string& parent = ParentName();
    const auto byte = [&] { return static_cast<uint8_t>(ReadInt(e.text)); };
    if (n == "device") {
        if (parent == "input-devices")
            console_.fileInputDevices[ReadInt(e.Attribute("id"))] = e.text;
        else
            rank_.device = e.text;
    } else if (n == "device-id") {
        division_.device = e.text;
    } else if (n == "low-note") {
        division_.lowNote = byte();
    } else if (n == "high-note") {
        division_.highNote = byte();
    } else if (n == "transpose") {
        division_.transpose = ReadInt(e.text);
    } else if (n == "second_touch_method") {
        division_.secondTouchMethod = byte();
    } else if (n == "pressure_threshold") {
        division_.pressureThreshold = byte();
    } else if (n == "channel") {
        (parent == "division" ? division_.channel : rank_.channel) = ReadInt(e.text);
    } else if (n == "volume") {
        rank_.volume = ReadInt(e.text);
    } else if (n == "pan") {
        rank_.pan = ReadInt(e.text);
    } else if (n == "bank") {
        rank_.bank = ReadInt(e.text);
    } else if (n == "patch1") {
        rank_.patch1 = ReadInt(e.text);
    } else if (n == "patch2") {
        rank_.patch2 = ReadInt(e.text);
    } else if (n == "division") {
        ApplyDivision(e);
    } else if (n == "rank") {
        ApplyRank(e);
    } else if (n == "merged-out") {
        ApplyMergedOut(e);
    } else if (n == "tabstate") {
        const std::string& id = e.Attribute("id");
        if (id == "0" || id == "1") {
            uint64_t words[2] = {console_.registration.Word64(0), console_.registration.Word64(1)};
            words[id == "1"] = static_cast<uint64_t>(ReadInt64(e.text));
            console_.registration = ItemSet::FromWords32(uint32_t(words[0]), uint32_t(words[0] >> 32),
                                                         uint32_t(words[1]), uint32_t(words[1] >> 32));
        }
    } else if (n == "memlevel") {
        console_.Settings().console.memLevel = byte();
    } else if (n == "pistonsound") {
        console_.Settings().console.pistonSound = ReadInt(e.text);
    } else if (n == "path") {
        soundFont_.path = e.text;
    } else if (n == "offset") {
        soundFont_.offset = ReadInt(e.text);
    } else if (n == "soundfont") {
        console_.Settings().soundFonts.push_back({soundFont_.path, soundFont_.offset});
        soundFont_ = {};
    } else if (n == "msg") {
        ApplyMsg(e);
    } else if (n == "stop" || n == "trem" || n == "auxctl" || n == "piston") {
        ApplyAssignable(e);
    } else if (n == "property") {
        ApplyProperty(e);
    }
}

void ConfigReader::ApplyDivision(const OpenElement& e)
{
    const std::string& id = e.Attribute("id");
    const int index = id == "aux" ? kDivisionCount : ReadInt(id);
    auto& entries = console_.Settings().divisions;
    if (index >= 0 && static_cast<size_t>(index) < entries.size()) {
        DIVSETTINGS& entry = entries[static_cast<size_t>(index)];
        entry.name = division_.device;
        entry.lowNote = division_.lowNote;
        entry.highNote = division_.highNote;
        entry.transpose = division_.transpose;
        entry.secondTouchMethod = division_.secondTouchMethod;
        entry.pressureThreshold = division_.pressureThreshold;
        if (division_.channel >= 0)
            entry.channel = division_.channel;
    }
    division_ = {};
}

void ConfigReader::ApplyRank(const OpenElement& e)
{
    const int index = ReadInt(e.Attribute("id"));
    auto& ranks = console_.Settings().ranks;
    if (index >= 0 && static_cast<size_t>(index) < ranks.size()) {
        RNKSETTINGS& entry = ranks[static_cast<size_t>(index)];
        entry.name = rank_.device;
        const auto keep = [](int32_t& field, int32_t value) {
            if (value >= 0)
                field = value;
        };
        keep(entry.channel, rank_.channel);
        keep(entry.volume, rank_.volume);
        keep(entry.pan, rank_.pan);
        keep(entry.bank, rank_.bank);
        keep(entry.patch1, rank_.patch1);
        keep(entry.patch2, rank_.patch2);
    }
    rank_ = {};
}

void ConfigReader::ApplyMergedOut(const OpenElement& e)
{
    console_.useDefaultAssignments = e.Attribute("type") != "configured";
    const bool enabled = e.text != "none";
    console_.Settings().console.mergedOutEnabled = enabled;
    auto& ranks = console_.Settings().ranks;
    if (ranks.size() > static_cast<size_t>(kMergedOutIndex))
        ranks[kMergedOutIndex].name = enabled ? e.text : std::string();
}

void ConfigReader::ApplyMsg(const OpenElement& e)
{
    const OpenElement* parent = Parent();
    if (!parent)
        return;
    const std::string& div = e.Attribute("div");
    int entry = kControlEntry;
    if (div != "aux") {
        entry = ReadInt(div);
        if (entry < 0 || entry >= kDivisionCount)
            return;
    }
    const bool on = e.Attribute("on") == "true";
    const auto num = static_cast<uint8_t>(ReadInt(e.Attribute("num")));
    const auto val = static_cast<uint8_t>(ReadInt(e.Attribute("val")));
    const int id = ReadInt(parent->Attribute("id"));
    AssignmentMaps& maps = console_.assignments.device;

    if (parent->name == "stop") {
        const OpenElement* division = nullptr;
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
            if (it->name == "division") {
                division = &*it;
                break;
            }
        if (!division || division->Attribute("id") == "aux")
            return;
        const int d = ReadInt(division->Attribute("id"));
        if (d < 0 || d >= kDivisionCount || id < 0 || id >= kDivisions[d].stopCount)
            return;
        Assign(maps.controllers, ControlCode(uint8_t(entry), num, val), StopItemCode(d, id, on));
    } else if (parent->name == "trem") {
        if (id < 0 || id >= kTremulantCount)
            return;
        Assign(maps.controllers, ControlCode(uint8_t(entry), num, val), TremItemCode(id, on));
    } else if (parent->name == "auxctl") {
        if (id < 0 || id >= kAuxControlCount)
            return;
        Assign(maps.controllers, ControlCode(uint8_t(entry), num, kAnyValue), AuxItemCode(id));
        if (id < 3) {
            Calibration& calibration = console_.Settings().calibration[id];
            if (!e.Attribute("closed").empty())
                calibration.minimum = static_cast<uint8_t>(ReadInt(e.Attribute("closed")));
            if (!e.Attribute("open").empty())
                calibration.maximum = static_cast<uint8_t>(ReadInt(e.Attribute("open")));
        }
    } else if (parent->name == "piston") {
        // Only pistons and special buttons exist to be fired, at level +0..+4.
        const bool piston = id >= 0 && id < kPistonCount;
        const bool special = id >= kFirstSpecialButtonId && id < kFirstSpecialButtonId + kSpecialButtonCount;
        const int offset = ReadInt(e.Attribute("offset"));
        if (!(piston || special) || offset < 0 || offset >= kPistonLevelOffsets || (special && offset != 0))
            return;
        Assign(maps.programs, ControlCode(uint8_t(entry), num, 0), PistonItemCode(id, offset));
    }
}

void ConfigReader::Assign(AssignmentMap& map, uint32_t controlCode, uint32_t itemCode)
{
    map.Insert(controlCode, itemCode);
    assignedHere_.push_back(itemCode);
}

// An item element lists every message of its item, so a message it does not
// list is one the user removed: the default for it goes too.
void ConfigReader::ApplyAssignable(const OpenElement& e)
{
    const std::string& parent = ParentName();
    const int id = ReadInt(e.Attribute("id"));
    std::vector<uint32_t> covered;
    AssignmentMap* map = &console_.assignments.device.controllers;
    if (e.name == "stop" && parent == "stops") {
        const OpenElement& division = stack_[stack_.size() - 3];
        const int d = ReadInt(division.Attribute("id"));
        if (division.name == "division" && division.Attribute("id") != "aux" && d >= 0 && d < kDivisionCount &&
            id >= 0 && id < kDivisions[d].stopCount)
            covered = {StopItemCode(d, id, true), StopItemCode(d, id, false)};
    } else if (e.name == "trem" && parent == "trems" && id >= 0 && id < kTremulantCount) {
        covered = {TremItemCode(id, true), TremItemCode(id, false)};
    } else if (e.name == "auxctl" && parent == "auxctls" && id >= 0 && id < kAuxControlCount) {
        covered = {AuxItemCode(id)};
    } else if (e.name == "piston" && parent == "pistons") {
        map = &console_.assignments.device.programs;
        if (id >= 0 && id < kPistonCount)
            for (int k = 0; k < kPistonLevelOffsets; ++k)
                covered.push_back(PistonItemCode(id, k));
        else if (id >= kFirstSpecialButtonId && id < kFirstSpecialButtonId + kSpecialButtonCount)
            covered = {PistonItemCode(id)};
    }
    for (uint32_t item : covered)
        if (std::find(assignedHere_.begin(), assignedHere_.end(), item) == assignedHere_.end())
            map->Remove(item);
    assignedHere_.clear();
}

void ConfigReader::ApplyProperty(const OpenElement& e)
{
    const std::string& name = e.Attribute("name");
    const std::string& text = e.text;
    const int32_t integer = ReadInt(text);
    const double real = ReadReal(text);
    // Switches that are on by default stay on unless the text says "false";
    // those that are off by default come on only for "true".
    const bool notFalse = text != "false";
    const bool isTrue = text == "true";
    ConsoleSettings& c = console_.Settings().console;
    SynthSettings& s = console_.Settings().synth;

    if (name == "tremolo_method")
        c.tremoloMethod = static_cast<uint8_t>(text == "mod" ? TremoloMethod::ModulationController : TremoloMethod::PatchChange);
    else if (name == "velocity_mask")
        c.velocityMask = integer < 0 || integer > 255 ? 255 : static_cast<uint8_t>(integer);
    else if (name == "swell_threshold")
        c.swellThreshold = static_cast<uint8_t>(integer);
    else if (name == "use_lowpass")
        c.useLowpass = notFalse;
    else if (name == "use_single_swell")
        c.useSingleSwell = notFalse;
    else if (name == "use_crescendo")
        c.useCrescendo = isTrue;
    else if (name == "use_tibia_unification")
        c.useTibiaUnification = isTrue;
    else if (name == "bank_select_mem_lvl")
        c.bankSelectMemLevel = isTrue;
    else if (name == "enable_midi_panic")
        c.enableMidiPanic = isTrue;
    else if (name == "pizzicato_length")
        c.pizzicatoLength = integer < 50 || integer > 1000 ? 100 : integer;
    else if (name == "fluidsynth_gain")
        s.gain = real;
    else if (name == "fluidsynth_samplerate")
        s.sampleRate = real;
    else if (name == "fluidsynth_polyphony")
        s.polyphony = integer;
    else if (name == "fluidsynth_buffers")
        s.bufferCount = integer;
    else if (name == "fluidsynth_buffer_size")
        s.bufferSize = integer;
    else if (name == "fluidsynth_reverb")
        s.reverbOn = notFalse;
    else if (name == "fluidsynth_reverb_roomsize")
        s.reverbRoomSize = real;
    else if (name == "fluidsynth_reverb_damping")
        s.reverbDamping = real;
    else if (name == "fluidsynth_reverb_width")
        s.reverbWidth = real;
    else if (name == "fluidsynth_reverb_level")
        s.reverbLevel = real;
    else if (name == "fluidsynth_chorus")
        s.chorusOn = isTrue;
    else if (name == "fluidsynth_chorus_thickness")
        s.chorusVoiceCount = integer;
    else if (name == "fluidsynth_chorus_level")
        s.chorusLevel = real;
    else if (name == "fluidsynth_chorus_speed")
        s.chorusSpeed = real;
    else if (name == "fluidsynth_chorus_depth")
        s.chorusDepth = real;
    else if (name == "fluidsynth_chorus_type")
        s.chorusType = static_cast<int>(text == "triangle" ? ChorusType::Triangle : ChorusType::Sine);
}

} // namespace

ConfigLoadResult CConfigFile::Parse(const char* data, size_t size, CConsole& console)
{
    return ConfigReader(console).Parse(data, size);
}

ConfigLoadResult CConfigFile::Load(const std::string& path, CConsole& console, long sizeLimit)
{
    std::FILE* file = OpenForReading(path);
    if (!file)
        return ConfigLoadResult::CannotOpen;
    std::unique_ptr<std::FILE, decltype(&std::fclose)> closer(file, &std::fclose);
    if (std::fseek(file, 0, SEEK_END) != 0)
        return ConfigLoadResult::CannotMeasure;
    const long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return ConfigLoadResult::CannotMeasure;
    if (size > sizeLimit)
        return ConfigLoadResult::TooBig;
    std::vector<char> buffer(static_cast<size_t>(size));
    // A file that shrank while being read is not the file that was measured.
    if (size > 0 && std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size())
        return ConfigLoadResult::CannotMeasure;
    closer.reset();
    return Parse(buffer.data(), buffer.size(), console);
}

} // namespace corvinta
