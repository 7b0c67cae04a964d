#include "app/CommandLine.h"

#include "app/Version.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace corvinta {

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string WithSuffix(std::string name, const std::string& suffix)
{
    if (!EndsWith(Lower(name), suffix))
        name += suffix;
    return name;
}

int Decimal(const std::string& s)
{
    return static_cast<int>(std::strtol(s.c_str(), nullptr, 10));
}

} // namespace

CCommandLineInfoEx ParseCommandLine(const std::vector<std::string>& args)
{
    CCommandLineInfoEx info;
    enum class Next { None, Config, Combo, Width, Height } next = Next::None;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string lower = Lower(arg);
        switch (next) {
        case Next::Config: info.configFile = WithSuffix(arg, ".xml"); next = Next::None; continue;
        case Next::Combo: info.comboFile = WithSuffix(arg, ".cbo"); next = Next::None; continue;
        case Next::Width: info.width = Decimal(arg); next = Next::Height; continue;
        case Next::Height: info.height = Decimal(arg); next = Next::None; continue;
        case Next::None: break;
        }
        auto value = [&](std::string& into) {
            if (i + 1 < args.size())
                into = args[++i];
            else
                info.errors.push_back(arg + " needs a value");
        };
        if (lower == "--headless")
            info.headless = true;
        else if (lower == "--audio-driver")
            value(info.audioDriver);
        else if (lower == "--midi-api")
            value(info.midiApi);
        else if (lower == "--midi-log")
            value(info.midiLog);
        else if (lower == "--render")
            value(info.renderMidi);
        else if (lower == "--output" || lower == "-o")
            value(info.renderWav);
        else if (lower == "--record")
            value(info.recordTake);
        else if (lower == "--tempo") {
            std::string tempo;
            value(tempo);
            char* end = nullptr;
            const long percent = std::strtol(tempo.c_str(), &end, 10);
            if (tempo.empty() || *end != '\0' || percent < 50 || percent > 200)
                info.errors.push_back("--tempo takes a percentage from 50 to 200");
            else
                info.renderTempo = static_cast<int>(percent);
        } else if (lower == "--help" || lower == "-h")
            info.help = true;
        else if (lower == "--version")
            info.version = true;
        else if (lower == "--list-midi")
            info.listMidi = true;
        else if (lower == "--check-audio")
            info.checkAudio = true;
        else if (lower.rfind("set", 0) == 0 || lower == "xml" || lower == "stg")
            next = Next::Config;
        else if (lower.rfind("mem", 0) == 0 || lower == "cbo")
            next = Next::Combo;
        else if (lower == "res")
            next = Next::Width;
        else
            info.errors.push_back("unknown parameter: " + arg);
    }
    if (info.midiApi.empty())
        if (const char* env = std::getenv("CORVINTA_MIDI_API"))
            info.midiApi = env;
    if (!info.midiApi.empty() && info.midiApi != "alsa" && info.midiApi != "jack")
        info.errors.push_back("--midi-api takes alsa or jack");
    if (info.renderMidi.empty() && (!info.renderWav.empty() || !info.recordTake.empty() || info.renderTempo != 100))
        info.errors.push_back("--output, --record and --tempo go with --render");
    if (!info.renderMidi.empty() && info.renderWav.empty())
        info.renderWav = std::filesystem::path(info.renderMidi).replace_extension(".wav").filename().string();
    return info;
}

const char* CommandLineHelp()
{
    return "usage: corvinta [xml FILE] [mem FILE] [res WIDTH HEIGHT] [options]\n"
           "  xml FILE             the configuration file (default Corvinta.xml)\n"
           "  mem FILE             the combination file (default Corvinta.cbo)\n"
           "  res WIDTH HEIGHT     the console window's size\n"
           "  --headless           run the organ without a window until Ctrl+C\n"
           "  --audio-driver NAME  jack, pulseaudio, alsa, sdl2, file or none\n"
           "  --midi-api NAME      alsa or jack (also CORVINTA_MIDI_API)\n"
           "  --midi-log FILE      write every message the ranks send to FILE\n"
           "  --list-midi          list the MIDI inputs and outputs, with the names the organ stores\n"
           "  --check-audio        end with 0 when the organ can sound here (the audio driver opens), else 1\n"
           "  --render FILE.mid    play FILE.mid through the organ into a WAV file, faster than real time\n"
           "  --output FILE.wav    where --render writes (default: FILE.wav in the current folder)\n"
           "  --record TAKE.mid    while rendering, record the console's performance into TAKE.mid\n"
           "  --tempo PERCENT      the tempo --render plays at, 50 to 200 (default 100)\n"
           "  --version            the program's version\n"
           "  --help               this list\n"
           "\n"
           "Files:\n"
           "  The organist's files, Corvinta.xml and Corvinta.cbo, are read at start and written at close in\n"
           "  the current folder when it already holds either of them (a portable set-up); otherwise in\n"
           "  $XDG_CONFIG_HOME/corvinta (~/.config/corvinta when XDG_CONFIG_HOME is not set), made on first\n"
           "  use. Files named with xml or mem are used as named. Corvinta.sf2 and \"Console Up.mid\" are\n"
           "  looked for in the current folder, then in ../share/corvinta beside the program.\n";
}

const char* VersionText()
{
    return "corvinta " CORVINTA_VERSION "\n";
}

} // namespace corvinta
