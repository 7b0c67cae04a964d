#pragma once
// The command line: the organ's own parameters ("xml myorgan", "mem mycombos",
// "res 1280 720"), taken in order and compared lower-cased, and the options
// of this build (--headless, --render and the rest that CommandLineHelp lists).

#include <string>
#include <vector>

namespace corvinta {

struct CCommandLineInfoEx {
    std::string configFile; // empty: "Corvinta.xml"
    std::string comboFile;  // empty: "Corvinta.cbo"
    int width = 0;          // 0: the screen's
    int height = 0;

    bool headless = false;
    std::string audioDriver; // FluidSynth's driver name; empty for its default
    std::string midiApi;     // "alsa", "jack" or empty (CORVINTA_MIDI_API, else ALSA then JACK)
    std::string midiLog;     // a file for the rank message log
    std::string renderMidi;  // render this MIDI file through the organ ...
    std::string renderWav;   // ... into this WAV file (default: the MIDI file's name with ".wav"), then end
    std::string recordTake;  // while rendering, record the console's performance into this MIDI file
    int renderTempo = 100;   // percent, as the player's tempo slider
    bool help = false;
    bool version = false;
    bool listMidi = false;
    bool checkAudio = false;
    std::vector<std::string> errors;
};

CCommandLineInfoEx ParseCommandLine(const std::vector<std::string>& args);

const char* CommandLineHelp();
const char* VersionText();

} // namespace corvinta
