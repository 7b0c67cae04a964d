#include "skin/pnl216/SkinLayout.h"

#include "skin/SkinRegions.h"

#include <algorithm>
#include <cmath>

namespace corvinta::skin {

namespace {

constexpr int kCentre = 510; // the keyboards' middle, and so the console's

// Stop tabs stand on three curved rails, one row per division with its
// second-touch tabs after a gap; the rails fall towards their ends like a
// horseshoe seen from the bench.
constexpr int kTabWidth = 23;
constexpr int kTabHeight = 46;
constexpr int kTabPitch = 26;
constexpr int kGroupGap = 12;
constexpr int kRailTops[3] = {26, 102, 178};

constexpr int kPistonSize = 20;
constexpr int kToeStudSize = 16;

// A tab is square at its hinge and rounded where the finger presses it.
std::vector<Rect> TabShape(int left, int top)
{
    const int r = left + kTabWidth, b = top + kTabHeight;
    return {{left, top, r, b - 3}, {left + 1, b - 3, r - 1, b - 1}, {left + 3, b - 1, r - 3, b}};
}

// A round button of `size` pixels, as three overlapping rectangles.
std::vector<Rect> RoundShape(int left, int top, int size)
{
    const int r = left + size, b = top + size, c = size / 4;
    return {{left + c, top, r - c, b}, {left + 1, top + 2, r - 1, b - 2}, {left, top + c, r, b - c}};
}

std::vector<Rect> PillShape(int left, int top, int width, int height)
{
    const int r = left + width, b = top + height;
    return {{left + 2, top, r - 2, b}, {left, top + 2, r, b - 2}};
}

std::vector<Rect> Box(int left, int top, int width, int height) { return {{left, top, left + width, top + height}}; }

int RailDrop(int centreX)
{
    const double d = (centreX - kCentre) / 480.0;
    return static_cast<int>(std::lround(14.0 * d * d));
}

bool IsBlack(int note)
{
    const int pc = note % 12;
    return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}

// How far a sharp sits from the crack between its two naturals, in eighths
// of its width: C# and F# lean left, D# and A# right, as on a real keyboard.
int SharpLean(int note)
{
    switch (note % 12) {
    case 1: case 6: return -2;
    case 3: case 10: return 2;
    default: return 0;
    }
}

struct KeyboardStyle {
    int blackWidth;
    int blackDepth; // how far the sharps reach down from the keyboard's top
};

} // namespace

const SkinLayout& SkinLayout::Instance()
{
    static const SkinLayout layout;
    return layout;
}

SkinLayout::SkinLayout()
{
    AddStopRails();
    AddMusicDesk();
    AddKeyboards();
    AddKeySlips();
    AddKneePanel();
    index_.assign(kLastRegion + 1, -1);
    for (size_t i = 0; i < elements_.size(); ++i)
        index_[static_cast<size_t>(elements_[i].region)] = static_cast<int>(i);
}

const SkinElement* SkinLayout::Find(int region) const
{
    if (!IsUsedRegion(region) || index_[static_cast<size_t>(region)] < 0)
        return nullptr;
    return &elements_[static_cast<size_t>(index_[static_cast<size_t>(region)])];
}

void SkinLayout::Add(int region, ElementKind kind, std::vector<Rect> shape)
{
    SkinElement e{region, kind, shape.front(), std::move(shape)};
    for (const Rect& r : e.shape) {
        e.window.left = std::min(e.window.left, r.left);
        e.window.top = std::min(e.window.top, r.top);
        e.window.right = std::max(e.window.right, r.right);
        e.window.bottom = std::max(e.window.bottom, r.bottom);
    }
    elements_.push_back(std::move(e));
}

void SkinLayout::AddStopRails()
{
    // Each rail lists its groups of consecutive regions; the Pedal's effect
    // stops (85..90) are toe studs and so are missing from its rail.
    struct Group { int first, last; ElementKind kind; };
    const std::vector<std::vector<Group>> rails = {
        {{0, 35, ElementKind::StopTab}, {36, 37, ElementKind::StopTab}},
        {{38, 64, ElementKind::StopTab}, {65, 72, ElementKind::StopTab}},
        {{73, 84, ElementKind::StopTab}, {91, 94, ElementKind::StopTab}, {95, 99, ElementKind::TremulantTab}},
    };
    for (size_t row = 0; row < rails.size(); ++row) {
        int width = -kGroupGap - (kTabPitch - kTabWidth);
        for (const Group& g : rails[row])
            width += (g.last - g.first + 1) * kTabPitch + kGroupGap;
        int x = kCentre - width / 2;
        for (const Group& g : rails[row]) {
            for (int region = g.first; region <= g.last; ++region, x += kTabPitch)
                Add(region, g.kind, TabShape(x, kRailTops[row] + RailDrop(x + kTabWidth / 2)));
            x += kGroupGap;
        }
    }
}

void SkinLayout::AddMusicDesk()
{
    // The nameplate in the middle; the memory levels and the setter on the left
    // and the MIDI player on the right, both within reach over the Solo manual.
    Add(kPanicRegion, ElementKind::Nameplate, {{424, 244, 596, 300}, {428, 240, 592, 244}, {428, 300, 592, 304}});
    for (int level = 0; level < kMemoryLevelCount; ++level)
        Add(kFirstMemoryLevelRegion + level, ElementKind::MemoryLevel, PillShape(40 + level * 24, 264, 20, 16));
    const int setter[3] = {129, 130, 131}; // MAP, SET, MEM
    for (int i = 0; i < 3; ++i)
        Add(setter[i], ElementKind::ConsoleButton, PillShape(40 + i * 42, 286, 36, 16));

    for (int i = 0; i < 4; ++i)
        Add(kPlayerLoad + i, ElementKind::PlayerButton, PillShape(700 + i * 50, 246, 46, 16));
    Add(kPlayerElapsed, ElementKind::PlayerDisplay, Box(904, 246, 48, 16));
    Add(kPlayerTempo, ElementKind::PlayerDisplay, Box(956, 246, 48, 16));
    Add(kPlayerFileTitle, ElementKind::PlayerDisplay, Box(700, 266, 304, 16));
    Add(kPlayerTempoSlider, ElementKind::PlayerSlider, Box(700, 286, 304, 18));
}

void SkinLayout::AddKeyboards()
{
    for (int division = 0; division < kDivisionCount; ++division) {
        if (!HasKeyboard(division))
            continue;
        const DivisionDefinition& d = kDivisions[division];
        const Rect kb = d.keyboard;
        const bool pedal = division == 4;
        const KeyboardStyle style = pedal ? KeyboardStyle{13, 36} : KeyboardStyle{9, 34};
        const int keys = KeyCount(division);
        int whites = 0;
        for (int k = 0; k < keys; ++k)
            whites += IsBlack(d.lowNote + k) ? 0 : 1;
        // Natural i spans [edge(i), edge(i + 1)); the cracks are spread evenly.
        const auto edge = [&](int i) { return kb.left + ((kb.right - kb.left) * i + whites / 2) / whites; };
        const auto sharp = [&](int note, int naturalsBelow) {
            const int crack = edge(naturalsBelow);
            const int left = crack - style.blackWidth / 2 + SharpLean(note) * style.blackWidth / 8;
            return Rect{left, kb.top, left + style.blackWidth, kb.top + style.blackDepth};
        };
        int natural = 0;
        for (int k = 0; k < keys; ++k) {
            const int note = d.lowNote + k;
            if (IsBlack(note)) {
                Add(KeyRegion(division, k), ElementKind::BlackKey, {sharp(note, natural)});
                continue;
            }
            int backLeft = edge(natural), backRight = edge(natural + 1);
            if (k > 0 && IsBlack(note - 1))
                backLeft = sharp(note - 1, natural).right;
            if (k + 1 < keys && IsBlack(note + 1))
                backRight = sharp(note + 1, natural + 1).left;
            const int front = kb.top + style.blackDepth;
            Add(KeyRegion(division, k), ElementKind::WhiteKey,
                {{edge(natural), front, edge(natural + 1), kb.bottom}, {backLeft, kb.top, backRight, front}});
            ++natural;
        }
    }
}

void SkinLayout::AddKeySlips()
{
    // Each manual's pistons lie in the key slip under it, its cancel at the
    // left end; the Solo slip ends with TRM, the Accompaniment's with RES and CAN.
    const int solo = kDivisions[0].keyboard.bottom + 14;
    const int accomp = kDivisions[2].keyboard.bottom + 3;
    const int rowWidth = 10 * (kPistonSize + 6) - 6;
    for (int p = 0; p < 10; ++p) {
        const int x = kCentre - rowWidth / 2 + p * (kPistonSize + 6);
        Add(PistonItem(p), ElementKind::Piston, RoundShape(x, solo, kPistonSize));
        Add(PistonItem(10 + p), ElementKind::Piston, RoundShape(x, accomp, kPistonSize));
    }
    const int left = kDivisions[0].keyboard.left + 6, right = kDivisions[0].keyboard.right - 6;
    Add(126, ElementKind::ConsoleButton, PillShape(left, solo + 2, 34, 16));           // SOL
    Add(123, ElementKind::ConsoleButton, PillShape(right - 34, solo + 2, 34, 16));     // TRM
    Add(125, ElementKind::ConsoleButton, PillShape(left, accomp + 2, 34, 16));         // ACC
    Add(124, ElementKind::ConsoleButton, PillShape(left + 40, accomp + 2, 34, 16));    // PED
    Add(127, ElementKind::ConsoleButton, PillShape(right - 74, accomp + 2, 34, 16));   // RES
    Add(128, ElementKind::ConsoleButton, PillShape(right - 34, accomp + 2, 34, 16));   // CAN
}

void SkinLayout::AddKneePanel()
{
    // Three shoes side by side over the pedals, each a body between its two
    // level markers; the Pedal pistons are toe studs on the left, the effects
    // (T1..T6) on the right.
    constexpr int top = 523, height = 56, markerWidth = 41, bodyWidth = 37, gap = 3, shoeGap = 14;
    constexpr int shoeWidth = 2 * markerWidth + bodyWidth + 2 * gap;
    int x = kCentre - (kShoeCount * shoeWidth + (kShoeCount - 1) * shoeGap) / 2;
    for (int shoe = 0; shoe < kShoeCount; ++shoe, x += shoeWidth + shoeGap) {
        Add(kShoeUpperMarkerRegion + shoe, ElementKind::ShoeUpperMarker, Box(x, top, markerWidth, height));
        Add(kShoeBodyRegion + shoe, ElementKind::ShoeBody, Box(x + markerWidth + gap, top, bodyWidth, height));
        Add(kShoeLowerMarkerRegion + shoe, ElementKind::ShoeLowerMarker,
            Box(x + markerWidth + bodyWidth + 2 * gap, top, markerWidth, height));
    }
    constexpr int studTop = 543;
    for (int p = 0; p < 3; ++p)
        Add(PistonItem(20 + p), ElementKind::ToeStud, RoundShape(236 + p * 24, studTop, kToeStudSize));
    for (int t = 0; t < kToeStudCount; ++t)
        Add(kToeStuds[t].effectStop, ElementKind::ToeStud, RoundShape(728 + t * 24, studTop, kToeStudSize));
}

std::string GeometryString(const SkinElement& element)
{
    std::string s;
    const auto append = [&s](const Rect& r) {
        if (!s.empty())
            s += ';';
        s += std::to_string(r.left) + ',' + std::to_string(r.top) + ',' + std::to_string(r.right) + ',' +
             std::to_string(r.bottom);
    };
    append(element.window);
    for (const Rect& r : element.shape)
        append(r);
    return s;
}

} // namespace corvinta::skin
