#pragma once
// The files the console keeps between runs, wired into its build and close:
// the configuration, then device resolution, then the combinations.

#include "organ/Console.h"
#include "persist/ComboFile.h"
#include "persist/ConfigStartup.h"

#include <string>

namespace corvinta {

struct PersistedFiles {
    std::string configFileName = kDefaultConfigFileName;
    std::string comboFileName = kDefaultComboFileName;
    // The organist's own configuration file, which "BaseCamp.xml" (never a
    // file itself) is saved as.
    std::string defaultConfigFileName = kDefaultConfigFileName;
    // Set while the console is built.
    bool noConfigurationFound = false; // play the console-up file once the window is up
    bool quitRequested = false;        // the user refused an old combination file: end with exit code 1
    // Files that did not load, to be kept as NAME.bad before the first save over them.
    bool keepConfigAsBad = false;
    bool keepCombinationsAsBad = false;
};

// The steps that read the files while the console is built; `files` must
// outlive the call to Build.
ConsoleBuildSteps PersistenceBuildSteps(PersistedFiles& files);

// At close: the configuration, then the combinations, each reporting its own
// failure. True when both were saved.
bool SaveAtClose(CConsole& console, PersistedFiles& files);

} // namespace corvinta
