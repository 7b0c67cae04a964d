#include "midi_in/MidiInput.h"

#include "organ/Console.h"
#include "platform/RoomWait.h"

#include <algorithm>

namespace corvinta {

namespace {
constexpr const char* kMidiInCaption = "Corvinta MIDI In Initialization";
constexpr const char* kDevicesCaption = "MIDI input devices initialization";
// Queued by ReleaseDevice: the status of a system reset, which the input
// callback never passes on and the file player never sends.
constexpr uint32_t kReleaseDeviceMessage = 0xFF;
// Queued by QueueAdoption: the status of active sensing, likewise never passed on.
constexpr uint32_t kAdoptDeviceMessage = 0xFE;
} // namespace

struct MidiInput::Device {
    MidiInput* owner = nullptr;
    unsigned listId = 0; // the device id it stands for, open or not
    CMidiInDevice record;
    std::unique_ptr<IMidiInputPort> port;
    std::atomic<bool> started{false}; // read on the MIDI callback thread
};

MidiInput::MidiInput(CConsole& console, IMidiSystem& midi)
    : console_(console), midi_(midi), releases_((static_cast<int>(std::max<size_t>(midi.InputNames().size(), kTrackedDevices)) + 1) * 16)
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

void MidiInput::Enumerate(ScreenPlay screen)
{
    screen_ = screen;
    console_.inputDevicesPresent = midi_.InputNames();
    if (console_.inputDevicesPresent.empty())
        console_.Messages().Show({"There are no MIDI input devices in the system." +
                                      (screen == ScreenPlay::Offered ? ScreenPlayHint()
                                                                     : "\nConnect a MIDI keyboard (corvinta --list-midi "
                                                                       "lists what the organ sees) and start it again."),
                                  kDevicesCaption, MessageIcon::Information, MessageButtons::Ok, MessageAnswer::Ok});
}

std::string MidiInput::ScreenPlayHint() const
{
    return screen_ == ScreenPlay::Offered ? "\nYou can play the Corvinta with your mouse or computer keyboard." : "";
}

bool MidiInput::StartWorker()
{
    stopping_ = false;
    return queue_.Start([this](const InputEvent& e) {
        // Not a real-time thread: a full output ring delays the organ here
        // rather than losing what a file or a keyboard sent.
        RoomWait wait(stopping_);
        Process(e);
    });
}

int MidiInput::DrainHere(int most)
{
    return queue_.DrainHere([this](const InputEvent& e) { Process(e); }, most);
}

void MidiInput::Process(const InputEvent& e)
{
    if (MadeInsideTheProgram(e.source)) {
        if (e.fileRun != fileRun_.load())
            return; // queued by a file player that has stopped since
        console_.ProcessEvent(e.source, e.message);
        return;
    }
    if (e.message == kReleaseDeviceMessage) {
        ReleaseHeld(e.source);
        return;
    }
    if (e.message == kAdoptDeviceMessage) {
        console_.AdoptInput(static_cast<uint16_t>(e.source));
        return;
    }
    TrackAndProcess(e.source, e.message);
}

void MidiInput::TrackAndProcess(uint32_t source, uint32_t message)
{
    if (source < kTrackedDevices) {
        const uint32_t status = message & 0xF0;
        const size_t channel = message & 0x0F;
        const size_t bit = channel * 128 + ((message >> 8) & 0x7F);
        const bool level = ((message >> 16) & 0x7F) != 0;
        if (status == 0x90)
            heldNotes_[source].set(bit, level);
        else if (status == 0x80)
            heldNotes_[source].reset(bit);
        else if (status == 0xD0)
            pressure_[source].set(channel, ((message >> 8) & 0x7F) != 0);
    }
    console_.ProcessEvent(source, message);
}

void MidiInput::ReleaseHeld(unsigned deviceId)
{
    if (deviceId >= kTrackedDevices)
        return;
    std::bitset<16 * 128>& held = heldNotes_[deviceId];
    for (size_t bit = held._Find_first(); bit < held.size(); bit = held._Find_next(bit)) {
        const auto channel = static_cast<uint32_t>(bit / 128);
        const auto note = static_cast<uint32_t>(bit % 128);
        console_.ProcessEvent(deviceId, (0x80 | channel) | note << 8);
    }
    held.reset();
    for (uint32_t channel = 0; channel < 16; ++channel)
        if (pressure_[deviceId].test(channel))
            console_.ProcessEvent(deviceId, 0xD0 | channel);
    pressure_[deviceId].reset();
}

bool MidiInput::StopWorker(int maxPolls, int pollMs)
{
    stopping_ = true;
    queue_.SetHeld(true);
    return queue_.Stop(maxPolls, pollMs);
}

std::string MidiInput::TakeDropReport()
{
    const uint64_t dropped = DroppedEvents();
    if (dropped == 0 || dropsReported_.exchange(true))
        return {};
    return "MIDI input came faster than the organ could take it: " + std::to_string(dropped) +
           (dropped == 1 ? " event was" : " events were") + " dropped.\nA key or control may not have reached the organ.";
}

void MidiInput::ReportDeviceError(unsigned deviceId, const std::string& error, const char* caption)
{
    const auto& names = console_.inputDevicesPresent;
    const std::string name = deviceId < names.size() ? names[deviceId] : "MIDI input";
    ShowError(console_.Messages(), name + ": " + error, caption);
}

void MidiInput::OpenAll()
{
    std::unique_lock lock(portsMutex_);
    const auto count = static_cast<unsigned>(console_.inputDevicesPresent.size());
    if (count == 0)
        return;
    for (uint16_t id : console_.inputDevicesInUse) {
        const unsigned deviceId = id < count ? id : 0;
        std::unique_ptr<Device> device = MakeDevice(deviceId);
        std::string error;
        device->port = midi_.OpenInput(deviceId, &MidiInput::Callback, device.get(), error);
        if (!device->port) {
            ReportDeviceError(deviceId, error, kMidiInCaption);
            console_.Messages().Show({"Can't open MIDI In device." + ScreenPlayHint(),
                                      "Can't Open MIDI In Device", MessageIcon::Information, MessageButtons::Ok,
                                      MessageAnswer::Ok});
        } else {
            device->record.deviceId = static_cast<int32_t>(deviceId);
            device->record.open = true;
        }
        devices_.push_back(std::move(device));
    }
    lock.unlock();
    StartAll();
}

void MidiInput::StartAll()
{
    std::lock_guard lock(portsMutex_);
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
    std::lock_guard lock(portsMutex_);
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
    std::lock_guard lock(portsMutex_);
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

bool MidiInput::DeviceGone(unsigned deviceId)
{
    std::lock_guard lock(portsMutex_);
    bool closed = false;
    for (auto& device : devices_) {
        if (device->listId != deviceId || !device->port)
            continue;
        device->started = false;
        device->record.started = false;
        device->port->Stop();
        device->port->Close(); // no callback of it runs after this
        device->port.reset();
        closed = closed || device->record.open;
        device->record.open = false;
    }
    return closed;
}

void MidiInput::ReleaseDevice(unsigned deviceId)
{
    Push(kReleaseDeviceMessage, deviceId);
}

bool MidiInput::DeviceBack(unsigned deviceId, std::string& error)
{
    std::lock_guard lock(portsMutex_);
    bool used = false;
    for (auto& device : devices_) {
        if (device->listId != deviceId || device->record.open)
            continue;
        used = true;
        if (!OpenLocked(*device, error))
            return false;
    }
    return used;
}

void MidiInput::QueueAdoption(unsigned deviceId)
{
    Push(kAdoptDeviceMessage, deviceId);
}

bool MidiInput::OpenDevice(unsigned deviceId, std::string& error)
{
    std::lock_guard lock(portsMutex_);
    for (auto& device : devices_)
        if (device->listId == deviceId)
            return device->record.open || OpenLocked(*device, error);
    std::unique_ptr<Device> device = MakeDevice(deviceId);
    const bool opened = OpenLocked(*device, error);
    devices_.push_back(std::move(device)); // kept when it failed, as at start
    return opened;
}

std::unique_ptr<MidiInput::Device> MidiInput::MakeDevice(unsigned deviceId)
{
    auto device = std::make_unique<Device>();
    device->owner = this;
    device->record.console = &console_;
    device->listId = deviceId;
    return device;
}

bool MidiInput::OpenLocked(Device& device, std::string& error)
{
    const unsigned deviceId = device.listId;
    device.port = midi_.OpenInput(deviceId, &MidiInput::Callback, &device, error);
    if (!device.port)
        return false;
    device.record.deviceId = static_cast<int32_t>(deviceId);
    device.record.open = true;
    if (!device.port->Start(error))
        return false;
    device.record.started = true;
    device.started = true;
    return true;
}

int MidiInput::OpenDeviceCount() const
{
    std::lock_guard lock(portsMutex_);
    int open = 0;
    for (const auto& device : devices_)
        open += device->record.open;
    return open;
}

namespace {
// Rows of the release backlog: 16 channels for each device, then 16 for the
// program's own events.
int ReleaseRow(int rows, uint32_t source, uint32_t message)
{
    const int channel = static_cast<int>(message & 0x0F);
    const int internalSlot = rows / 16 - 1;
    if (MadeInsideTheProgram(source))
        return internalSlot * 16 + channel;
    return source < static_cast<uint32_t>(internalSlot) ? static_cast<int>(source) * 16 + channel : -1;
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
    const int row = ReleaseRow(releases_.Rows(), source, message);
    const int note = static_cast<int>((message >> 8) & 0x7F);
    if (IsPress(message) && !releases_.AdmitsPress(row, note))
        return false;
    if (queue_.TryPush(InputEvent{message, source, fileRun_.load(std::memory_order_relaxed)}))
        return true;
    if (!IsRelease(message) || !releases_.Keep(row, note))
        return false;
    queue_.Wake();
    return true;
}

void MidiInput::HandleKeptReleases()
{
    const int internalSlot = releases_.Rows() / 16 - 1;
    releases_.Take([this, internalSlot](int row, int note) {
        const int slot = row / 16;
        const auto channel = static_cast<uint32_t>(row % 16);
        const uint32_t message = (0x80 | channel) | static_cast<uint32_t>(note) << 8;
        if (slot == internalSlot)
            console_.ProcessEvent(InternalSource(channel), message);
        else
            TrackAndProcess(static_cast<uint32_t>(slot), message);
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
