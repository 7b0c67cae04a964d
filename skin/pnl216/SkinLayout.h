#pragma once
// Where every control sits on the console, in design pixels. The library
// serves these as geometry strings and the artist paints the two console
// images from the same list, so a picture can never drift from its region.

#include "organ/OrganTables.h"

#include <string>
#include <vector>

namespace corvinta::skin {

inline constexpr int kDesignWidth = 1024;
inline constexpr int kDesignHeight = 768;

enum class ElementKind {
    StopTab,
    TremulantTab,
    Piston,
    ToeStud,        // the Pedal pistons and the effect stops played with the toes
    ConsoleButton,
    WhiteKey,
    BlackKey,
    MemoryLevel,
    ShoeBody,
    ShoeUpperMarker,
    ShoeLowerMarker,
    Nameplate,
    PlayerButton,
    PlayerDisplay,
    PlayerSlider,
};

struct SkinElement {
    int region = 0;
    ElementKind kind = ElementKind::StopTab;
    Rect window{};              // the bounding box of the shape
    std::vector<Rect> shape;    // half-open rectangles: right and bottom lie outside
};

class SkinLayout {
public:
    // The one layout, built on first use.
    static const SkinLayout& Instance();

    const std::vector<SkinElement>& Elements() const { return elements_; }
    // nullptr for a region the console never asks for.
    const SkinElement* Find(int region) const;

private:
    SkinLayout();
    void Add(int region, ElementKind kind, std::vector<Rect> shape);
    void AddStopRails();
    void AddKeySlips();
    void AddKeyboards();
    void AddKneePanel();
    void AddMusicDesk();

    std::vector<SkinElement> elements_;
    std::vector<int> index_; // region -> position in elements_, -1 for none
};

// "left,top,right,bottom;..." with the window rectangle first.
std::string GeometryString(const SkinElement& element);

} // namespace corvinta::skin
