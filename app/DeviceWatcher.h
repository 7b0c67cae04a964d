#pragma once
// Follows MIDI devices as they come and go while the organ plays. A thread
// of its own looks at the ports a few times a second (the MIDI system's own
// lists, ALSA's or JACK's, read afresh): an input that vanishes is closed
// and every key it held is released through the input queue, after all it
// sent; one that returns under the same stable name is opened and routed as
// before. An output that vanishes leaves its ranks silent; when it returns
// it is opened and its ranks voiced again before their next note. Devices
// never seen before join the lists the settings dialog offers. Each change
// is told to the organist once, as a notice for whoever shows them (the
// headless loop prints them, the window shows a status line).
//
// Opening and closing happen on the watcher's thread under the console's
// device lock, never on a MIDI or audio thread and never while waiting for
// the console lock.

#include "platform/MidiSystem.h"
#include "platform/PeriodicTimer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace corvinta {

class CConsole;
class MidiInput;
class OutputEngine;

class DeviceWatcher {
public:
    static constexpr std::chrono::milliseconds kDefaultPeriod{250};

    DeviceWatcher(CConsole& console, IMidiSystem& midi, MidiInput& input, OutputEngine& engine);
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // Called after a notice is queued, on the watcher's thread; must not
    // call back into the watcher. Set before Start.
    void SetNoticeListener(std::function<void()> listener) { listener_ = std::move(listener); }
    bool Start(std::chrono::milliseconds period = kDefaultPeriod);
    // Ends the thread and waits for a look in progress.
    void Stop();
    // One look, on the calling thread.
    void LookNow();

    // What happened since the last call, a line each, oldest first.
    std::vector<std::string> TakeNotices();

private:
    CConsole& console_;
    IMidiSystem& midi_;
    MidiInput& input_;
    OutputEngine& engine_;
    std::function<void()> listener_;
    PeriodicTimer timer_;
    std::atomic<bool> stopping_{false}; // ends a wait for room in the input queue
    std::mutex noticesMutex_;
    std::vector<std::string> notices_;
};

} // namespace corvinta
