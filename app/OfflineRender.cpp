#include "app/OfflineRender.h"

#include "app/CorvintaApp.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <unistd.h>

namespace corvinta {

namespace {

constexpr const char* kRenderCaption = "Corvinta Error";
// Small blocks keep every event, and the log's time stamps, within 1.5 ms
// of where the file puts them.
constexpr int kBlock = 64;
// Quieter than this is the dither: the reverb has died away.
constexpr int kSilence = 2;
constexpr double kLongestTailSeconds = 30.0;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void PutLe(uint8_t* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// 16-bit stereo PCM.
std::array<uint8_t, 44> WavHeader(uint32_t frames, uint32_t rate)
{
    std::array<uint8_t, 44> h{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0};
    const uint32_t dataBytes = frames * 4;
    PutLe(&h[4], 36 + dataBytes, 4);
    PutLe(&h[24], rate, 4);
    PutLe(&h[28], rate * 4, 4);
    PutLe(&h[32], 4, 2);
    PutLe(&h[34], 16, 2);
    h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
    PutLe(&h[40], dataBytes, 4);
    return h;
}

// Float to 16 bits with a dither of its own. FluidSynth's 16-bit output draws
// its dither from the C library's rand(), which anything in the process may
// have seeded; this one starts from the same seed in every render. The noise
// is the same kind (uniform, each draw less the one before it, so its energy
// lies high), so quiet reverb tails still fade into noise, not into steps.
class Dither {
public:
    int16_t Convert(float sample, int channel)
    {
        const float draw = static_cast<float>(random_() - std::minstd_rand::min()) /
                               static_cast<float>(std::minstd_rand::max() - std::minstd_rand::min()) -
                           0.5f;
        const float noise = draw - previous_[channel];
        previous_[channel] = draw;
        const long value = std::lround(sample * 32766.0f + noise);
        return static_cast<int16_t>(std::clamp(value, -32768L, 32767L));
    }

private:
    std::minstd_rand random_{1};
    float previous_[2] = {0, 0};
};

// Whether any rank can make a sound: a sound font for the ranks on the
// synthesizer, or a rank on a MIDI output (the merged copy does not count).
bool AnyRankCanSound(OutputEngine& engine)
{
    if (const FluidSynthHost* host = engine.Synth(); host && !host->LoadedFontIds().empty())
        return true;
    for (int r = 0; r < engine.RankCount(); ++r)
        if (r != kMergedOutIndex && engine.Rank(r).outputSlot != kNoDevice)
            return true;
    return false;
}

} // namespace

void DrainOrganHere(CCorvintaApp& app)
{
    while (app.Input().DrainHere(1) > 0)
        app.Engine().HandlePending();
    app.Engine().HandlePending();
}

int RenderOffline(CCorvintaApp& app)
{
    const CCommandLineInfoEx& options = app.Options();
    FluidSynthHost* host = app.Engine().Synth();
    MidiFilePlayer* player = app.Player();
    if (!host || !host->Synth() || !player)
        return 1;
    IUserMessages& messages = app.Console().Messages();
    fluid_synth_t* synth = host->Synth();
    double sampleRate = 44100;
    fluid_settings_getnum(host->Settings(), "synth.sample-rate", &sampleRate);
    const auto rate = static_cast<uint32_t>(sampleRate);

    if (!player->LoadMidiFile(options.renderMidi)) {
        ShowError(messages, "Cannot play the MIDI file '" + options.renderMidi + "'.", kRenderCaption);
        return 1;
    }
    if (!AnyRankCanSound(app.Engine())) {
        ShowError(messages,
                  "Nothing can sound in '" + options.renderWav +
                      "': no sound font is loaded and no rank plays on a MIDI output.",
                  kRenderCaption);
        return 1;
    }
    std::unique_ptr<std::FILE, FileCloser> wav(std::fopen(options.renderWav.c_str(), "wb"));
    if (!wav) {
        ShowError(messages, "Cannot write the audio file '" + options.renderWav + "'.", kRenderCaption);
        return 1;
    }
    const auto placeholder = WavHeader(0, rate);
    std::fwrite(placeholder.data(), 1, placeholder.size(), wav.get());

    uint64_t rendered = 0;
    uint64_t lastSound = 0; // frames up to the last one above the dither
    std::array<int16_t, 2 * kBlock> samples{};
    std::array<float, kBlock> left{};
    std::array<float, kBlock> right{};
    Dither dither;
    auto renderBlock = [&] {
        DrainOrganHere(app);
        fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1);
        for (int i = 0; i < kBlock; ++i) {
            samples[static_cast<size_t>(2 * i)] = dither.Convert(left[static_cast<size_t>(i)], 0);
            samples[static_cast<size_t>(2 * i + 1)] = dither.Convert(right[static_cast<size_t>(i)], 1);
        }
        std::fwrite(samples.data(), sizeof(int16_t), samples.size(), wav.get());
        for (size_t i = 0; i < samples.size(); ++i)
            if (std::abs(samples[i]) > kSilence)
                lastSound = rendered + i / 2 + 1;
        rendered += kBlock;
        app.SetRenderTime(static_cast<uint32_t>(rendered * 1000 / rate));
    };

    if (!options.recordTake.empty())
        app.Recording()->StartRecording();
    player->SetTempo(options.renderTempo);
    app.SetRenderTime(0);
    if (!player->StartPlayer(false)) {
        ShowError(messages, "Cannot initialize MIDI Player!", kRenderCaption);
        return 1;
    }
    // The player's clock runs first in each block, so the events due at the
    // block's start reach the organ before it renders the block.
    while (player->FluidPlaying()) {
        player->AdvanceClock(kBlock);
        renderBlock();
    }
    player->StopPlayer(true); // all notes off, as at the end of any file played

    // The tail: until no voice sounds and the reverb is below the dither.
    const auto longest = rendered + static_cast<uint64_t>(kLongestTailSeconds * rate);
    const uint64_t quiet = rate / 10;
    while (rendered < longest && (fluid_synth_get_active_voice_count(synth) > 0 || rendered - lastSound < quiet))
        renderBlock();

    bool ok = true;
    if (!options.recordTake.empty()) {
        app.Recording()->ClearRecordingFlag();
        ok = app.Recording()->StopRecording(options.recordTake, true);
    }
    // The file ends a block after its last sound.
    const uint64_t frames = std::min(rendered, (lastSound + kBlock - 1) / kBlock * kBlock + kBlock);
    const auto header = WavHeader(static_cast<uint32_t>(frames), rate);
    std::fflush(wav.get());
    if (std::ferror(wav.get()) || ::ftruncate(::fileno(wav.get()), static_cast<off_t>(44 + frames * 4)) != 0 ||
        std::fseek(wav.get(), 0, SEEK_SET) != 0 || std::fwrite(header.data(), 1, header.size(), wav.get()) != header.size() ||
        std::fflush(wav.get()) != 0) {
        ShowError(messages, "Cannot write the audio file '" + options.renderWav + "'.", kRenderCaption);
        return 1;
    }
    return ok ? 0 : 1;
}

} // namespace corvinta
