#pragma once
// The console's face comes from the skin library, libpnl_216.so, opened at
// run time: its signature is checked, then it gives the design resolution,
// one geometry string per region and the two whole-console images. Every
// failure is told to the user; the program cannot go on without a face.

#include "platform/UserMessages.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvinta::skin {

inline constexpr char kScreenInitCaption[] = "Corvinta Screen Initialization";
inline constexpr char kCannotLoadLibrary[] = "Cannot load pnl_216.dll. The program will be terminated.";
inline constexpr char kWrongVersion[] = "Wrong version of pnl library. The program will be terminated.";
inline constexpr char kCannotLoadImages[] = "Cannot load pnl library. The program will be terminated.";

// A whole-console image: 4 bytes a pixel (blue, green, red, unused), rows top to bottom.
struct SkinImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

class SkinLibrary {
public:
    explicit SkinLibrary(IUserMessages& messages) : messages_(messages) {}
    ~SkinLibrary() { Close(); }
    SkinLibrary(const SkinLibrary&) = delete;
    SkinLibrary& operator=(const SkinLibrary&) = delete;

    // Opens the library at `path`, finds GetSignature, GetResolution and
    // GetRegion and checks the signature. On failure tells the user and
    // returns false.
    bool Open(const std::string& path);
    // Looks beside the executable (a build tree), then in the library folder
    // an install puts beside the executable's own (../lib/corvinta).
    bool OpenInstalled();
    bool IsOpen() const { return handle_ != nullptr; }
    void Close();

    // The artwork's size as designed, in pixels.
    void Resolution(int& width, int& height) const;
    // The geometry string of a region of skin set 0; empty when the library has none.
    std::string Region(int region) const;
    // InitPNG, a copy of images 0 and 1, FreePNG. On failure tells the user
    // and returns nothing.
    std::optional<std::array<SkinImage, 2>> FetchImages();

    // Where the library is looked for, in order, for this program and for
    // a program at `exe`.
    static std::vector<std::string> SearchPaths();
    static std::vector<std::string> SearchPathsFor(const std::filesystem::path& exe);

private:
    bool Fail(const char* text);
    void* Symbol(const char* name) const;

    using ResolutionFn = void (*)(int*, int*);
    using RegionFn = const char* (*)(int, int);

    IUserMessages& messages_;
    void* handle_ = nullptr;
    ResolutionFn resolution_ = nullptr;
    RegionFn region_ = nullptr;
};

// Start-up's use of the library: on failure the user has been told and the
// program ends with exit code 1. An empty path looks where OpenInstalled does.
void OpenSkinOrExit(SkinLibrary& library, const std::string& path = {});
std::array<SkinImage, 2> FetchImagesOrExit(SkinLibrary& library);

} // namespace corvinta::skin
