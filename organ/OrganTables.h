#pragma once
// The fixed tables of the Style 216 theatre organ: divisions, stop
// tabs, ranks, tremulants, pistons, toe studs, special buttons and
// continuous controls. Compiled in; nothing here is read from a file.

#include "organ/ItemSet.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace corvinta {

inline constexpr int kDivisionCount = 6;
inline constexpr int kStopCount = 95;
inline constexpr int kRankCount = 17;
inline constexpr int kRankSettingsCount = 18; // the 17 ranks and "Merged Out"
inline constexpr int kMergedOutIndex = 17;
inline constexpr int kTremulantCount = 5;
inline constexpr int kPistonCount = 23;
inline constexpr int kToeStudCount = 6;
inline constexpr int kSpecialButtonCount = 9;
inline constexpr int kAuxControlCount = 4;
inline constexpr int kMemoryLevelCount = 11; // 0..10; level 10 holds the crescendo stages
inline constexpr int kCrescendoLevel = 10;
inline constexpr int kDivSettingsCount = kDivisionCount + 1; // plus the control entry on channel 16
inline constexpr int kSynthChannelCount = 18;

// Global item numbers.
inline constexpr int kFirstTremulantItem = 95;
inline constexpr int kFirstPistonItem = 100;
inline constexpr int kFirstSpecialItem = 123;
inline constexpr int kItemCount = 132;

// The stop's kind, which is also the output request type that carries it.
enum class StopKind : int8_t {
    RankStop = 1,
    FixedNoteStop = 2,
    CouplerStop = 3,
    QuietCouplerStop = 4,
    Tremulant = 5,
    EffectStop = 6,
    PatchSwitchStop = 7,
    Piston = 9,
};

struct Rect {
    int left, top, right, bottom;
};

struct DivisionDefinition {
    std::string_view name;
    std::string_view shortName;
    int firstTouchDivision;
    int secondTouchDivision;
    int stopCount;
    Rect keyboard; // skin pixels at scale 1; all zeros for none
    uint8_t lowNote;
    uint8_t highNote;
    int defaultInputChannel; // 0-based
    int skinRegionBase;
};

inline constexpr std::array<DivisionDefinition, kDivisionCount> kDivisions{{
    {"Solo", "sol", 0, 1, 36, {265, 314, 754, 370}, 36, 96, 0, 132},
    {"Solo 2T", "sol2", 0, 1, 2, {0, 0, 0, 0}, 36, 96, 10, 0},
    {"Accomp.", "acc", 2, 3, 27, {265, 431, 754, 487}, 36, 96, 1, 193},
    {"Accomp. 2T", "acc2", 2, 3, 8, {0, 0, 0, 0}, 36, 96, 11, 0},
    {"Pedal", "ped", 4, 5, 18, {265, 588, 754, 663}, 36, 67, 2, 254},
    {"Pedal Traps 2T", "ped2", 4, 5, 4, {0, 0, 0, 0}, 36, 67, 12, 0},
}};

struct StopDefinition {
    int division;
    std::string_view label; // "\n" breaks the tab's text into lines
    StopKind kind;
    int rankOrDivision;     // rank number; for a coupler the coupled division
    int pitchOrNote;        // semitone offset; for fixed-note and effect stops the note
    bool unisonOff;
    bool tibiaAlternative;  // sounds rank + 6 with Modern Tibia Unification
    int ranks;              // consecutive ranks sounded from rankOrDivision
};

