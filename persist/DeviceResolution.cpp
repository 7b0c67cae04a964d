#include "persist/DeviceResolution.h"

#include "organ/Console.h"
#include "persist/TextNumbers.h"

#include <algorithm>

namespace corvinta {

namespace {

std::optional<uint16_t> FindDevice(const std::vector<std::string>& present, const std::string& name)
{
    const auto found = std::find(present.begin(), present.end(), name);
    if (found == present.end() || found - present.begin() >= kNoDevice)
        return std::nullopt;
    return static_cast<uint16_t>(found - present.begin());
}

} // namespace

InputResolution ResolveInputDevices(std::vector<DIVSETTINGS>& entries,
                                    const std::map<int, std::string>& fileDevices,
                                    const std::vector<std::string>& present)
{
    InputResolution result;
    for (DIVSETTINGS& entry : entries) {
        int fileId = 0;
        if (entry.name == "Omni")
            result.omniFound = true;
        else if (entry.name.empty())
            continue; // no device: the entry listens to every active device
        else
            fileId = ReadInt(entry.name);
        const auto name = fileDevices.find(fileId);
        if (name == fileDevices.end())
            continue;
        if (auto id = FindDevice(present, name->second))
            entry.deviceId = *id;
    }
    for (const auto& [fileId, name] : fileDevices) {
        const auto id = FindDevice(present, name);
        if (id && std::find(result.inUse.begin(), result.inUse.end(), *id) == result.inUse.end())
            result.inUse.push_back(*id);
    }
    if (result.inUse.empty() && !present.empty())
        result.inUse.push_back(0);
    return result;
}

void ResolveOutputDevices(std::vector<RNKSETTINGS>& ranks, const std::vector<std::string>& present)
{
    for (RNKSETTINGS& rank : ranks) {
        if (rank.name == kInternalSynthName)
            rank.deviceId = kNoDevice;
        else if (auto id = FindDevice(present, rank.name))
            rank.deviceId = *id;
    }
}

void ResolveConsoleDevices(CConsole& console)
{
    const InputResolution inputs =
        ResolveInputDevices(console.DivSettings(), console.fileInputDevices, console.inputDevicesPresent);
    console.inputDevicesInUse = inputs.inUse;
    console.awaitedInputs.clear();
    for (const auto& [fileId, name] : console.fileInputDevices)
        if (!FindDevice(console.inputDevicesPresent, name) &&
            std::find(console.awaitedInputs.begin(), console.awaitedInputs.end(), name) == console.awaitedInputs.end())
            console.awaitedInputs.push_back(name);
    if (inputs.omniFound)
        console.Messages().Show({"Omni is no longer supported for MIDI input.\nSet MIDI input device to actual device in Settings.",
                                 "MIDI input devices initialization", MessageIcon::Information});
    ResolveOutputDevices(console.RankSettings(), console.outputDevicesPresent);
}

} // namespace corvinta
