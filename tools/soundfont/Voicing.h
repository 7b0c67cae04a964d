#pragma once
// How each rank of the organ is voiced: the harmonic make-up of its pipes,
// their speech and release, its tremulant, and the struck percussions with
// their partials and decays. Rank numbers and programs come from the rank
// table; this file only says how each sounds.

#include "organ/OrganTables.h"

#include <array>
#include <string_view>

namespace corvinta::soundfont {

inline constexpr int kSampleRate = 44100;
inline constexpr int kVioldOrchestreRank = 3;
inline constexpr int kVioleCelesteRank = 4;
inline constexpr int kTrapsRank = 9;
// Added to every rank's attenuation: a full organ of 256 pipes at the
// synthesizer's default gain must stay below full scale. FluidSynth applies
// 0.4 of an attenuation generator, so 350 cB here is 14 dB.
inline constexpr int kHeadroomCb = 350;

// A flue or reed rank: a looped steady tone, optionally with a tremulant.
struct PipeVoicing {
    int rank;
    int pipesOf;                        // whose pipes (samples) it speaks with
    std::array<float, 12> harmonics;    // relative amplitudes of partials 1..12
    float tailSlope;                    // partials above 12 fall as (12 / n)^slope
    float tailEven;                     // weight of even partials above 12
    int highestPartial;
    float formantHz, formantBoost, formantOctaves; // the resonator's colour, 0 for none
    float chiff;                        // noise of the pipe's speech
    float attack, release;              // seconds
    float tremHz, tremCents, tremCb;    // the theatre tremulant: rate, pitch and level depth
    int fineTuneCents;                  // a celeste stands sharp of its partner
    int attenuationCb;
};

// clang-format off
inline constexpr std::array<PipeVoicing, 10> kPipeVoicings{{
    // Flute: open flute, brighter than the Tibia, with a breathy chiff.
    {0, 0, {1.f, .32f, .16f, .08f, .05f, .03f, .02f, .012f, .008f, .005f, .003f, .002f}, 2.f, 1.f, 16, 0, 0, 0, .10f, .035f, .12f, 6.6f, 28, 65, 0, 10},
    // Diaphonic Diapason: rich and round, the foundation of the organ.
    {1, 1, {1.f, .55f, .38f, .26f, .19f, .14f, .1f, .075f, .055f, .042f, .032f, .025f}, 1.6f, 1.f, 24, 0, 0, 0, .03f, .05f, .15f, 6.6f, 26, 60, 0, -65},
    // Harmonic Tuba: a bright brass reed, strongest around its 4th partial.
    {2, 2, {.55f, .75f, .9f, 1.f, .95f, .85f, .75f, .66f, .58f, .5f, .44f, .38f}, 1.1f, 1.f, 48, 1500, .8f, 1.2f, 0, .025f, .12f, 6.8f, 30, 70, 0, -160},
    // Viol d'Orchestre: a keen, thin string.
    // The pair is tuned 6 cents apart, split about true pitch so that each
    // stays within 5 cents of it when drawn alone.
    {3, 3, {.45f, .6f, .62f, .58f, .55f, .5f, .47f, .44f, .4f, .37f, .34f, .31f}, .9f, 1.f, 48, 3000, .6f, 1.5f, 0, .09f, .15f, 6.6f, 26, 60, -2, 68},
    // Viol Celeste: the same string a few cents sharp, so that the pair beats.
    {4, 3, {}, 0, 0, 0, 0, 0, 0, 0, .09f, .15f, 6.6f, 26, 60, 4, 68},
    // Vox Humana: a short buzzy reed in a nasal, vowel-like resonator.
    {5, 5, {.6f, .5f, .55f, .45f, .5f, .4f, .42f, .35f, .33f, .3f, .28f, .25f}, .8f, .8f, 40, 550, 2.5f, .8f, 0, .03f, .12f, 7.0f, 36, 90, 0, 90},
    // Tibia Clausa: stopped wood, nearly a pure flute tone with a touch of 3rd harmonic.
    {6, 6, {1.f, .025f, .1f, .008f, .02f, .004f, .006f, 0, 0, 0, 0, 0}, 2.f, 1.f, 7, 0, 0, 0, .03f, .025f, .12f, 6.4f, 38, 85, 0, 20},
    // Clarinet: odd harmonics over a hollow fundamental.
    {7, 7, {1.f, .03f, .6f, .04f, .4f, .04f, .28f, .03f, .2f, .03f, .14f, .02f}, 1.5f, .08f, 30, 0, 0, 0, 0, .03f, .12f, 6.6f, 26, 60, 0, 85},
    // Orchestral Oboe: a thin, pungent reed with a weak fundamental.
    {8, 8, {.3f, .55f, .85f, 1.f, .8f, .6f, .5f, .4f, .32f, .26f, .2f, .16f}, 1.4f, 1.f, 36, 1300, 1.f, .9f, 0, .03f, .12f, 6.8f, 28, 65, 0, 93},
    // English Horn: a thin reed, darker and rounder than the oboe.
    {10, 10, {.5f, .8f, 1.f, .8f, .55f, .4f, .3f, .22f, .16f, .12f, .09f, .07f}, 1.6f, 1.f, 30, 850, 1.2f, .8f, 0, .03f, .12f, 6.8f, 28, 65, 0, 115},
}};
// clang-format on

// A struck percussion: bars, tubes or bells with their (not always harmonic)
// partials, each decaying on its own; a reiterating action repeats the stroke.
struct StruckVoicing {
    int rank;
    int patch; // 1 or 2: which of the rank's programs it is
    std::string_view name;
    std::array<float, 6> ratios;
    std::array<float, 6> amplitudes;
    float decay;      // seconds to -60 dB of the first partial at middle C
    float decaySlope; // partial k dies (ratio)^slope times sooner
    float length;     // seconds of sample at middle C
    float mallet;     // noise of the hammer or mallet
    float repeatHz;   // 0 for a single stroke
    float release;    // seconds after the key is let go
    int attenuationCb;
};

// clang-format off
inline constexpr std::array<StruckVoicing, 8> kStruckVoicings{{
    {11, 1, "Harp", {1.f, 4.f, 9.9f, 0, 0, 0}, {1.f, .25f, .05f, 0, 0, 0}, 1.6f, 1.2f, 1.4f, .05f, 0, .25f, -72},
    {11, 2, "Marimba", {1.f, 4.f, 9.9f, 0, 0, 0}, {1.f, .3f, .06f, 0, 0, 0}, .9f, 1.2f, 0, .08f, 9.f, .08f, -110},
    {12, 1, "Cathedral Chimes", {1.f, 2.f, 2.76f, 3.f, 4.1f, 5.4f}, {1.f, .5f, .35f, .3f, .2f, .12f}, 5.f, .6f, 3.f, .03f, 0, 1.5f, -60},
    {13, 1, "Xylophone", {1.f, 3.f, 6.f, 0, 0, 0}, {1.f, .35f, .1f, 0, 0, 0}, .45f, 1.f, .7f, .15f, 0, .1f, -185},
    {14, 1, "Glockenspiel", {1.f, 2.76f, 5.4f, 8.93f, 0, 0}, {1.f, .3f, .12f, .05f, 0, 0}, 2.2f, .7f, 1.6f, .06f, 0, .4f, -35},
    {14, 2, "Orchestra Bells", {1.f, 2.76f, 5.4f, 8.93f, 0, 0}, {1.f, .3f, .12f, .05f, 0, 0}, 1.5f, .7f, 0, .06f, 8.5f, .15f, -85},
    {15, 1, "Chrysoglott", {1.f, 2.f, 4.f, 0, 0, 0}, {1.f, .06f, .1f, 0, 0, 0}, 1.8f, 1.f, 1.6f, .01f, 0, .3f, 25},
    {16, 1, "Sleigh Bells", {1.f, 2.41f, 3.86f, 5.1f, 0, 0}, {1.f, .5f, .35f, .2f, 0, 0}, .35f, .8f, 0, .25f, 11.f, .12f, -160},
}};
// clang-format on

constexpr int ProgramOf(int rank, int patch) { return patch == 1 ? kRanks[rank].patch1 : kRanks[rank].patch2; }

// A rank has a tremulant when one of the console's tremulants names it.
constexpr bool IsTremmed(int rank)
{
    for (const TremulantDefinition& t : kTremulants)
        if (t.rankMask & (1u << rank))
            return true;
    return false;
}

} // namespace corvinta::soundfont
