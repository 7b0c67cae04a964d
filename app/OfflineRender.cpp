#include "app/OfflineRender.h"

#include "app/CorvintaApp.h"
#include "engine/MidiLog.h"

#include <fluidsynth.h>

#include <memory>

namespace corvinta {

namespace {

struct RenderContext {
    CConsole* console;
    OutputEngine* engine;
};

// Rebuilds the short message and hands it to the organ as the file player
// does: source 0xFFFF with the channel, so the console's internal routing and
// assignments apply.
int OnFileEvent(void* data, fluid_midi_event_t* event)
{
    auto* ctx = static_cast<RenderContext*>(data);
    const int type = fluid_midi_event_get_type(event);
    if (type < 0x80 || type >= 0xF0)
        return FLUID_OK;
    const int channel = fluid_midi_event_get_channel(event) & 0x0F;
    int data1 = 0, data2 = 0;
    switch (type) {
    case 0x80:
    case 0x90:
        data1 = fluid_midi_event_get_key(event);
        data2 = fluid_midi_event_get_velocity(event);
        break;
    case 0xA0:
        data1 = fluid_midi_event_get_key(event);
        data2 = fluid_midi_event_get_value(event);
        break;
    case 0xB0:
        data1 = fluid_midi_event_get_control(event);
        data2 = fluid_midi_event_get_value(event);
        break;
    case 0xC0:
    case 0xD0:
        data1 = fluid_midi_event_get_program(event);
        break;
    case 0xE0: {
        const int pitch = fluid_midi_event_get_pitch(event);
        data1 = pitch & 0x7F;
        data2 = (pitch >> 7) & 0x7F;
        break;
    }
    default: return FLUID_OK;
    }
    const uint32_t message = uint32_t(type | channel) | uint32_t(data1 & 0x7F) << 8 | uint32_t(data2 & 0x7F) << 16;
    ctx->console->ProcessEvent(0xFFFF | uint32_t(channel) << 16, message);
    ctx->engine->HandlePending();
    return FLUID_OK;
}

struct PlayerDeleter {
    void operator()(fluid_player_t* p) const { delete_fluid_player(p); }
};
struct RendererDeleter {
    void operator()(fluid_file_renderer_t* r) const { delete_fluid_file_renderer(r); }
};

} // namespace

int RenderOffline(CCorvintaApp& app, const std::string& midiFile, const std::string& wavFile)
{
    FluidSynthHost* host = app.Engine().Synth();
    if (!host || !host->Synth())
        return 1;
    IUserMessages& messages = app.Console().Messages();
    fluid_settings_t* settings = host->Settings();
    fluid_settings_setstr(settings, "audio.file.name", wavFile.c_str());
    fluid_settings_setstr(settings, "audio.file.type", "wav");
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    // Small blocks keep the events of the file, and the log's time stamps,
    // within 1.5 ms of where the file puts them.
    constexpr int kBlock = 64;
    fluid_settings_setint(settings, "audio.period-size", kBlock);
    double rate = 44100;
    fluid_settings_getnum(settings, "synth.sample-rate", &rate);
    uint64_t rendered = 0;
    if (MidiLog* log = app.Log())
        log->SetClock([&rendered, rate] { return static_cast<uint32_t>(rendered * 1000 / static_cast<uint64_t>(rate)); });

    // The voices the organ set up at start-up were queued; sound them first.
    app.Engine().HandlePending();
    RenderContext ctx{&app.Console(), &app.Engine()};
    std::unique_ptr<fluid_player_t, PlayerDeleter> player(new_fluid_player(host->Synth()));
    if (!player || fluid_player_add(player.get(), midiFile.c_str()) != FLUID_OK) {
        ShowError(messages, "Cannot play the MIDI file '" + midiFile + "'.", "Corvinta Error");
        return 1;
    }
    fluid_player_set_playback_callback(player.get(), &OnFileEvent, &ctx);
    std::unique_ptr<fluid_file_renderer_t, RendererDeleter> renderer(new_fluid_file_renderer(host->Synth()));
    if (!renderer) {
        ShowError(messages, "Cannot write the audio file '" + wavFile + "'.", "Corvinta Error");
        return 1;
    }
    fluid_player_play(player.get());
    while (fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING) {
        if (fluid_file_renderer_process_block(renderer.get()) != FLUID_OK)
            break;
        rendered += kBlock;
    }
    // Let the last notes and the reverb die away.
    const uint64_t end = rendered + static_cast<uint64_t>(rate * 2);
    while (rendered < end && fluid_file_renderer_process_block(renderer.get()) == FLUID_OK)
        rendered += kBlock;
    if (MidiLog* log = app.Log())
        log->SetClock({});
    return 0;
}

} // namespace corvinta
