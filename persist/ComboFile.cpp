#include "persist/ComboFile.h"

#include "organ/Console.h"
#include "persist/ConfigStartup.h"
#include "persist/FileReading.h"
#include "persist/KeptCopies.h"
#include "persist/ReplacingFile.h"

#include <cstdio>
#include <memory>

namespace corvinta {

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kRecordSize = 32; // drawn word 0, scope word 0, drawn word 1, scope word 1
constexpr int kOldLevels = 10;     // levels 0..9 of old files; level 10 is rebuilt

uint64_t ReadLe(const uint8_t* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

void AppendLe(std::vector<uint8_t>& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

ItemSet FromWords64(uint64_t w0, uint64_t w1)
{
    return ItemSet::FromWords32(uint32_t(w0), uint32_t(w0 >> 32), uint32_t(w1), uint32_t(w1 >> 32));
}

// Old item ranges and where they moved; items not listed were dropped.
struct ItemMove {
    int oldFirst, oldLast, shift;
};
constexpr ItemMove kOldItemMoves[] = {
    {0, 2, 0}, {3, 18, 1}, {19, 22, 2}, {23, 23, 3}, {24, 24, 1}, {25, 25, 2},
    {26, 51, 3}, {52, 52, 4}, {53, 53, 2}, {54, 80, 3}, {87, 95, 4},
};

ItemSet BaseCampStage(int piston)
{
    const auto& stage = kBaseCampCrescendo[static_cast<size_t>(piston)];
    return FromWords64(stage[0], stage[1]);
}

} // namespace

ItemSet CComboFile::ConvertOldItems(const ItemSet& old)
{
    ItemSet converted;
    for (const ItemMove& move : kOldItemMoves)
        for (int n = move.oldFirst; n <= move.oldLast; ++n)
            if (old.Test(n))
                converted.Set(n + move.shift);
    return converted;
}

std::optional<uint32_t> CComboFile::ReadVersion(const uint8_t* data, size_t size)
{
    if (size < kHeaderSize || ReadLe(data + 4, 4) != kMagic)
        return std::nullopt;
    const auto version = static_cast<uint32_t>(ReadLe(data, 4));
    if (version != kVersion && version != kOldVersion && version != kOldestVersion)
        return std::nullopt;
    return version;
}

std::optional<std::vector<PistonMemory>> CComboFile::ParseRecords(const uint8_t* data, size_t size, int pistonCount,
                                                                  uint32_t version)
{
    const bool old = version != kVersion;
    const int levels = old ? kOldLevels : kMemoryLevelCount;
    const size_t needed = kHeaderSize + size_t(levels) * size_t(pistonCount) * kRecordSize;
    if (pistonCount <= 0 || size < needed)
        return std::nullopt;

    std::vector<PistonMemory> memory(static_cast<size_t>(pistonCount));
    const uint8_t* record = data + kHeaderSize;
    for (int level = 0; level < levels; ++level)
        for (PistonMemory& piston : memory) {
            ItemSet drawn = FromWords64(ReadLe(record, 8), ReadLe(record + 16, 8));
            ItemSet scope = FromWords64(ReadLe(record + 8, 8), ReadLe(record + 24, 8));
            record += kRecordSize;
            piston.drawn[size_t(level)] = old ? ConvertOldItems(drawn) : drawn;
            piston.scope[size_t(level)] = old ? ConvertOldItems(scope) : scope;
        }
    if (old)
        for (int p = 0; p < pistonCount; ++p) {
            memory[size_t(p)].drawn[kCrescendoLevel] = p < kPistonCount ? BaseCampStage(p) : ItemSet{};
            memory[size_t(p)].scope[kCrescendoLevel] = kAllItems;
        }
    return memory;
}

std::vector<uint8_t> CComboFile::Format(const std::vector<PistonMemory>& memory)
{
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + kMemoryLevelCount * memory.size() * kRecordSize);
    AppendLe(out, kVersion, 4);
    AppendLe(out, kMagic, 4);
    for (int level = 0; level < kMemoryLevelCount; ++level)
        for (const PistonMemory& piston : memory) {
            const ItemSet& drawn = piston.drawn[size_t(level)];
            const ItemSet& scope = piston.scope[size_t(level)];
            AppendLe(out, drawn.Word64(0), 8);
            AppendLe(out, scope.Word64(0), 8);
            AppendLe(out, drawn.Word64(1), 8);
            AppendLe(out, scope.Word64(1), 8);
        }
    return out;
}

std::string CComboFile::OriginalCopyName(const std::string& path, uint32_t version)
{
    return path + ".v" + std::to_string(version);
}

std::optional<std::vector<PistonMemory>> CComboFile::Read(CConsole& console, const std::string& path, bool& present,
                                                          bool& quit)
{
    const int pistons = console.PistonCount();
    IUserMessages& messages = console.Messages();

    // Nothing past the largest file that can be read is looked at.
    const size_t largest = kHeaderSize + 100 * size_t(pistons) * kRecordSize;
    std::vector<uint8_t> bytes(largest);
    size_t size = 0;
    present = [&] {
        std::FILE* file = OpenForReading(path);
        if (!file)
            return false;
        size = std::fread(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return true;
    }();

    // A conversion loses part of an old file, so the original is kept
    // beside it before anything is converted.
    const std::optional<uint32_t> version = ReadVersion(bytes.data(), size);
    const bool old = version && *version != kVersion;
    const auto keepOriginal = [&] {
        const std::string copy = OriginalCopyName(path, *version);
        if (KeepCopy(path, copy))
            return true;
        ShowWarning(messages, "Cannot keep the old combination file as '" + copy + "'.\nNothing was converted.",
                    "Corvinta Error");
        return false;
    };
    const auto askOldest = [&] {
        // Unattended, the file is left as it is.
        return messages.Show({"Old .cbo file with 100 memory levels. Only first 10 will be read.\nRemaining combinations will be lost.\nDo you want to continue?",
                              kComboFileCaption, MessageIcon::Information, MessageButtons::YesNo, MessageAnswer::No}) ==
                   MessageAnswer::Yes &&
               keepOriginal();
    };
    std::optional<std::vector<PistonMemory>> memory = Parse(bytes.data(), size, pistons, askOldest, quit);
    if (!quit && memory && old && *version != kOldestVersion && !keepOriginal())
        quit = true;
    if (quit)
        return std::nullopt;
    return memory;
}

ComboLoadOutcome CComboFile::Load(CConsole& console, const std::string& path, const std::string& configFileName)
{
    const int pistons = console.PistonCount();
    IUserMessages& messages = console.Messages();
    bool present = false;
    bool quit = false;
    std::optional<std::vector<PistonMemory>> memory = Read(console, path, present, quit);
    if (quit)
        return ComboLoadOutcome::Quit;
    const bool unusable = present && !memory;
    if (!memory) {
        std::string text = "Using default combinations. Did not find " + path;
        if (unusable)
            text += "\nThe file is kept as '" + BadCopyName(path) + "' before the combinations are saved over it.";
        messages.Show({text, "Corvinta Initialization", MessageIcon::Information});
    } else if (configFileName == kBaseCampFileName &&
               messages.Show({"Do you want to restore base camp combinations?\nPrevious default combinations will be lost.",
                              kComboFileCaption, MessageIcon::Information, MessageButtons::YesNo, MessageAnswer::No}) == MessageAnswer::Yes) {
        memory.reset();
    }

    for (int p = 0; p < pistons; ++p) {
        CPiston& piston = console.Piston(p);
        if (memory) {
            piston.drawn = (*memory)[size_t(p)].drawn;
            piston.scope = (*memory)[size_t(p)].scope;
        } else {
            piston.SetDefaultMemory(p);
        }
    }
    if (memory)
        return ComboLoadOutcome::FromFile;
    return unusable ? ComboLoadOutcome::DefaultsOverUnusableFile : ComboLoadOutcome::Defaults;
}

std::vector<PistonMemory> CComboFile::Memory(CConsole& console)
{
    std::vector<PistonMemory> memory(static_cast<size_t>(console.PistonCount()));
    for (int p = 0; p < console.PistonCount(); ++p)
        memory[size_t(p)] = {console.Piston(p).drawn, console.Piston(p).scope};
    return memory;
}

bool CComboFile::Save(CConsole& console, const std::string& path, bool keepAsBadFirst)
{
    return Write(Memory(console), console.Messages(), path, keepAsBadFirst);
}

bool CComboFile::Write(const std::vector<PistonMemory>& memory, IUserMessages& messages, const std::string& path,
                       bool keepAsBadFirst)
{
    const std::vector<uint8_t> bytes = Format(memory);

    if (!keepAsBadFirst || KeepAsBad(path)) {
        CReplacingFile file(path);
        if (file.Open()) {
            file.Write(bytes.data(), bytes.size());
            if (file.Commit())
                return true;
        }
    }
    ShowWarning(messages, "Cannot create combination file!\nYour combinations will not be saved.", "Corvinta Error");
    return false;
}

} // namespace corvinta