inline constexpr std::array<StopDefinition, kStopCount> kStops{{
    {0, "\n\n16\nTUBA\n", StopKind::RankStop, 2, -12, false, false, 1}, // 0
    {0, "\n\n16\nBOUR\n", StopKind::RankStop, 0, -12, false, true, 1}, // 1
    {0, "\n\n16\nVIOL\n", StopKind::RankStop, 3, -12, false, false, 1}, // 2
    {0, "\n\n16\nVOX\n", StopKind::RankStop, 5, -12, false, false, 1}, // 3
    {0, "\n\n8\nHORN\n", StopKind::RankStop, 10, 0, false, false, 1}, // 4
    {0, "\n\n8\nTUBA\n", StopKind::RankStop, 2, 0, false, false, 1}, // 5
    {0, "\n\n8\nDIA\n", StopKind::RankStop, 1, 0, false, false, 1}, // 6
    {0, "\n\n8\nTIBIA\n", StopKind::RankStop, 6, 0, false, false, 1}, // 7
    {0, "\n\n8\nCLAR\n", StopKind::RankStop, 7, 0, false, false, 1}, // 8
    {0, "\n\n8\nOBOE\n", StopKind::RankStop, 8, 0, false, false, 1}, // 9
    {0, "\n\n8\nVIOL\n", StopKind::RankStop, 3, 0, false, false, 1}, // 10
    {0, "\n\n8\nCLST\n", StopKind::RankStop, 4, 0, false, false, 1}, // 11
    {0, "\n\n8\nFLUTE\n", StopKind::RankStop, 0, 0, false, false, 1}, // 12
    {0, "\n\n8\nVOX\n", StopKind::RankStop, 5, 0, false, false, 1}, // 13
    {0, "\n\n4\nTUBA\n", StopKind::RankStop, 2, 12, false, false, 1}, // 14
    {0, "\n\n4\nOCT\n", StopKind::RankStop, 1, 12, false, false, 1}, // 15
    {0, "\n\n4\nTIBIA\n", StopKind::RankStop, 6, 12, false, false, 1}, // 16
    {0, "\n\n4\nVIOL\n", StopKind::RankStop, 3, 12, false, false, 1}, // 17
    {0, "\n\n4\nCLST\n", StopKind::RankStop, 4, 12, false, false, 1}, // 18
    {0, "\n\n4\nFLUTE\n", StopKind::RankStop, 0, 12, false, false, 1}, // 19
    {0, "\n\n4\nVOX\n", StopKind::RankStop, 5, 12, false, false, 1}, // 20
    {0, "\n\n2 2/3\n12th\n", StopKind::RankStop, 0, 19, false, true, 1}, // 21
    {0, "\n\n2\n15th\n", StopKind::RankStop, 3, 24, false, false, 1}, // 22
    {0, "\n\n2\nPICC\n", StopKind::RankStop, 0, 24, false, true, 1}, // 23
    {0, "\n\n1 3/5\nTIERC\n", StopKind::RankStop, 0, 28, false, true, 1}, // 24
    {0, "\n\n\nMRIM\n", StopKind::PatchSwitchStop, 11, 12, false, false, 1}, // 25
    {0, "\n\n\nHARP\n", StopKind::RankStop, 11, 12, false, false, 1}, // 26
    {0, "\n\n\nCHIME\n", StopKind::RankStop, 12, 0, false, false, 1}, // 27
    {0, "\n\nSLGH\nBELL\n", StopKind::RankStop, 16, 0, false, false, 1}, // 28
    {0, "\n\n\nXYLO\n", StopKind::RankStop, 13, 0, false, false, 1}, // 29
    {0, "\n\n\nGLOCK\n", StopKind::RankStop, 14, 0, false, false, 1}, // 30
    {0, "\n\n\nBELLS\n", StopKind::PatchSwitchStop, 14, 0, false, false, 1}, // 31
    {0, "\n\n\nCHRY\n", StopKind::RankStop, 15, 0, false, false, 1}, // 32
    {0, "\n\n\nSUB\n", StopKind::CouplerStop, 0, -12, false, false, 1}, // 33
    {0, "\n\nUNISN OFF\n", StopKind::CouplerStop, 0, 0, true, false, 1}, // 34
    {0, "\n\n\nOCT\n", StopKind::CouplerStop, 0, 12, false, false, 1}, // 35
    {1, "\n16\nTUBA\n", StopKind::RankStop, 2, -12, false, false, 1}, // 36
    {1, "\n8\nCLAR\n", StopKind::RankStop, 7, 0, false, false, 1}, // 37
    {2, "\n\n16\nVIOL\n", StopKind::RankStop, 3, -12, false, false, 1}, // 38
    {2, "\n\n8\nHORN\n", StopKind::RankStop, 10, 0, false, false, 1}, // 39
    {2, "\n\n8\nTUBA\n", StopKind::RankStop, 2, 0, false, false, 1}, // 40
    {2, "\n\n8\nDIA\n", StopKind::RankStop, 1, 0, false, false, 1}, // 41
    {2, "\n\n8\nTIBIA\n", StopKind::RankStop, 6, 0, false, false, 1}, // 42
    {2, "\n\n8\nCLAR\n", StopKind::RankStop, 7, 0, false, false, 1}, // 43
    {2, "\n\n8\nOBOE\n", StopKind::RankStop, 8, 0, false, false, 1}, // 44
    {2, "\n\n8\nVIOL\n", StopKind::RankStop, 3, 0, false, false, 1}, // 45
    {2, "\n\n8\nCLST\n", StopKind::RankStop, 4, 0, false, false, 1}, // 46
    {2, "\n\n8\nFLUTE\n", StopKind::RankStop, 0, 0, false, false, 1}, // 47
    {2, "\n\n8\nVOX\n", StopKind::RankStop, 5, 0, false, false, 1}, // 48
    {2, "\n\n4\nVIOL\n", StopKind::RankStop, 3, 12, false, false, 1}, // 49
    {2, "\n\n4\nCLST\n", StopKind::RankStop, 4, 12, false, false, 1}, // 50
    {2, "\n\n4\nFLUTE\n", StopKind::RankStop, 0, 12, false, false, 1}, // 51
    {2, "\n\n4\nVOX\n", StopKind::RankStop, 5, 12, false, false, 1}, // 52
    {2, "\n\n2 2/3\n12th\n", StopKind::RankStop, 0, 19, false, false, 1}, // 53
    {2, "\n\n2\nPICC\n", StopKind::RankStop, 0, 24, false, false, 1}, // 54
    {2, "\n\n\nMRIM\n", StopKind::PatchSwitchStop, 11, 12, false, false, 1}, // 55
    {2, "\n\n\nHARP\n", StopKind::RankStop, 11, 12, false, false, 1}, // 56
    {2, "\n\n\nCHRY\n", StopKind::RankStop, 15, 0, false, false, 1}, // 57
    {2, "\n\nSNRE\nDRUM\n", StopKind::FixedNoteStop, 9, 38, false, false, 1}, // 58
    {2, "\n\n\nTAM\n", StopKind::FixedNoteStop, 9, 54, false, false, 1}, // 59
    {2, "\n\n\nCAST\n", StopKind::FixedNoteStop, 9, 85, false, false, 1}, // 60
    {2, "\n\n\nBLCK\n", StopKind::FixedNoteStop, 9, 76, false, false, 1}, // 61
    {2, "\n\nTOM\nTOM\n", StopKind::FixedNoteStop, 9, 50, false, false, 1}, // 62
    {2, "\n\n\nOCT\n", StopKind::CouplerStop, 2, 12, false, false, 1}, // 63
    {2, "\nSOLO\nTO\nACC\n", StopKind::CouplerStop, 0, 0, false, false, 1}, // 64
    {3, "\n8\nTUBA\n", StopKind::RankStop, 2, 0, false, false, 1}, // 65
    {3, "\n8\nCLAR\n", StopKind::RankStop, 7, 0, false, false, 1}, // 66
    {3, "\n4\nTIBIA\n", StopKind::RankStop, 6, 12, false, false, 1}, // 67
    {3, "\n\nMRIM\n", StopKind::PatchSwitchStop, 11, 12, false, false, 1}, // 68
    {3, "\n\nCHIME\n", StopKind::RankStop, 12, 0, false, false, 1}, // 69
    {3, "\n\nGLCK\n", StopKind::RankStop, 14, 0, false, false, 1}, // 70
    {3, "\n\nTRNGL\n", StopKind::FixedNoteStop, 9, 81, false, false, 1}, // 71
    {3, "\nSOLO\nACC\n", StopKind::CouplerStop, 0, 0, false, false, 1}, // 72
    {4, "\n\n16\nTUBA\n", StopKind::RankStop, 2, -12, false, false, 1}, // 73
    {4, "\n\n16\nDIA\n", StopKind::RankStop, 1, -12, false, false, 1}, // 74
    {4, "\n\n16\nBOUR\n", StopKind::RankStop, 0, -12, false, false, 1}, // 75
    {4, "\n\n8\nTUBA\n", StopKind::RankStop, 2, 0, false, false, 1}, // 76
    {4, "\n\n8\nDIA\n", StopKind::RankStop, 1, 0, false, false, 1}, // 77
    {4, "\n\n8\nTIBIA\n", StopKind::RankStop, 6, 0, false, false, 1}, // 78
    {4, "\n\n8\nCLAR\n", StopKind::RankStop, 7, 0, false, false, 1}, // 79
    {4, "\n\n8\nCELLO\n", StopKind::RankStop, 3, 0, false, false, 2}, // 80
    {4, "\n\n8\nFLUTE\n", StopKind::RankStop, 0, 0, false, false, 1}, // 81
    {4, "\n\n4\nOCT\n", StopKind::RankStop, 1, 12, false, false, 1}, // 82
    {4, "\nACC\nPED\n", StopKind::CouplerStop, 2, 0, false, false, 1}, // 83
    {4, "\nPED\nTRAPS\n", StopKind::CouplerStop, 5, 0, false, false, 1}, // 84
    {4, "T1", StopKind::EffectStop, 9, 88, false, false, 1}, // 85
    {4, "T2", StopKind::EffectStop, 9, 89, false, false, 1}, // 86
    {4, "T3", StopKind::EffectStop, 9, 90, false, false, 1}, // 87
    {4, "T4", StopKind::EffectStop, 9, 78, false, false, 1}, // 88
    {4, "T5", StopKind::EffectStop, 9, 91, false, false, 1}, // 89
    {4, "T6", StopKind::EffectStop, 9, 77, false, false, 1}, // 90
    {5, "\nBASS\nDRUM\n", StopKind::FixedNoteStop, 9, 36, false, false, 1}, // 91
    {5, "\nKETTL\nDRUM\n", StopKind::FixedNoteStop, 9, 41, false, false, 1}, // 92
    {5, "\nCRSH\nCYMB\n", StopKind::FixedNoteStop, 9, 49, false, false, 1}, // 93
    {5, "\n\nCYMB\n", StopKind::FixedNoteStop, 9, 51, false, false, 1}, // 94
}};

