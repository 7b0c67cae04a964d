// Arbitrary bytes as a configuration file: the reader must neither crash nor
// hang, and whatever it leaves in the console must save as a file that
// reads back whole.

#include "organ/Console.h"
#include "persist/ConfigFile.h"
#include "platform/RecordingUserMessages.h"

#include <cstdlib>

using namespace corvinta;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(CConfigFile::kSizeLimit))
        return 0;
    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&](CConsole& c) { CConfigFile::Parse(reinterpret_cast<const char*>(data), size, c); };
    console.Build(steps);

    const std::string written = CConfigFile::Format(console, CConfigFile::kVersion);
    CConsole again(messages);
    ConfigLoadResult reread = ConfigLoadResult::Corrupted;
    ConsoleBuildSteps rereadSteps;
    rereadSteps.readConfiguration = [&](CConsole& c) { reread = CConfigFile::Parse(written.data(), written.size(), c); };
    again.Build(rereadSteps);
    if (reread != ConfigLoadResult::Ok)
        std::abort();
    return 0;
}
