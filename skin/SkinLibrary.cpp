#include "skin/SkinLibrary.h"

#include "skin/SkinRegions.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace corvinta::skin {

bool SkinLibrary::Open(const std::string& path)
{
    Close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
        return Fail(kCannotLoadLibrary);
    using SignatureFn = const char* (*)();
    const auto signature = reinterpret_cast<SignatureFn>(Symbol("GetSignature"));
    resolution_ = reinterpret_cast<ResolutionFn>(Symbol("GetResolution"));
    region_ = reinterpret_cast<RegionFn>(Symbol("GetRegion"));
    if (!signature || !resolution_ || !region_)
        return Fail(kCannotLoadLibrary);
    const char* text = signature();
    if (!text || std::string_view(text) != kSignature)
        return Fail(kWrongVersion);
    return true;
}

bool SkinLibrary::OpenInstalled()
{
    for (const std::string& path : SearchPaths())
        if (std::filesystem::exists(path))
            return Open(path);
    return Fail(kCannotLoadLibrary);
}

std::vector<std::string> SkinLibrary::SearchPaths()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::vector<std::string>{} : SearchPathsFor(exe);
}

std::vector<std::string> SkinLibrary::SearchPathsFor(const std::filesystem::path& exe)
{
    const std::filesystem::path folder = exe.parent_path();
    return {(folder / kLibraryFileName).string(),
            (folder / CORVINTA_PLUGINS_FROM_BIN / kLibraryFileName).lexically_normal().string()};
}

void SkinLibrary::Close()
{
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
    resolution_ = nullptr;
    region_ = nullptr;
}

void SkinLibrary::Resolution(int& width, int& height) const
{
    width = height = 0;
    if (resolution_)
        resolution_(&width, &height);
}

std::string SkinLibrary::Region(int region) const
{
    const char* text = region_ ? region_(kSkinSet, region) : nullptr;
    return text ? text : "";
}

std::optional<std::array<SkinImage, 2>> SkinLibrary::FetchImages()
{
    using VoidFn = void (*)();
    using BitmapFn = const uint8_t* (*)(int, int*, int*);
    const auto init = reinterpret_cast<VoidFn>(Symbol("InitPNG"));
    const auto bitmap = reinterpret_cast<BitmapFn>(Symbol("GetBitmapData"));
    const auto release = reinterpret_cast<VoidFn>(Symbol("FreePNG"));
    if (!init || !bitmap || !release) {
        Fail(kCannotLoadImages);
        return std::nullopt;
    }
    init();
    std::array<SkinImage, 2> images;
    for (int index = 0; index < 2; ++index) {
        SkinImage& image = images[static_cast<size_t>(index)];
        const uint8_t* pixels = bitmap(index, &image.width, &image.height);
        if (!pixels || image.width <= 0 || image.height <= 0) {
            release();
            Fail(kCannotLoadImages);
            return std::nullopt;
        }
        image.pixels.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * 4);
    }
    release();
    return images;
}

bool SkinLibrary::Fail(const char* text)
{
    Close();
    messages_.Show({text, kScreenInitCaption, MessageIcon::Error, MessageButtons::Ok, MessageAnswer::Ok});
    return false;
}

void* SkinLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void OpenSkinOrExit(SkinLibrary& library, const std::string& path)
{
    if (!(path.empty() ? library.OpenInstalled() : library.Open(path)))
        std::exit(1);
}

std::array<SkinImage, 2> FetchImagesOrExit(SkinLibrary& library)
{
    auto images = library.FetchImages();
    if (!images)
        std::exit(1);
    return std::move(*images);
}

} // namespace corvinta::skin
