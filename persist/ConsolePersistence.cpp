#include "persist/ConsolePersistence.h"

#include "persist/DeviceResolution.h"

namespace corvinta {

ConsoleBuildSteps PersistenceBuildSteps(PersistedFiles& files)
{
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&files](CConsole& console) {
        const bool baseCamp = files.configFileName == kBaseCampFileName;
        // What a console without a configuration has drawn: the Pedal Traps coupler.
        console.registration = ItemSet::FromWords32(0, 0, 0x00100000, 0);
        const ConfigStartResult result = ReadConfigurationAtStart(console, files.configFileName);
        files.noConfigurationFound = result.noConfigurationFound;
        files.keepConfigAsBad = result.keepAsBadFirst;
        if (baseCamp && files.configFileName == kDefaultConfigFileName)
            files.configFileName = files.defaultConfigFileName;
    };
    steps.resolveDevices = ResolveConsoleDevices;
    steps.loadCombinations = [&files](CConsole& console) {
        const ComboLoadOutcome outcome = CComboFile::Load(console, files.comboFileName, files.configFileName);
        files.quitRequested = outcome == ComboLoadOutcome::Quit;
        files.keepCombinationsAsBad = outcome == ComboLoadOutcome::DefaultsOverUnusableFile;
        return outcome != ComboLoadOutcome::Quit;
    };
    return steps;
}

bool SaveAtClose(CConsole& console, PersistedFiles& files)
{
    if (files.configFileName == kBaseCampFileName)
        files.configFileName = files.defaultConfigFileName;
    const bool config = SaveConfigurationAtClose(console, files.configFileName, files.keepConfigAsBad);
    if (config)
        files.keepConfigAsBad = false;
    const bool combinations = CComboFile::Save(console, files.comboFileName, files.keepCombinationsAsBad);
    if (combinations)
        files.keepCombinationsAsBad = false;
    return config && combinations;
}

} // namespace corvinta
