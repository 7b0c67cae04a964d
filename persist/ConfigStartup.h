#pragma once
// The configuration file at the console's start and close, with the
// questions and messages the user sees there.

#include <string>

namespace corvinta {

class CConsole;

inline constexpr const char* kDefaultConfigFileName = "Corvinta.xml";
inline constexpr const char* kBaseCampFileName = "BaseCamp.xml"; // the built-in settings, never a file

struct ConfigStartResult {
    bool noConfigurationFound = false; // the console then plays the console-up file
    bool keepAsBadFirst = false;       // the file did not load: keep it before writing over it
};

// Asks before restoring the base camp settings (fileName becomes
// "Corvinta.xml" unless the answer is Yes), loads and reports the result.
ConfigStartResult ReadConfigurationAtStart(CConsole& console, std::string& fileName);

// Writes the configuration, never over the base camp name; reports a failure.
// keepAsBadFirst: the file there did not load; it is kept as NAME.bad first,
// and nothing is written if it cannot be.
bool SaveConfigurationAtClose(CConsole& console, std::string& fileName, bool keepAsBadFirst = false);

} // namespace corvinta
