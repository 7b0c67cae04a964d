#pragma once
// Our layer over the platform's MIDI devices: enumerate inputs and outputs by
// name, open them, send short messages, reset, close. The RtMidi back end is
// the real one; tests can supply their own.

#include "platform/DeviceList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvinta {

// A short message packs status, data 1 and data 2 into the low three bytes.
constexpr uint32_t ShortMessage(uint8_t status, uint8_t data1, uint8_t data2 = 0)
{
    return uint32_t(status) | (uint32_t(data1) << 8) | (uint32_t(data2) << 16);
}
constexpr uint8_t StatusOf(uint32_t m) { return uint8_t(m & 0xFF); }
constexpr uint8_t Data1Of(uint32_t m) { return uint8_t((m >> 8) & 0x7F); }
constexpr uint8_t Data2Of(uint32_t m) { return uint8_t((m >> 16) & 0x7F); }
// Program change and channel pressure carry one data byte.
constexpr int ShortMessageLength(uint8_t status)
{
    const uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
}

class IMidiOutputPort {
public:
    virtual ~IMidiOutputPort() = default;
    // Safe from the output worker; never blocks on the user interface.
    virtual void Send(uint32_t shortMessage) = 0;
    // Silences every channel of the device.
    virtual void Reset() = 0;
    // False with the reason when the device reports an error on closing.
    virtual bool Close(std::string& error) = 0;
};

// Called on the MIDI system's own thread with each short message received.
using MidiInputCallback = void (*)(void* context, uint32_t shortMessage);

class IMidiInputPort {
public:
    virtual ~IMidiInputPort() = default;
    virtual bool Start(std::string& error) = 0;
    virtual void Stop() = 0;
    virtual void Close() = 0;
};

class IMidiSystem {
public:
    virtual ~IMidiSystem() = default;
    // The back end's name ("alsa", "jack"), or "none" when there is no MIDI system.
    virtual std::string ApiName() const = 0;
    // Every device seen since the system was opened, by stable name; an index
    // into these lists is a device id for the whole run. The lists grow only
    // in Rescan: a thread other than the one that rescans reads them under the
    // organ's device lock.
    virtual const std::vector<std::string>& OutputNames() const = 0;
    virtual const std::vector<std::string>& InputNames() const = 0;
    // Looks at the ports connected now: devices never seen before are added
    // to the lists; returns which came, went and came back since the last look.
    struct Changes {
        DeviceChanges inputs;
        DeviceChanges outputs;
    };
    virtual Changes Rescan() { return {}; }
    // Null with the reason on failure (a device that is not connected fails).
    virtual std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned deviceId, std::string& error) = 0;
    virtual std::unique_ptr<IMidiInputPort> OpenInput(unsigned deviceId, MidiInputCallback callback, void* context,
                                                      std::string& error) = 0;
};

// A system with no devices, for a machine without MIDI.
class NoMidiSystem final : public IMidiSystem {
public:
    std::string ApiName() const override { return "none"; }
    const std::vector<std::string>& OutputNames() const override { return none_; }
    const std::vector<std::string>& InputNames() const override { return none_; }
    std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned, std::string& error) override
    {
        error = "No MIDI system is available";
        return nullptr;
    }
    std::unique_ptr<IMidiInputPort> OpenInput(unsigned, MidiInputCallback, void*, std::string& error) override
    {
        error = "No MIDI system is available";
        return nullptr;
    }

private:
    std::vector<std::string> none_;
};

// Picks the back end: "alsa", "jack", or empty for the default (the ALSA
// sequencer, else JACK, else none). The client name is what other programs
// see. Never throws.
std::unique_ptr<IMidiSystem> OpenMidiSystem(const std::string& api, const std::string& clientName = "Corvinta");

// The part of a port name that stays the same across restarts: ALSA appends
// the client and port numbers ("Keyboard:Keyboard MIDI 1 24:0"), which change
// from boot to boot.
std::string StableMidiPortName(const std::string& reported);

} // namespace corvinta