struct RankDefinition {
    std::string_view name;
    int chamber; // 0 Main, 1 Solo, -1 none
    int volume, pan, bank, patch1, patch2;
    int generalMidiProgram; // 0-based
    int modulationDepth;
};

inline constexpr std::array<RankDefinition, kRankSettingsCount> kRanks{{
    {"Flute", 0, 95, 16, 25, 94, 44, 79, 80},
    {"Diaphonic Diapason", 0, 95, 16, 25, 60, 10, 19, 80},
    {"Harmonic Tuba", 1, 95, 112, 25, 56, 6, 57, 80},
    {"Viol d'Orchestre", 0, 95, 16, 25, 75, 25, 42, 80},
    {"Viol Celeste", 0, 95, 16, 25, 76, 26, 48, 80},
    {"Vox Humana", 1, 95, 112, 25, 89, 39, 65, 80},
    {"Tibia Clausa", 1, 95, 112, 25, 68, 18, 74, 80},
    {"Clarinet", 0, 95, 16, 25, 82, 32, 71, 80},
    {"Orchestral Oboe", 1, 95, 112, 25, 83, 33, 68, 80},
    {"Traps", 1, 95, 112, 25, 0, 0, 0, 0},
    {"English Horn", 1, 95, 112, 25, 50, 50, 56, 80},
    {"Harp/Marimba", 1, 95, 112, 25, 110, 111, 11, 12},
    {"Cathedral Chimes", 1, 95, 112, 25, 113, 113, 14, 0},
    {"Xylophone", 1, 95, 112, 25, 105, 105, 13, 0},
    {"Glockenspiel/Bells", 1, 95, 112, 25, 103, 104, 9, 8},
    {"Chrysoglott", 0, 95, 16, 25, 108, 108, 10, 0},
    {"Sleigh Bells", 1, 95, 112, 25, 115, 115, 9, 8},
    {"Merged Out", -1, 0, 0, 0, 0, 0, 0, 0},
}};

