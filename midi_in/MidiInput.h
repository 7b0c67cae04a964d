#pragma once
// The MIDI input devices and the input queue: the platform's callbacks and
// the MIDI file player push short messages into a ring of 256 entries; one
// worker thread runs the console's event processor on each, in order.
// Events that arrive before input is enabled wait in the ring.

#include "organ/FastStop.h"
#include "platform/MidiSystem.h"
#include "platform/ReleaseBacklog.h"
#include "platform/WorkQueue.h"

#include <array>
#include <atomic>
#include <bitset>
#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace corvinta {

class CConsole;

struct InputEvent {
    uint32_t message = 0; // status in the low byte, then data 1 and data 2
    uint32_t source = 0;  // device id, or InternalSource(channel) for events made inside the program
    uint32_t fileRun = 0; // for the program's events: the player's run that queued it
};

class MidiInput final : public IInputControl {
public:
    // Devices whose keys the organ can release when they vanish; a device id
    // past these still plays, but what it holds when unplugged is not known.
    static constexpr unsigned kTrackedDevices = 32;

    MidiInput(CConsole& console, IMidiSystem& midi);
    ~MidiInput() override;
    MidiInput(const MidiInput&) = delete;
    MidiInput& operator=(const MidiInput&) = delete;

    // Whether the organist can also play on screen (the window shows the
    // console): the messages for a missing or failed input say so only then.
    enum class ScreenPlay { Offered, NotOffered };

    // Reads the devices present into the console, with the messages for none
    // and for a device that cannot be named.
    void Enumerate(ScreenPlay screen = ScreenPlay::Offered);
    // Starts the input worker; false if no thread could be made.
    bool StartWorker();
    // Ends the worker (the console is closing); pending events are dropped.
    // Polls for its end every pollMs, at most maxPolls times (0: waits
    // without limit); true when it ended in time or never ran.
    bool StopWorker(int maxPolls = 300, int pollMs = 100);
    // Lets go of a worker that did not stop: it is never joined, so this
    // object must then outlive the process's work.
    void DetachWorker() { queue_.Detach(); }
    // Without a worker (rendering a file offline): runs the event processor
    // on the waiting events here, in order, at most `most`. Returns how many ran.
    int DrainHere(int most = INT_MAX);
    // No room for another event; exact on the thread that drains here.
    bool QueueFull() const { return queue_.Full(); }

    // Opens and starts a device for each active device id.
    void OpenAll();
    void StopAll() override;
    void StartAll() override;
    void CloseAll();
    void SetInputEnabled(bool enabled) override;
    bool InputEnabled() const { return !queue_.Held(); }

    // Safe from any thread; takes no lock, allocates nothing, never sleeps
    // (unless the caller opened a RoomWait: the file player waits for room).
    // A note release that finds the ring full is kept aside and handled once
    // the ring is empty (true); a press of that key is refused until then, and
    // anything else that finds the ring full is dropped; both are counted (false).
    bool Push(uint32_t message, uint32_t source);
    // The file player has stopped: its events still waiting in the ring are
    // dropped, so none is handled after the notes-off that follows.
    void DiscardFileEvents() { fileRun_.fetch_add(1); }

    // A device that came or went while the organ plays; from a thread that
    // is not real-time (the device watcher), never the MIDI or audio thread.
    // DeviceGone closes the device's port if it was open (true then); its
    // keys are released once ReleaseDevice queues that after its last event.
    bool DeviceGone(unsigned deviceId);
    // Queues the release of every key and second touch the device holds, in
    // order after everything it sent. Waits for room in the queue when the
    // caller has opened a RoomWait.
    void ReleaseDevice(unsigned deviceId);
    // Opens and starts the device again when the organ uses it (it was open
    // before, or failed to open while it was away): true then; false with
    // the reason when opening failed, false with no reason when unused.
    bool DeviceBack(unsigned deviceId, std::string& error);
    // An input the organ awaited arrived: queues its adoption (CConsole::
    // AdoptInput) ahead of anything it will send, then opens and starts it.
    // Call outside the device lock, which the adoption takes; waits for room
    // in the queue when the caller has opened a RoomWait.
    void QueueAdoption(unsigned deviceId);
    bool OpenDevice(unsigned deviceId, std::string& error);

    int OpenDeviceCount() const;
    // Events refused because the ring was full, or presses refused because
    // their key's release was still waiting for room.
    uint64_t DroppedEvents() const { return queue_.Dropped() + releases_.RefusedPresses(); }
    // Once in a run, the first time events have been dropped: what to tell
    // the organist; empty otherwise. For whoever polls (the headless loop,
    // the window's status).
    std::string TakeDropReport();

private:
    struct Device;
    static void Callback(void* context, uint32_t message);
    void ReportDeviceError(unsigned deviceId, const std::string& error, const char* caption);
    std::string ScreenPlayHint() const;

    void HandleKeptReleases();
    void Process(const InputEvent& e);
    // Every device event goes through here: what a device holds is known
    // when it vanishes. On the worker (or the thread that drains) only.
    void TrackAndProcess(uint32_t source, uint32_t message);
    void ReleaseHeld(unsigned deviceId);
    std::unique_ptr<Device> MakeDevice(unsigned deviceId);
    bool OpenLocked(Device& device, std::string& error);

    CConsole& console_;
    IMidiSystem& midi_;
    ScreenPlay screen_ = ScreenPlay::Offered;
    // Held around the devices' ports: opening, closing, starting, stopping.
    // Never held while waiting for room in the queue.
    mutable std::mutex portsMutex_;
    std::vector<std::unique_ptr<Device>> devices_;
    // Per tracked device: the notes each channel holds, and the channels
    // whose pressure is up. Only the thread that processes events touches them.
    std::array<std::bitset<16 * 128>, kTrackedDevices> heldNotes_{};
    std::array<std::bitset<16>, kTrackedDevices> pressure_{};
    // Held while input is disabled: events wait for the console window.
    WorkQueue<InputEvent, 256> queue_;
    // One row per channel of every device present at start (at least the
    // tracked ones, for devices plugged in later), then 16 for the program's own events.
    ReleaseBacklog releases_;
    std::atomic<uint32_t> fileRun_{0};
    std::atomic<bool> stopping_{false}; // ends the worker's wait for room in the output ring
    std::atomic<bool> dropsReported_{false};
};

} // namespace corvinta
