#include "persist/ConsolePersistence.h"

#include "persist/DeviceResolution.h"

namespace corvinta {

ConsoleBuildSteps PersistenceBuildSteps(PersistedFiles& files)
{
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&files](CConsole& console) {
        const bool baseCamp = files.configFileName == kBaseCampFileName;
        files.noConfigurationFound = ReadConfigurationAtStart(console, files.configFileName).noConfigurationFound;
        if (baseCamp && files.configFileName == kDefaultConfigFileName)
            files.configFileName = files.defaultConfigFileName;
    };
    steps.resolveDevices = ResolveConsoleDevices;
    steps.loadCombinations = [&files](CConsole& console) {
        const ComboLoadOutcome outcome = CComboFile::Load(console, files.comboFileName, files.configFileName);
        files.quitRequested = outcome == ComboLoadOutcome::Quit;
        return outcome != ComboLoadOutcome::Quit;
    };
    return steps;
}

bool SaveAtClose(CConsole& console, PersistedFiles& files)
{
    if (files.configFileName == kBaseCampFileName)
        files.configFileName = files.defaultConfigFileName;
    const bool config = SaveConfigurationAtClose(console, files.configFileName);
    const bool combinations = CComboFile::Save(console, files.comboFileName);
    return config && combinations;
}

} // namespace corvinta