inline constexpr int kTibiaClausaRank = 6;
inline constexpr int kTibiaRankShift = 6;

enum TremulantIndex { kTremMain = 0, kTremSolo, kTremVox, kTremTuba, kTremTibia };

struct TremulantDefinition {
    std::string_view label;
    uint32_t rankMask; // bit r = rank r
    int itemNumber;
    int tabNumber; // selects the artwork; differs from the item for VOX and TUBA
};

inline constexpr std::array<TremulantDefinition, kTremulantCount> kTremulants{{
    {"\n\nMAIN\n", 155, 95, 95},
    {"\n\nSOLO\n", 1280, 96, 96},
    {"\n\nVOX\n", 32, 97, 98},
    {"\n\nTUBA\n", 4, 98, 97},
    {"\n\nTIBIA\n", 64, 99, 99},
}};

// Computer-keyboard codes (the virtual-key numbers the console uses).
namespace vk {
inline constexpr int F1 = 112;
inline constexpr int Digit(int d) { return '0' + d; }
} // namespace vk

struct PistonDefinition {
    int division;
    std::string_view label;
    int key;        // virtual-key code
    ItemSet drawn;  // level 0 default
    ItemSet scope;
};

namespace piston_table_detail {
using R = std::pair<int, int>;
inline constexpr R kMAIN{95, 95}, kSOLO{96, 96}, kVOX{97, 97}, kTIBIA{99, 99}, kAllTrems{95, 99};
constexpr ItemSet Items(std::initializer_list<R> r) { return ItemSet::FromRanges(r); }
inline constexpr ItemSet kSoloScope = Items({{0, 37}, kAllTrems});
inline constexpr ItemSet kAccPedScope = Items({{38, 83}, {91, 94}});
inline constexpr ItemSet kAccScope = Items({{38, 72}});
inline constexpr ItemSet kPedScope = Items({{73, 83}, {91, 94}});
} // namespace piston_table_detail

