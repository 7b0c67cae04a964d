#include "persist/ConsolePersistence.h"

#include "persist/DeviceResolution.h"

namespace corvinta {

ConsoleBuildSteps PersistenceBuildSteps(PersistedFiles& files)
{
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&files](CConsole& console) {
        files.noConfigurationFound = ReadConfigurationAtStart(console, files.configFileName).noConfigurationFound;
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
    const bool config = SaveConfigurationAtClose(console, files.configFileName);
    const bool combinations = CComboFile::Save(console, files.comboFileName);
    return config && combinations;
}

} // namespace corvinta
