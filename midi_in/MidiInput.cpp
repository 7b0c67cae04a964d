#include "midi_in/MidiInput.h"

#include "organ/Console.h"
#include "platform/RoomWait.h"

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

MidiInput::MidiInput(CConsole& console, IMidiSystem& midi)
    : console_(console), midi_(midi), releases_((static_cast<int>(midi.InputNames().size()) + 1) * 16)
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
    if (MadeInsideTheProgram(e.source) && e.fileRun != fileRun_.load())
        return; // queued by a file player that has stopped since
    console_.ProcessEvent(e.source, e.message);
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
            console_.Messages().Show({"Can't open MIDI In device." + ScreenPlayHint(),
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
        const uint32_t source = slot == internalSlot ? InternalSource(channel) : static_cast<uint32_t>(slot);
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
