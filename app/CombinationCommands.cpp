#include "app/CombinationCommands.h"

#include "persist/ComboCsv.h"
#include "persist/ComboFile.h"

namespace corvinta {

bool CombinationCommands::Load(const std::string& path)
{
    if (path.empty())
        return false;
    bool present = false;
    bool declined = false;
    const std::optional<std::vector<PistonMemory>> memory = CComboFile::Read(console_, path, present, declined);
    if (declined)
        return false;
    if (!memory) {
        std::string text = present ? "Combination file '" + path + "' cannot be used." : "Did not find " + path;
        text += "\nThe combinations in use are kept.";
        console_.Messages().Show({text, kComboFileCaption, MessageIcon::Warning});
        return false;
    }
    console_.InstallCombinations(*memory);
    files_.comboFileName = path;
    files_.keepCombinationsAsBad = false; // the file in use now loaded
    return true;
}

bool CombinationCommands::Save()
{
    return SaveAs(files_.comboFileName);
}

bool CombinationCommands::SaveAs(const std::string& path)
{
    if (path.empty())
        return false;
    std::vector<PistonMemory> memory;
    console_.ChangeCombinations([&] { memory = CComboFile::Memory(console_); });
    // A file that did not load at start is kept as NAME.bad before it is written over.
    const bool keepAsBad = path == files_.comboFileName && files_.keepCombinationsAsBad;
    if (!CComboFile::Write(memory, console_.Messages(), path, keepAsBad))
        return false;
    if (path == files_.comboFileName)
        files_.keepCombinationsAsBad = false;
    files_.comboFileName = path;
    return true;
}

bool CombinationCommands::ExportLevel(const std::string& path, char separator)
{
    if (path.empty())
        return false;
    bool exported = false;
    console_.ChangeCombinations([&] { exported = CComboCsv::Export(console_, path, separator); });
    return exported;
}

bool CombinationCommands::ImportLevel(const std::string& path, char separator)
{
    if (path.empty())
        return false;
    bool imported = false;
    console_.ChangeCombinations([&] { imported = CComboCsv::Import(console_, path, separator); });
    return imported;
}

} // namespace corvinta
