#include "persist/ConfigStartup.h"

#include "organ/Console.h"
#include "persist/ConfigFile.h"
#include "persist/KeptCopies.h"

namespace corvinta {

namespace {

constexpr const char* kInitCaption = "Corvinta Configuration File Initialization";

std::string Replace(std::string text, const std::string& fileName)
{
    text.replace(text.find("%s"), 2, fileName);
    return text;
}

const char* LoadMessage(ConfigLoadResult result)
{
    switch (result) {
    case ConfigLoadResult::Ok:
        return nullptr;
    case ConfigLoadResult::CannotOpen:
    case ConfigLoadResult::CannotMeasure:
        return "Configuration file '%s' is unavailable.\nUse Corvinta Settings to configure the Corvinta.";
    case ConfigLoadResult::TooBig:
        return "Configuration file '%s' is too big and possibly corrupted.\nUse Corvinta Settings to configure the Corvinta.";
    case ConfigLoadResult::Corrupted:
        return "Configuration file '%s' is corrupted.\nSome or all settings may be incorrect.\nUse Corvinta Settings to configure the Corvinta.";
    }
    return nullptr;
}

} // namespace

ConfigStartResult ReadConfigurationAtStart(CConsole& console, std::string& fileName)
{
    ConfigStartResult result;
    if (fileName == kBaseCampFileName) {
        const MessageAnswer answer = console.Messages().Show(
            {"Do you want to restore base camp configuration?\nPrevious Corvinta Settings will be lost.", kInitCaption,
             MessageIcon::Information, MessageButtons::YesNo, MessageAnswer::No});
        if (answer == MessageAnswer::Yes)
            return result;
        fileName = kDefaultConfigFileName;
    }
    const ConfigLoadResult loaded = CConfigFile::Load(fileName, console, CConfigFile::kSizeLimit);
    result.noConfigurationFound = loaded == ConfigLoadResult::CannotOpen || loaded == ConfigLoadResult::CannotMeasure;
    // A file that is there but did not load is still the organist's.
    result.keepAsBadFirst = loaded == ConfigLoadResult::TooBig || loaded == ConfigLoadResult::Corrupted;
    if (const char* message = LoadMessage(loaded)) {
        std::string text = Replace(message, fileName);
        if (result.keepAsBadFirst)
            text += "\nThe file is kept as '" + BadCopyName(fileName) + "' before the settings are saved over it.";
        console.Messages().Show({text, kInitCaption, MessageIcon::Information});
    }
    return result;
}

bool SaveConfigurationAtClose(CConsole& console, std::string& fileName, bool keepAsBadFirst)
{
    if (fileName == kBaseCampFileName)
        fileName = kDefaultConfigFileName;
    if ((!keepAsBadFirst || KeepAsBad(fileName)) && CConfigFile::Save(fileName, console, CConfigFile::kVersion))
        return true;
    ShowWarning(console.Messages(), "Cannot create configuration file! Your settings will not be saved.", "Corvinta Error");
    return false;
}

} // namespace corvinta
