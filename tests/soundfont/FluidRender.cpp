#include "FluidRender.h"

#include "organ/OrganTables.h"
#include "organ/Settings.h"

#include <algorithm>
#include <cmath>

namespace corvinta::test {

std::vector<float> Stereo::Mono() const
{
    std::vector<float> mono(left.size());
    for (size_t i = 0; i < left.size(); ++i)
        mono[i] = left[i] + right[i];
    return mono;
}

float Stereo::Peak() const
{
    float peak = 0;
    for (size_t i = 0; i < left.size(); ++i)
        peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
    return peak;
}

namespace {

// A full organ asks for more voices than the polyphony allows, and channels
// without a program are normal here: neither is worth a line per note.
const bool g_quiet = [] {
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    return true;
}();

} // namespace

CFluidRender::CFluidRender(const std::string& font, RenderOptions options)
    : m_settings(new_fluid_settings(), delete_fluid_settings), m_synth(nullptr, delete_fluid_synth)
{
    fluid_settings_t* s = m_settings.get();
    fluid_settings_setint(s, "synth.midi-channels", kSynthChannelCount);
    fluid_settings_setint(s, "synth.polyphony", SynthSettings{}.polyphony);
    fluid_settings_setnum(s, "synth.gain", options.gain);
    fluid_settings_setnum(s, "synth.sample-rate", 44100.0);
    fluid_settings_setint(s, "synth.reverb.active", options.reverb ? 1 : 0);
    fluid_settings_setint(s, "synth.chorus.active", 0);
    m_synth.reset(new_fluid_synth(s));
    // Loaded, then shifted, in the order the organ's host does it.
    m_fontId = fluid_synth_sfload(m_synth.get(), font.c_str(), 1);
    if (m_fontId >= 0)
        fluid_synth_set_bank_offset(m_synth.get(), m_fontId, options.bankOffset);
}

void CFluidRender::Voice(int channel, int bank, int program)
{
    fluid_synth_bank_select(m_synth.get(), channel, bank);
    fluid_synth_program_change(m_synth.get(), channel, program);
}

Stereo CFluidRender::Render(double seconds)
{
    Stereo out;
    const auto frames = size_t(std::lround(seconds * 44100.0));
    out.left.resize(frames);
    out.right.resize(frames);
    fluid_synth_write_float(m_synth.get(), int(frames), out.left.data(), 0, 1, out.right.data(), 0, 1);
    return out;
}

} // namespace corvinta::test