inline constexpr std::array<PistonDefinition, kPistonCount> kPistons = [] {
    using namespace piston_table_detail;
    return std::array<PistonDefinition, kPistonCount>{{
        {0, "P", vk::F1 + 0, Items({{7, 7}, {13, 13}, {19, 19}, kMAIN, kSOLO, kVOX, kTIBIA}), kSoloScope},
        {0, "MF", vk::F1 + 1, Items({{7, 7}, {10, 10}, {13, 13}, {16, 16}, kMAIN, kSOLO, kVOX, kTIBIA}), kSoloScope},
        {0, "F", vk::F1 + 2, Items({{7, 7}, {10, 11}, {15, 18}, kSOLO, kVOX, kTIBIA}), kSoloScope},
        {0, "FF", vk::F1 + 3, Items({{5, 5}, {7, 7}, {9, 9}, {14, 14}, {16, 16}, kMAIN, kSOLO, kVOX, kTIBIA}), kSoloScope},
        {0, "FFF", vk::F1 + 4, Items({{4, 7}, {14, 14}, kMAIN, kSOLO, kVOX, kTIBIA}), kSoloScope},
        {0, "1", vk::F1 + 5, Items({{7, 7}, {33, 35}, kTIBIA}), kSoloScope},
        {0, "2", vk::F1 + 6, Items({{1, 1}, {9, 9}, {13, 13}, {16, 16}, {21, 21}, kMAIN, kSOLO, kVOX, kTIBIA}), kSoloScope},
        {0, "3", vk::F1 + 7, Items({{7, 7}, {9, 9}, {13, 13}, {16, 16}, {21, 21}, {23, 24}, kSOLO, kVOX, kTIBIA}), kSoloScope},
        {0, "4", vk::F1 + 8, Items({{6, 6}, {8, 9}, {15, 15}}), kSoloScope},
        {0, "5", vk::F1 + 9, Items({{10, 11}, {17, 18}, {22, 22}, {26, 26}}), kSoloScope},
        {2, "PP", vk::Digit(1), Items({{41, 41}, {48, 48}, {75, 75}, {81, 81}}), kAccPedScope},
        {2, "P", vk::Digit(2), Items({{41, 41}, {49, 49}}), kAccScope},
        {2, "MF", vk::Digit(3), Items({{41, 41}, {45, 45}, {49, 50}, {56, 56}, {74, 75}, {77, 77}, {79, 79}, {81, 81}}), kAccPedScope},
        {2, "F", vk::Digit(4), Items({{41, 41}, {43, 43}, {49, 50}, {52, 52}}), kAccScope},
        {2, "FF", vk::Digit(5), Items({{40, 41}, {43, 43}, {49, 50}, {54, 54}, {56, 56}, {73, 74}, {76, 76}, {79, 79}}), kAccPedScope},
        {2, "1", vk::Digit(6), Items({{57, 57}}), kAccScope},
        {2, "2", vk::Digit(7), Items({{47, 47}, {54, 54}}), kAccScope},
        {2, "3", vk::Digit(8), Items({{42, 42}, {48, 48}}), kAccScope},
        {2, "4", vk::Digit(9), Items({{41, 41}, {45, 45}}), kAccScope},
        {2, "5", vk::Digit(0), Items({{45, 46}, {49, 50}}), kAccScope},
        {4, "1", 'Q', Items({{75, 75}, {81, 81}}), kPedScope},
        {4, "2", 'W', Items({{74, 75}, {77, 77}, {79, 79}, {81, 81}}), kPedScope},
        {4, "3", 'E', Items({{73, 74}, {76, 76}, {79, 79}}), kPedScope},
    }};
}();

