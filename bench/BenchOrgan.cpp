#include "bench/BenchOrgan.h"

#include "organ/OrganTables.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace corvinta::bench {

const char* BenchFont()
{
    const char* chosen = std::getenv("CORVINTA_BENCH_FONT");
    return chosen && *chosen ? chosen : CORVINTA_BENCH_FONT;
}

FullOrgan::FullOrgan(FullOrganOptions options) : workers(options.workers)
{
    console = std::make_unique<CConsole>(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&options](CConsole& c) {
        c.Settings().soundFonts = {{BenchFont(), kBenchFontBankOffset}};
        if (options.polyphony > 0)
            c.Settings().synth.polyphony = options.polyphony;
        if (options.output == RankOutput::MidiPort)
            for (auto& rank : c.RankSettings())
                rank.deviceId = 0;
    };
    console->Build(steps);
    console->inputDevicesInUse = {static_cast<uint16_t>(kDevice)};
    console->RebuildRouting();
    input = std::make_unique<MidiInput>(*console, midi);
    console->SetInputControl(input.get());

    EngineParts parts;
    parts.midi = &midi;
    parts.synth.audioDriver = "none";
    parts.observer = &probe;
    engine = std::make_unique<OutputEngine>(*console, parts);
    if (engine->SynthFailed())
        throw std::runtime_error("FluidSynth could not start");
    console->SetOutput(engine.get());
    if (workers && (!input->StartWorker() || !engine->StartWorker()))
        throw std::runtime_error("no worker thread");
    if (workers)
        input->SetInputEnabled(true);

    // Every stop and coupler on every division, and every tremulant.
    for (int item = 0; item < kStopCount; ++item)
        if (kStops[static_cast<size_t>(item)].kind != StopKind::EffectStop)
            console->OnCommand(StopTabCommand(item), 1);
    for (int t = 0; t < kTremulantCount; ++t)
        console->OnCommand(TremulantTabCommand(t), 1);
    Settle();
}

FullOrgan::~FullOrgan()
{
    if (workers) {
        input->SetInputEnabled(false);
        input->StopWorker();
        engine->StopWorker(50, 20);
    }
    console->SetOutput(nullptr);
    console->SetInputControl(nullptr);
}

void FullOrgan::PlayChordHere(uint8_t velocity)
{
    PlayChord([&](uint32_t m) { console->ProcessEvent(kDevice, m); }, velocity);
    engine->HandlePending();
}

void FullOrgan::Settle()
{
    if (!workers) {
        engine->HandlePending();
        return;
    }
    // Both rings empty and the probe quiet for a moment.
    size_t seen = ~size_t{0};
    for (int quiet = 0; quiet < 5;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const size_t now = probe.NoteOns() + probe.Others();
        quiet = now == seen ? quiet + 1 : 0;
        seen = now;
    }
}

} // namespace corvinta::bench

namespace corvinta::bench {

void FullOrgan::Silence()
{
    FluidSynthHost* host = engine->Synth();
    if (!host)
        return;
    fluid_synth_all_sounds_off(host->Synth(), -1);
    float left[64], right[64];
    fluid_synth_write_float(host->Synth(), 64, left, 0, 1, right, 0, 1);
}

} // namespace corvinta::bench
