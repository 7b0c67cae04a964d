// One full-organ chord, on one thread, for valgrind's callgrind: the console
// processes the eleven key events and the engine handles every request they
// made. Only that part is counted (callgrind --collect-atstart=no), so a
// regression in the event path shows as instructions, free of timing noise.
//
//   valgrind --tool=callgrind --collect-atstart=no build-bench/bench/bench_chord_instructions [port] [polyphony]
//
// "port" sounds every rank on a MIDI port that does nothing: the organ's own
// instructions without FluidSynth's.

#include "bench/BenchOrgan.h"

#include <fluidsynth.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace corvinta;
using namespace corvinta::bench;

int main(int argc, char** argv)
{
    FullOrganOptions options;
    options.workers = false;
    if (argc > 1 && std::strcmp(argv[1], "port") == 0)
        options.output = RankOutput::MidiPort;
    if (argc > 2)
        options.polyphony = std::atoi(argv[2]);
    FullOrgan organ(options);
    // Once untimed, so first-use costs (the synthesizer's lazy set-up) stay out.
    organ.PlayChordHere(100);
    organ.PlayChordHere(0);
    organ.Silence();

    const size_t before = organ.probe.NoteOns();
    CALLGRIND_TOGGLE_COLLECT;
    organ.PlayChordHere(100);
    CALLGRIND_TOGGLE_COLLECT;
    const size_t notes = organ.probe.NoteOns() - before;
    // Voices the chord holds: a note-on may start several (stereo, layers).
    const int voices = organ.engine->Synth() ? fluid_synth_get_active_voice_count(organ.engine->Synth()->Synth()) : 0;
    CALLGRIND_TOGGLE_COLLECT;
    organ.PlayChordHere(0);
    CALLGRIND_TOGGLE_COLLECT;
    std::printf("rank note-ons per chord: %zu, rank messages in all: %zu, synthesizer voices: %d\n", notes,
                organ.probe.NoteOns() + organ.probe.Others(), voices);
    return notes > 0 ? 0 : 1;
}
