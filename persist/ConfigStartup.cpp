#include "persist/ConfigStartup.h"

#include "organ/Console.h"
#include "persist/ConfigFile.h"

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
    if (const char* message = LoadMessage(loaded))
        console.Messages().Show({Replace(message, fileName), kInitCaption, MessageIcon::Information});
    result.noConfigurationFound = loaded == ConfigLoadResult::CannotOpen || loaded == ConfigLoadResult::CannotMeasure;
    return result;
}

bool SaveConfigurationAtClose(CConsole& console, std::string& fileName)
{
    if (fileName == kBaseCampFileName)
        fileName = kDefaultConfigFileName;
    if (CConfigFile::Save(fileName, console, CConfigFile::kVersion))
        return true;
    ShowWarning(console.Messages(), "Cannot create configuration file! Your settings will not be saved.", "Corvinta Error");
    return false;
}

} // namespace corvinta
