#pragma once
// The numbers of the skin's regions: every control of the console is placed
// by the geometry string the skin library gives for its region. Stops,
// tremulants, pistons and console buttons use their item numbers; the keys of
// a keyboard follow its division's region base.

#include "organ/OrganTables.h"

#include <string_view>

namespace corvinta::skin {

// The text the library answers GetSignature with; it is also the window title.
inline constexpr std::string_view kSignature = "Corvinta Style 216 ver 0.88";
inline constexpr std::string_view kLibraryFileName = "libpnl_216.so";
inline constexpr int kSkinSet = 0; // the only skin set

inline constexpr int kFirstKeyRegion = 132;  // the Solo's lowest key
inline constexpr int kLastKeyRegion = 285;   // the Pedal's highest key
inline constexpr int kFirstMemoryLevelRegion = 286; // levels 0..10
inline constexpr int kShoeBodyRegion = 297;         // shoes 0..2: Swell Main, Swell Solo, Crescendo
inline constexpr int kPanicRegion = 300;            // the nameplate
inline constexpr int kShoeUpperMarkerRegion = 309;  // shoes 0..2
inline constexpr int kShoeLowerMarkerRegion = 312;  // shoes 0..2
inline constexpr int kShoeCount = 3;
inline constexpr int kLastRegion = 314;

// The MIDI player's controls, in the order of their regions.
enum PlayerRegion : int {
    kPlayerLoad = 301,
    kPlayerPlay = 302,
    kPlayerLoop = 303,
    kPlayerRecord = 304,
    kPlayerFileTitle = 305,
    kPlayerElapsed = 306,
    kPlayerTempo = 307,
    kPlayerTempoSlider = 308,
};

// The region of key `keyIndex` (from the lowest note) of a division's keyboard.
constexpr int KeyRegion(int division, int keyIndex) { return kDivisions[division].skinRegionBase + keyIndex; }
constexpr int KeyCount(int division) { return kDivisions[division].highNote - kDivisions[division].lowNote + 1; }
constexpr bool HasKeyboard(int division) { return kDivisions[division].skinRegionBase != 0; }

// Every region identifier the console asks for: 0..285 and 286..314.
constexpr bool IsUsedRegion(int region) { return region >= 0 && region <= kLastRegion; }

static_assert(KeyRegion(4, KeyCount(4) - 1) == kLastKeyRegion, "the keys must end where the memory levels begin");
static_assert(KeyRegion(0, KeyCount(0)) == KeyRegion(2, 0), "the Accompaniment's keys follow the Solo's");

} // namespace corvinta::skin
