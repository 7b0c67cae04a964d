// Writing the configuration file. Every line has a fixed shape; lines end
// with CR LF and are indented by one TAB per level.

#include "organ/Console.h"
#include "persist/ConfigFile.h"
#include "persist/DeviceResolution.h"
#include "persist/ReplacingFile.h"
#include "persist/TextNumbers.h"

#include <algorithm>
#include <string_view>

namespace corvinta {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 if it is not one.
size_t Utf8Length(std::string_view text, size_t i)
{
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = b(i);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
    if ((lead == 0xE0 && b(i + 1) < 0xA0) || (lead == 0xED && b(i + 1) > 0x9F) ||
        (lead == 0xF0 && b(i + 1) < 0x90) || (lead == 0xF4 && b(i + 1) > 0x8F))
        return 0;
    return length;
}

// Names and paths as XML text: the markup characters escaped, and what XML
// cannot hold at all (control characters, broken UTF-8) replaced, so the file
// always reads back.
std::string Escape(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += '?';
            else
                out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

// Lines are built by appending each piece to the file's text: no temporary
// strings are joined, which also keeps the optimiser's overlap warnings away.
class Writer {
public:
    std::string text;

    template <class... Pieces>
    void Line(int depth, const Pieces&... pieces)
    {
        text.append(static_cast<size_t>(depth), '\t');
        (text.append(std::string_view(pieces)), ...);
        text += "\r\n";
    }
    void Open(int depth, std::string_view name) { Line(depth, "<", name, ">"); }
    void Open(int depth, std::string_view name, std::string_view attribute, std::string_view value)
    {
        Line(depth, "<", name, " ", attribute, "=\"", value, "\">");
    }
    void Close(int depth, std::string_view name) { Line(depth, "</", name, ">"); }
    void Leaf(int depth, std::string_view name, std::string_view value) { Line(depth, "<", name, ">", value, "</", name, ">"); }
    void Leaf(int depth, std::string_view name, std::string_view attribute, std::string_view attributeValue,
              std::string_view value)
    {
        Line(depth, "<", name, " ", attribute, "=\"", attributeValue, "\">", value, "</", name, ">");
    }
};

std::string Num(int64_t v) { return std::to_string(v); }
std::string Entry(uint8_t routingEntry) { return routingEntry == kControlEntry ? "aux" : Num(routingEntry); }

// The on/off messages of a stop or tremulant.
void WriteSwitchMsgs(Writer& w, int depth, const AssignmentMap& map, uint32_t onItem, uint32_t offItem)
{
    for (bool on : {true, false})
        if (auto code = map.ControlFor(on ? onItem : offItem))
            w.Line(depth, "<msg on=\"", on ? "true" : "false", "\" div=\"", Entry(RoutingEntryOf(*code)), "\" num=\"",
                   Num(NumberOf(*code)), "\" val=\"", Num(ValueOf(*code)), "\"/>");
}

// The input devices the file lists, by name: those in use first, then any
// that a division still refers to though it is absent now, then those
// awaited since start, so a device outlives a session without it.
std::vector<std::string> ListedInputDevices(const CConsole& console, std::vector<std::string>& divisionDevice)
{
    std::vector<std::string> listed;
    const auto& present = console.inputDevicesPresent;
    for (uint16_t id : console.inputDevicesInUse)
        if (id < present.size() && std::find(listed.begin(), listed.end(), present[id]) == listed.end())
            listed.push_back(present[id]);
    for (const DIVSETTINGS& entry : console.Settings().divisions) {
        std::string name;
        if (entry.deviceId != kNoDevice && entry.deviceId < present.size()) {
            name = present[entry.deviceId];
        } else if (!entry.name.empty() && entry.name != "Omni") {
            const auto stored = console.fileInputDevices.find(ReadInt(entry.name));
            if (stored != console.fileInputDevices.end())
                name = stored->second;
        }
        if (!name.empty() && std::find(listed.begin(), listed.end(), name) == listed.end())
            listed.push_back(name);
        divisionDevice.push_back(name);
    }
    // Inputs still awaited (away all session) stay awaited at the next start.
    for (const std::string& name : console.awaitedInputs)
        if (std::find(listed.begin(), listed.end(), name) == listed.end())
            listed.push_back(name);
    return listed;
}

std::string RankDeviceName(const CConsole& console, const RNKSETTINGS& rank)
{
    if (rank.deviceId != kNoDevice && rank.deviceId < console.outputDevicesPresent.size())
        return console.outputDevicesPresent[rank.deviceId];
    // An absent device keeps its name; the rank plays on the synthesizer meanwhile.
    return rank.name.empty() ? std::string(kInternalSynthName) : rank.name;
}

void WriteDivisions(Writer& w, const CConsole& console, const std::vector<std::string>& listed,
                    const std::vector<std::string>& divisionDevice)
{
    const auto& entries = console.Settings().divisions;
    const AssignmentMap& controllers = console.assignments.device.controllers;
    w.Open(1, "divisions");
    for (size_t i = 0; i < entries.size(); ++i) {
        const DIVSETTINGS& entry = entries[i];
        const bool isDivision = i < static_cast<size_t>(kDivisionCount);
        w.Open(2, "division", "id", isDivision ? Num(int64_t(i)) : "aux");
        // No device is written as empty text: the entry then listens to every
        // active device, as it does now.
        const auto position = std::find(listed.begin(), listed.end(), divisionDevice[i]);
        w.Leaf(3, "device-id", divisionDevice[i].empty() ? "" : Num(position - listed.begin()));
        w.Leaf(3, "channel", Num(entry.channel));
        w.Leaf(3, "low-note", Num(entry.lowNote));
        w.Leaf(3, "high-note", Num(entry.highNote));
        w.Leaf(3, "transpose", Num(entry.transpose));
        w.Leaf(3, "second_touch_method", Num(entry.secondTouchMethod));
        w.Leaf(3, "pressure_threshold", Num(entry.pressureThreshold));
        if (isDivision) {
            const int d = static_cast<int>(i);
            w.Open(3, "stops");
            for (int s = 0; s < kDivisions[d].stopCount; ++s) {
                w.Open(4, "stop", "id", Num(s));
                WriteSwitchMsgs(w, 5, controllers, StopItemCode(d, s, true), StopItemCode(d, s, false));
                w.Close(4, "stop");
            }
            w.Close(3, "stops");
        }
        w.Close(2, "division");
    }
    w.Close(1, "divisions");
}

void WriteRanks(Writer& w, const CConsole& console)
{
    const auto& ranks = console.Settings().ranks;
    w.Open(1, "ranks");
    for (size_t r = 0; r < ranks.size() && r < static_cast<size_t>(kMergedOutIndex); ++r) {
        const RNKSETTINGS& rank = ranks[r];
        w.Open(2, "rank", "id", Num(int64_t(r)));
        w.Leaf(3, "device", Escape(RankDeviceName(console, rank)));
        w.Leaf(3, "channel", Num(rank.channel));
        w.Leaf(3, "volume", Num(rank.volume));
        w.Leaf(3, "pan", Num(rank.pan));
        w.Leaf(3, "bank", Num(rank.bank));
        w.Leaf(3, "patch1", Num(rank.patch1));
        w.Leaf(3, "patch2", Num(rank.patch2));
        w.Close(2, "rank");
    }
    w.Close(1, "ranks");
}

void WriteConsole(Writer& w, const CConsole& console)
{
    const OrganSettings& settings = console.Settings();
    const AssignmentMaps& maps = console.assignments.device;
    w.Open(1, "console");
    std::string merged = "none";
    if (settings.console.mergedOutEnabled && settings.ranks.size() > static_cast<size_t>(kMergedOutIndex))
        merged = Escape(RankDeviceName(console, settings.ranks[kMergedOutIndex]));
    w.Leaf(2, "merged-out", "type", console.useDefaultAssignments ? "default" : "configured", merged);
    for (int word = 0; word < 2; ++word)
        w.Leaf(2, "tabstate", "id", Num(word), Num(static_cast<int64_t>(console.registration.Word64(word))));
    w.Leaf(2, "memlevel", Num(settings.console.memLevel));

    w.Open(2, "trems");
    for (int t = 0; t < kTremulantCount; ++t) {
        w.Open(3, "trem", "id", Num(t));
        WriteSwitchMsgs(w, 4, maps.controllers, TremItemCode(t, true), TremItemCode(t, false));
        w.Close(3, "trem");
    }
    w.Close(2, "trems");

    w.Open(2, "auxctls");
    for (int c = 0; c < kAuxControlCount; ++c) {
        w.Open(3, "auxctl", "id", Num(c));
        if (auto code = maps.controllers.ControlFor(AuxItemCode(c))) {
            const std::string entry = Entry(RoutingEntryOf(*code)), number = Num(NumberOf(*code));
            if (c < 3)
                w.Line(4, "<msg div=\"", entry, "\" num=\"", number, "\" closed=\"", Num(settings.calibration[c].minimum),
                       "\" open=\"", Num(settings.calibration[c].maximum), "\"/>");
            else
                w.Line(4, "<msg div=\"", entry, "\" num=\"", number, "\"/>");
        }
        w.Close(3, "auxctl");
    }
    w.Close(2, "auxctls");

    w.Open(2, "pistons");
    w.Leaf(3, "pistonsound", Num(settings.console.pistonSound));
    const auto writePiston = [&](int id, int levels) {
        w.Open(3, "piston", "id", Num(id));
        for (int k = 0; k < levels; ++k)
            if (auto code = maps.programs.ControlFor(PistonItemCode(id, k)))
                w.Line(4, "<msg div=\"", Entry(RoutingEntryOf(*code)), "\" offset=\"", Num(k), "\" num=\"",
                       Num(NumberOf(*code)), "\"/>");
        w.Close(3, "piston");
    };
    for (int p = 0; p < kPistonCount; ++p)
        writePiston(p, kPistonLevelOffsets);
    for (int b = 0; b < kSpecialButtonCount; ++b)
        writePiston(kFirstSpecialButtonId + b, 1);
    w.Close(2, "pistons");
    w.Close(1, "console");
}

void WriteProperties(Writer& w, const OrganSettings& settings)
{
    const ConsoleSettings& c = settings.console;
    const SynthSettings& s = settings.synth;
    const auto property = [&](std::string_view name, std::string value) { w.Leaf(1, "property", "name", name, value); };
    const auto flag = [](bool on) { return std::string(on ? "true" : "false"); };
    property("tremolo_method", c.tremoloMethod == uint8_t(TremoloMethod::ModulationController) ? "mod" : "patch");
    property("velocity_mask", Num(c.velocityMask));
    property("swell_threshold", Num(c.swellThreshold));
    property("use_lowpass", flag(c.useLowpass));
    property("use_single_swell", flag(c.useSingleSwell));
    property("use_crescendo", flag(c.useCrescendo));
    property("use_tibia_unification", flag(c.useTibiaUnification));
    property("bank_select_mem_lvl", flag(c.bankSelectMemLevel));
    property("enable_midi_panic", flag(c.enableMidiPanic));
    property("pizzicato_length", Num(c.pizzicatoLength));
    property("fluidsynth_gain", FormatReal3(s.gain));
    property("fluidsynth_samplerate", FormatReal3(s.sampleRate));
    property("fluidsynth_polyphony", Num(s.polyphony));
    property("fluidsynth_buffers", Num(s.bufferCount));
    property("fluidsynth_buffer_size", Num(s.bufferSize));
    property("fluidsynth_reverb", flag(s.reverbOn));
    property("fluidsynth_reverb_roomsize", FormatReal3(s.reverbRoomSize));
    property("fluidsynth_reverb_damping", FormatReal3(s.reverbDamping));
    property("fluidsynth_reverb_width", FormatReal3(s.reverbWidth));
    property("fluidsynth_reverb_level", FormatReal3(s.reverbLevel));
    property("fluidsynth_chorus", flag(s.chorusOn));
    property("fluidsynth_chorus_thickness", Num(s.chorusVoiceCount));
    property("fluidsynth_chorus_level", FormatReal3(s.chorusLevel));
    property("fluidsynth_chorus_speed", FormatReal3(s.chorusSpeed));
    property("fluidsynth_chorus_depth", FormatReal3(s.chorusDepth));
    property("fluidsynth_chorus_type", s.chorusType == int(ChorusType::Triangle) ? "triangle" : "sine");
}

} // namespace

std::string CConfigFile::Format(const CConsole& console, int version)
{
    Writer w;
    w.text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    w.Open(0, "settings", "version", Num(version));

    std::vector<std::string> divisionDevice;
    const std::vector<std::string> listed = ListedInputDevices(console, divisionDevice);
    w.Open(1, "input-devices");
    for (size_t i = 0; i < listed.size(); ++i)
        w.Leaf(2, "device", "id", Num(int64_t(i)), Escape(listed[i]));
    w.Close(1, "input-devices");

    WriteDivisions(w, console, listed, divisionDevice);
    WriteRanks(w, console);
    WriteConsole(w, console);

    w.Open(1, "soundfonts");
    for (const SoundFontEntry& font : console.Settings().soundFonts) {
        w.Open(2, "soundfont");
        w.Leaf(3, "path", Escape(font.path));
        w.Leaf(3, "offset", Num(font.bankOffset));
        w.Close(2, "soundfont");
    }
    w.Close(1, "soundfonts");

    WriteProperties(w, console.Settings());
    w.Close(0, "settings");
    return std::move(w.text);
}

bool CConfigFile::Save(const std::string& path, const CConsole& console, int version)
{
    const std::string text = Format(console, version);
    CReplacingFile file(path);
    if (!file.Open())
        return false;
    file.Write(text);
    return file.Commit();
}

} // namespace corvinta
