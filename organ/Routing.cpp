// Which divisions an event reaches, by the device and channel it came on.

#include "organ/Console.h"

#include <algorithm>
#include <charconv>

namespace corvinta {

namespace {

uint32_t SourceKey(uint32_t device, int channel)
{
    return device | (static_cast<uint32_t>(channel & 0x0F) << 16);
}
} // namespace

void CConsole::RebuildRouting()
{
    std::lock_guard lock(stateMutex_);
    routing_.clear();
    const std::vector<DIVSETTINGS>& div = settings_.divisions;
    // A division without a device listens to every active device.
    auto listens = [](const DIVSETTINGS& s, uint16_t device) { return s.deviceId == device || s.deviceId == kNoDevice; };
    for (uint16_t device : inputDevicesInUse) {
        for (int d = 0; d < kDivisionCount; ++d)
            if (listens(div[static_cast<size_t>(d)], device))
                routing_[SourceKey(device, div[static_cast<size_t>(d)].channel)].push_back(static_cast<uint8_t>(d));
        if (listens(div[kDivisionCount], device))
            routing_[SourceKey(device, div[kDivisionCount].channel)].push_back(kControlEntry);
    }
    // Events made inside the program (file playback) use the default channels.
    for (int d = 0; d < kDivisionCount; ++d)
        routing_[SourceKey(kNoDevice, kDivisions[static_cast<size_t>(d)].defaultInputChannel)].push_back(
            static_cast<uint8_t>(d));
    routing_[SourceKey(kNoDevice, 15)].push_back(kControlEntry);
}

void CConsole::AdoptInput(uint16_t deviceId)
{
    std::lock_guard devices(deviceMutex_);
    if (deviceId >= inputDevicesPresent.size())
        return;
    if (std::find(inputDevicesInUse.begin(), inputDevicesInUse.end(), deviceId) == inputDevicesInUse.end())
        inputDevicesInUse.push_back(deviceId);
    const std::string& name = inputDevicesPresent[deviceId];
    for (DIVSETTINGS& entry : settings_.divisions) {
        if (entry.deviceId != kNoDevice || entry.name.empty() || entry.name == "Omni")
            continue;
        // The entry names the configuration's device number; a name that is
        // no number, or too large for one, names none.
        int fileId = 0;
        const char* end = entry.name.data() + entry.name.size();
        if (std::from_chars(entry.name.data(), end, fileId).ec != std::errc())
            continue;
        const auto stored = fileInputDevices.find(fileId);
        if (stored != fileInputDevices.end() && stored->second == name)
            entry.deviceId = deviceId;
    }
    RebuildRouting();
}

const std::vector<uint8_t>* CConsole::RoutesFor(uint32_t sourceKey) const
{
    auto it = routing_.find(sourceKey);
    return it == routing_.end() ? nullptr : &it->second;
}

void CConsole::FillControlBytes()
{
    static const AssignmentMaps defaults = [] {
        AssignmentMaps maps;
        InstallDefaultAssignments(maps);
        return maps;
    }();
    const AssignmentMap& map = useDefaultAssignments ? defaults.controllers : assignments.device.controllers;
    // An unassigned message keeps channel 16, controller 0, value 0 and is
    // marked unassigned, so it is never echoed.
    auto fill = [&](ControlAssignment& a, uint32_t onItem, uint32_t offItem) {
        auto bytes = [&](uint32_t item, uint8_t& channel, uint8_t& controller, uint8_t& value, bool& assigned) {
            channel = 15;
            controller = 0;
            value = 0;
            const auto code = map.ControlFor(item);
            assigned = code.has_value();
            if (code) {
                const uint8_t entry = RoutingEntryOf(*code);
                channel = static_cast<uint8_t>(settings_.divisions[entry == kControlEntry ? kDivisionCount : entry].channel & 0x0F);
                controller = NumberOf(*code);
                value = ValueOf(*code);
            }
        };
        bytes(onItem, a.channelOn, a.controllerOn, a.valueOn, a.assignedOn);
        bytes(offItem, a.channelOff, a.controllerOff, a.valueOff, a.assignedOff);
    };
    for (auto& division : divisions_)
        for (int i = 0; i < division->stopCount; ++i)
            fill(division->Stop(i).control, StopItemCode(division->number, i, true), StopItemCode(division->number, i, false));
    for (int t = 0; t < TremulantCount(); ++t)
        fill(Trem(t).control, TremItemCode(t, true), TremItemCode(t, false));
}

} // namespace corvinta