// Levels 1..9 start empty with every stop and tremulant in scope but the
// Pedal Traps coupler (item 84).
inline constexpr ItemSet kDefaultUserLevelScope = ItemSet::FromWords32(0xFFFFFFFF, 0xFFFFFFFF, 0xFFEFFFFF, 0x0000000F);
inline constexpr ItemSet kAllItems = ItemSet::FromWords32(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);

// The built-in crescendo stages 1..23: level 10's drawn set of each piston.
inline constexpr std::array<std::array<uint64_t, 2>, kPistonCount> kBaseCampCrescendo{{
    {0x0000800000001000, 0x0000000000000800},
    {0x0000800000003000, 0x0000000000000800},
    {0x0001800000003000, 0x0000000000000800},
    {0x0001800000003080, 0x0000000000020800},
    {0x0001900000003280, 0x0000000000020800},
    {0x0001940000003280, 0x0000000000020C00},
    {0x00019600000032C0, 0x0000000000020C00},
    {0x00019600000033C0, 0x0000000000022C00},
    {0x00019E00000033C0, 0x0000000000022C00},
    {0x0001BE00000037C0, 0x0000000000022C00},
    {0x0001FE0000003FC0, 0x000000000002AC00},
    {0x0001FE0000000FE0, 0x000000000002AC00},
    {0x0000670000000CE0, 0x000000000002A600},
    {0x0008670000080CE0, 0x000000000002A600},
    {0x0018670000480CE0, 0x000000000000B600},
    {0x00186700004A0CE0, 0x000000000000B600},
    {0x001A6700004E0CE0, 0x000000000000F600},
    {0x001E6700004E0CE0, 0x000000000000F600},
    {0x001E6700004E0CE4, 0x0000000000017600},
    {0x001E6740004E0CE4, 0x0000000000017600},
    {0x001E6740004E0C66, 0x0000000000055600},
    {0x000E63C0004E0C63, 0x0000000000055600},
    {0x000E63C0004ECC73, 0x0000000000055600},
}};

