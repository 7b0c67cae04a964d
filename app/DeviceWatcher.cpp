#include "app/DeviceWatcher.h"

#include "engine/OutputEngine.h"
#include "midi_in/MidiInput.h"
#include "organ/Console.h"
#include "platform/RoomWait.h"

#include <algorithm>

namespace corvinta {

namespace {
std::string Quoted(const std::vector<std::string>& names, unsigned id)
{
    return "\"" + (id < names.size() ? names[id] : std::string("?")) + "\"";
}
} // namespace

DeviceWatcher::DeviceWatcher(CConsole& console, IMidiSystem& midi, MidiInput& input, OutputEngine& engine)
    : console_(console), midi_(midi), input_(input), engine_(engine)
{
}

DeviceWatcher::~DeviceWatcher() { Stop(); }

bool DeviceWatcher::Start(std::chrono::milliseconds period)
{
    stopping_ = false;
    return timer_.Start(period, [this] {
        LookNow();
        return true;
    });
}

void DeviceWatcher::Stop()
{
    stopping_ = true;
    timer_.Stop();
}

void DeviceWatcher::LookNow()
{
    std::vector<unsigned> released;
    std::vector<unsigned> adopted;
    std::vector<std::string> notices;
    auto Notice = [&notices](std::string text) { notices.push_back(std::move(text)); };
    {
        std::lock_guard lock(console_.DeviceLock());
        const IMidiSystem::Changes changes = midi_.Rescan();
        if (changes.inputs.Empty() && changes.outputs.Empty())
            return;
        const std::vector<std::string>& inputs = midi_.InputNames();
        const std::vector<std::string>& outputs = midi_.OutputNames();
        console_.inputDevicesPresent = inputs;
        console_.outputDevicesPresent = outputs;

        for (unsigned id : changes.inputs.gone)
            if (input_.DeviceGone(id)) {
                released.push_back(id);
                Notice("MIDI input " + Quoted(inputs, id) + " was disconnected; the keys it held are released.");
            }
        for (unsigned id : changes.inputs.back) {
            std::string error;
            if (input_.DeviceBack(id, error))
                Notice("MIDI input " + Quoted(inputs, id) + " is connected again.");
            else if (!error.empty())
                Notice("MIDI input " + Quoted(inputs, id) + " is back but cannot be opened: " + error);
        }
        for (unsigned id : changes.inputs.added) {
            auto& awaited = console_.awaitedInputs;
            const auto found = std::find(awaited.begin(), awaited.end(), inputs[id]);
            if (found != awaited.end()) {
                awaited.erase(found);
                adopted.push_back(id);
            } else {
                Notice("New MIDI input " + Quoted(inputs, id) + ": choose it in Corvinta Settings to play from it.");
            }
        }

        for (unsigned id : changes.outputs.gone)
            if (engine_.OutputGone(static_cast<int>(id)))
                Notice("MIDI output " + Quoted(outputs, id) +
                       " was disconnected; its ranks are silent until it returns.");
        for (unsigned id : changes.outputs.back) {
            std::string error;
            if (engine_.OutputBack(static_cast<int>(id), error))
                Notice("MIDI output " + Quoted(outputs, id) + " is connected again; its ranks sound again.");
            else if (!error.empty())
                Notice("MIDI output " + Quoted(outputs, id) + " is back but cannot be opened: " + error);
        }
        for (unsigned id : changes.outputs.added)
            Notice("New MIDI output " + Quoted(outputs, id) + ": choose it for a rank in Corvinta Settings.");
    }
    // Outside the device lock: a full queue that is held (the settings
    // dialog is open) keeps this waiting until input runs again, and the
    // dialog's thread must not then wait for the lock.
    {
        RoomWait wait(stopping_);
        for (unsigned id : released)
            input_.ReleaseDevice(id);
        // Routed before its first event: the adoption is queued, then the port opened.
        for (unsigned id : adopted)
            input_.QueueAdoption(id);
    }
    if (!adopted.empty()) {
        std::lock_guard lock(console_.DeviceLock());
        const std::vector<std::string>& inputs = midi_.InputNames();
        for (unsigned id : adopted) {
            std::string error;
            if (input_.OpenDevice(id, error))
                Notice("MIDI input " + Quoted(inputs, id) + " is connected; it plays the divisions set for it.");
            else
                Notice("MIDI input " + Quoted(inputs, id) + " is connected but cannot be opened: " + error);
        }
    }
    // Told once the keys' release is queued.
    if (notices.empty())
        return;
    {
        std::lock_guard lock(noticesMutex_);
        notices_.insert(notices_.end(), notices.begin(), notices.end());
    }
    if (listener_)
        listener_();
}

std::vector<std::string> DeviceWatcher::TakeNotices()
{
    std::lock_guard lock(noticesMutex_);
    std::vector<std::string> taken;
    taken.swap(notices_);
    return taken;
}

} // namespace corvinta
