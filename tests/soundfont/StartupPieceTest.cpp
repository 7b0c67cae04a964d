// "Console Up.mid" as FluidSynth's file player reads it: a flourish of the
// right length that draws its stops through the default assignments before
// it plays, keeps every key in its division's compass and leaves the
// console's stops as it found them.

#include "organ/OrganTables.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

using namespace corvinta;

namespace {

const std::string kPiece = CORVINTA_STARTUP_PIECE;
constexpr int kControlChannel = 15;

struct Heard {
    double seconds;
    int type, channel, data1, data2;
};

struct Listener {
    std::vector<Heard> events;
    long frames = 0;
};

int Collect(void* data, fluid_midi_event_t* event)
{
    auto* l = static_cast<Listener*>(data);
    l->events.push_back({double(l->frames) / 44100.0, fluid_midi_event_get_type(event),
                         fluid_midi_event_get_channel(event), fluid_midi_event_get_key(event),
                         fluid_midi_event_get_velocity(event)});
    return FLUID_OK;
}

// Plays the file on an offline synthesizer, collecting what the player hands
// out instead of sounding it.
std::vector<Heard> PlayPiece()
{
    std::unique_ptr<fluid_settings_t, void (*)(fluid_settings_t*)> settings(new_fluid_settings(), delete_fluid_settings);
    fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
    std::unique_ptr<fluid_synth_t, void (*)(fluid_synth_t*)> synth(new_fluid_synth(settings.get()), delete_fluid_synth);
    std::unique_ptr<fluid_player_t, void (*)(fluid_player_t*)> player(new_fluid_player(synth.get()),
                                                                       delete_fluid_player);
    Listener listener;
    fluid_player_set_playback_callback(player.get(), Collect, &listener);
    EXPECT_EQ(fluid_player_add(player.get(), kPiece.c_str()), FLUID_OK);
    fluid_player_play(player.get());
    std::vector<float> left(441), right(441);
    while (fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING && listener.frames < 44100 * 60) {
        fluid_synth_write_float(synth.get(), 441, left.data(), 0, 1, right.data(), 0, 1);
        listener.frames += 441;
    }
    return listener.events;
}

int DivisionOnChannel(int channel)
{
    for (int d = 0; d < kDivisionCount; ++d)
        if (kDivisions[d].defaultInputChannel == channel)
            return d;
    return -1;
}

TEST(ConsoleUpPiece, IsAFlourishOfTenToTwentySeconds)
{
    ASSERT_TRUE(std::filesystem::exists(kPiece));
    const std::vector<Heard> events = PlayPiece();
    ASSERT_FALSE(events.empty());
    EXPECT_GE(events.back().seconds, 10.0);
    EXPECT_LE(events.back().seconds, 20.0);
}

TEST(ConsoleUpPiece, PlaysTheThreeDivisionsOnDrawnStopsAndLeavesTheConsoleAsFound)
{
    ItemSet drawn;
    for (int item = 0; item < kStopCount; ++item)
        if (kStops[item].label == "\nPED\nTRAPS\n")
            drawn.Set(item); // drawn on a new console
    const ItemSet start = drawn;
    std::map<int, int> notesPerDivision;
    std::map<std::pair<int, int>, int> held;
    for (const Heard& e : PlayPiece()) {
        if (e.type < 0x80)
            continue; // the player passes its tempo on too
        if (e.type == 0xB0) {
            ASSERT_EQ(e.channel, kControlChannel) << "controllers go to the control entry";
            if (e.data1 == 81 || e.data1 == 80) {
                ASSERT_LT(e.data2, kFirstPistonItem) << "only stops and tremulants are drawn";
                if (e.data1 == 81)
                    drawn.Set(e.data2);
                else
                    drawn.Clear(e.data2);
            } else {
                EXPECT_TRUE(e.data1 == kAuxControls[kSwellMain].controller ||
                            e.data1 == kAuxControls[kSwellSolo].controller)
                    << "controller " << e.data1;
            }
            continue;
        }
        ASSERT_TRUE(e.type == 0x90 || e.type == 0x80) << "type " << e.type;
        const int d = DivisionOnChannel(e.channel);
        ASSERT_TRUE(d == 0 || d == 2 || d == 4) << "channel " << e.channel;
        const bool on = e.type == 0x90 && e.data2 > 0;
        if (on) {
            EXPECT_GE(e.data1, kDivisions[d].lowNote);
            EXPECT_LE(e.data1, kDivisions[d].highNote);
            bool sounding = false;
            for (int i = 0; i < kDivisions[d].stopCount; ++i)
                sounding |= drawn.Test(StopItem(d, i)) && kStops[StopItem(d, i)].kind == StopKind::RankStop;
            EXPECT_TRUE(sounding) << "a key on " << kDivisions[d].name << " at " << e.seconds << " s with no stop drawn";
            ++notesPerDivision[d];
        }
        held[{e.channel, e.data1}] += on ? 1 : -1;
    }
    EXPECT_EQ(notesPerDivision.size(), 3u);
    for (const auto& [key, count] : held)
        EXPECT_EQ(count, 0) << "note " << key.second << " on channel " << key.first << " left sounding";
    EXPECT_TRUE(drawn == start);
}

} // namespace
