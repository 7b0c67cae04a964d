#include "midi_in/MidiInput.h"

#include "organ/Console.h"

namespace corvinta {

namespace {
constexpr const char* kMidiInCaption = "Corvinta MIDI In Initialization";
constexpr const char* kDevicesCaption = "MIDI input devices initialization";
} // namespace

struct MidiInput::Device {
    MidiInput* owner = nullptr;
    CMidiInDevice record;
    std::unique_ptr<IMidiInputPort> port;
    std::atomic<bool> started{false}; // read on the MIDI callback thread
};

MidiInput::MidiInput(CConsole& console, IMidiSystem& midi) : console_(console), midi_(midi)
{
    queue_.SetHeld(true); // input is enabled once the console is ready
    queue_.SetIdleWork([this] { HandleKeptReleases(); });
}

MidiInput::~MidiInput()
{
    CloseAll();
    // The owner has stopped the worker or let it go by now; being destroyed,
    // this can only wait for it.
    StopWorker(0, 0);
}

void MidiInput::Enumerate()
{
    console_.inputDevicesPresent = midi_.InputNames();
    if (console_.inputDevicesPresent.empty())
        console_.Messages().Show({"There are no MIDI input devices in the system.\nYou can play the Corvinta with your "
                                  "mouse or computer keyboard.",
                                  kDevicesCaption, MessageIcon::Information, MessageButtons::Ok, MessageAnswer::Ok});
}

bool MidiInput::StartWorker()
{
    return queue_.Start([this](const InputEvent& e) { console_.ProcessEvent(e.source, e.message); });
}

int MidiInput::DrainHere()
{
    return queue_.DrainHere([this](const InputEvent& e) { console_.ProcessEvent(e.source, e.message); });
}

bool MidiInput::StopWorker(int maxPolls, int pollMs)
{
    queue_.SetHeld(true);
    return queue_.Stop(maxPolls, pollMs);
}

void MidiInput::ReportDeviceError(unsigned deviceId, const std::string& error, const char* caption)
{
    const auto& names = console_.inputDevicesPresent;
    const std::string name = deviceId < names.size() ? names[deviceId] : "MIDI input";
    ShowError(console_.Messages(), name + ": " + error, caption);
}

void MidiInput::OpenAll()
{
    const auto count = static_cast<unsigned>(console_.inputDevicesPresent.size());
    if (count == 0)
        return;
    for (uint16_t id : console_.inputDevicesInUse) {
        auto device = std::make_unique<Device>();
        device->owner = this;
        device->record.console = &console_;
        const unsigned deviceId = id < count ? id : 0;
        std::string error;
        device->port = midi_.OpenInput(deviceId, &MidiInput::Callback, device.get(), error);
        if (!device->port) {
            ReportDeviceError(deviceId, error, kMidiInCaption);
            console_.Messages().Show({"Can't open MIDI In device.\nYou can play the Corvinta with your mouse or computer keyboard.",
                                      "Can't Open MIDI In Device", MessageIcon::Information, MessageButtons::Ok,
                                      MessageAnswer::Ok});
        } else {
            device->record.deviceId = static_cast<int32_t>(deviceId);
            device->record.open = true;
        }
        devices_.push_back(std::move(device));
    }
    StartAll();
}

void MidiInput::StartAll()
{
    for (auto& device : devices_) {
        if (!device->record.open || device->started)
            continue;
        std::string error;
        if (!device->port->Start(error)) {
            ReportDeviceError(static_cast<unsigned>(device->record.deviceId), error, kMidiInCaption);
            continue;
        }
        device->record.started = true;
        device->started = true;
    }
}

void MidiInput::StopAll()
{
    for (auto& device : devices_) {
        if (!device->started)
            continue;
        device->started = false;
        device->record.started = false;
        device->port->Stop();
    }
}

void MidiInput::CloseAll()
{
    StopAll();
    for (auto& device : devices_)
        if (device->port) {
            device->port->Close();
            device->record.open = false;
        }
    devices_.clear();
}

void MidiInput::SetInputEnabled(bool enabled)
{
    queue_.SetHeld(!enabled);
}

int MidiInput::OpenDeviceCount() const
{
    int open = 0;
    for (const auto& device : devices_)
        open += device->record.open;
    return open;
}

namespace {
// Rows of the release backlog: 16 channels for each of the first devices,
// then 16 for the program's own events.
constexpr int kInternalSlot = kKeptReleaseSlots - 1;

int ReleaseRow(uint32_t source, uint32_t message)
{
    const int channel = static_cast<int>(message & 0x0F);
    if ((source & 0xFFFF) == kInternalSource)
        return kInternalSlot * 16 + channel;
    return source < static_cast<uint32_t>(kInternalSlot) ? static_cast<int>(source) * 16 + channel : -1;
}

bool IsRelease(uint32_t message)
{
    const uint32_t status = message & 0xF0;
    return status == 0x80 || (status == 0x90 && ((message >> 16) & 0x7F) == 0);
}

bool IsPress(uint32_t message)
{
    return (message & 0xF0) == 0x90 && ((message >> 16) & 0x7F) != 0;
}
} // namespace

bool MidiInput::Push(uint32_t message, uint32_t source)
{
    const int row = ReleaseRow(source, message);
    const int note = static_cast<int>((message >> 8) & 0x7F);
    if (IsPress(message) && !releases_.AdmitsPress(row, note))
        return false;
    if (queue_.TryPush(InputEvent{message, source}))
        return true;
    if (!IsRelease(message) || !releases_.Keep(row, note))
        return false;
    queue_.Wake();
    return true;
}

void MidiInput::HandleKeptReleases()
{
    releases_.Take([this](int row, int note) {
        const int slot = row / 16;
        const auto channel = static_cast<uint32_t>(row % 16);
        const uint32_t source = slot == kInternalSlot ? (kInternalSource | channel << 16) : static_cast<uint32_t>(slot);
        console_.ProcessEvent(source, (0x80 | channel) | static_cast<uint32_t>(note) << 8);
    });
}

// On the MIDI system's thread: nothing but the push.
void MidiInput::Callback(void* context, uint32_t message)
{
    auto* device = static_cast<Device*>(context);
    if (!device->started.load(std::memory_order_relaxed))
        return;
    if ((message & 0xFF) >= 0xF0 || (message & 0x80) == 0) // system messages and stray data bytes
        return;
    device->owner->Push(message, static_cast<uint32_t>(device->record.deviceId));
}

} // namespace corvinta
