#pragma once
// Drives FluidSynth offline, with no audio driver: load a font with a bank
// offset, voice channels as the organ does, and render blocks of audio.

#include <fluidsynth.h>

#include <memory>
#include <string>
#include <vector>

namespace corvinta::test {

struct Stereo {
    std::vector<float> left, right;

    std::vector<float> Mono() const;
    float Peak() const;
};

struct RenderOptions {
    double gain = 0.2;
    bool reverb = false;
    int bankOffset = 25;
};

class CFluidRender {
public:
    explicit CFluidRender(const std::string& font, RenderOptions options = {});

    fluid_synth_t* Synth() const { return m_synth.get(); }
    bool Loaded() const { return m_fontId >= 0; }

    // Bank select and program change, as the organ sends them to a rank.
    void Voice(int channel, int bank, int program);
    Stereo Render(double seconds);

private:
    std::unique_ptr<fluid_settings_t, void (*)(fluid_settings_t*)> m_settings;
    std::unique_ptr<fluid_synth_t, void (*)(fluid_synth_t*)> m_synth;
    int m_fontId = -1;
};

} // namespace corvinta::test
