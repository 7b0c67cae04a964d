#pragma once
// Plays a MIDI file through the whole organ into a WAV file, faster than real
// time: the file player pushes every event into the console's input queue as
// a keyboard would, and after every block of audio both queues are drained
// on this thread, so the organ answers within the block and two renders of
// one file are the same to the byte, whatever ran before them in the process.

namespace corvinta {

class CCorvintaApp;

// Renders the app's --render file into its --output file (recording a take
// into --record when named). The app must be started and ConsoleReady.
// Returns 0 on success, else an exit code after a message; a render in which
// no rank can sound (no sound font, no MIDI output) fails and writes nothing.
int RenderOffline(CCorvintaApp& app);

// Handles every waiting input event here, and the engine's requests after
// each one, so that a burst from the file overflows neither ring.
void DrainOrganHere(CCorvintaApp& app);

} // namespace corvinta
