#pragma once
// Plays a MIDI file through the whole organ into a WAV file, faster than real
// time: every event of the file goes through the event processor and the
// rank voicing exactly as a keyboard's would, on one thread, in step with the
// rendered audio.

#include <string>

namespace corvinta {

class CCorvintaApp;

// Returns 0 on success, else an exit code after a message.
int RenderOffline(CCorvintaApp& app, const std::string& midiFile, const std::string& wavFile);

} // namespace corvinta