struct ToeStudDefinition {
    std::string_view label;
    int key;
    int effectStop; // the Pedal effect stop that sounds it
};

inline constexpr std::array<ToeStudDefinition, kToeStudCount> kToeStuds{{
    {"T1", 'R', 85}, {"T2", 'T', 86}, {"T3", 'Y', 87},
    {"T4", 'U', 88}, {"T5", 'I', 89}, {"T6", 'O', 90},
}};

// The console's command numbers: what a control, a key or a MIDI control
// assignment asks the console to do.
namespace commands {
inline constexpr int kFirstMemoryLevel = 1153;     // 1153..1163 select memory levels 0..10
inline constexpr int kLastMemoryLevelAlias = 1172; // 1164..1172 select level 0
inline constexpr int kGeneralCancel = 1173;        // "CAN"
inline constexpr int kMap = 1174;
inline constexpr int kSet = 1175;
inline constexpr int kMem = 1176;
inline constexpr int kRestore = 1177; // "RES"
inline constexpr int kTremulantCancel = 1280;
inline constexpr int kSoloCancel = 1281;
inline constexpr int kAccompanimentCancel = 1282;
inline constexpr int kPedalCancel = 1283;
inline constexpr int kFirstStopTab = 20000;      // + item
inline constexpr int kFirstTremulantTab = 21000; // + tremulant
inline constexpr int kFirstPiston = 21100;       // + piston + 23 x level offset
} // namespace commands

struct SpecialButtonDefinition {
    std::string_view label;
    int command;
    int division; // the division a cancel acts on, -1 for none
};

inline constexpr std::array<SpecialButtonDefinition, kSpecialButtonCount> kSpecialButtons{{
    {"TRM", commands::kTremulantCancel, -1}, {"PED", commands::kPedalCancel, 4},
    {"ACC", commands::kAccompanimentCancel, 2}, {"SOL", commands::kSoloCancel, 0},
    {"RES", commands::kRestore, -1}, {"CAN", commands::kGeneralCancel, -1},
    {"MAP", commands::kMap, -1}, {"SET", commands::kSet, -1}, {"MEM", commands::kMem, -1},
}};

struct AuxControlDefinition {
    std::string_view name;
    uint8_t channel; // 0-based
    uint8_t controller;
};

enum AuxControlIndex { kSwellMain = 0, kSwellSolo, kCrescendo, kMemoryLevel };

inline constexpr std::array<AuxControlDefinition, kAuxControlCount> kAuxControls{{
    {"Swell Main", 15, 11},
    {"Swell Solo", 15, 7},
    {"Crescendo", 15, 1},
    {"Memory Level", 15, 0},
}};

// Item-number arithmetic shared by every part of the organ.
constexpr int FirstStopOf(int division)
{
    int first = 0;
    for (int d = 0; d < division; ++d)
        first += kDivisions[d].stopCount;
    return first;
}
constexpr int StopItem(int division, int indexInDivision) { return FirstStopOf(division) + indexInDivision; }
constexpr int TremulantItem(int tremulant) { return kFirstTremulantItem + tremulant; }
constexpr int PistonItem(int piston) { return kFirstPistonItem + piston; }
constexpr int StopTabCommand(int item) { return commands::kFirstStopTab + item; }
constexpr int TremulantTabCommand(int tremulant) { return commands::kFirstTremulantTab + tremulant; }
constexpr int PistonCommand(int piston) { return commands::kFirstPiston + piston; }

constexpr int DivisionOfStop(int item)
{
    for (int d = kDivisionCount - 1; d >= 0; --d)
        if (item >= FirstStopOf(d))
            return d;
    return 0;
}

static_assert(FirstStopOf(kDivisionCount) == kStopCount, "division stop counts must cover the stop table");

} // namespace corvinta
