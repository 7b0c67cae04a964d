#include "platform/MidiSystem.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <sys/stat.h>

namespace corvinta {

std::string StableMidiPortName(const std::string& reported)
{
    // Strip a trailing " <client>:<port>".
    const size_t space = reported.rfind(' ');
    if (space == std::string::npos)
        return reported;
    const std::string tail = reported.substr(space + 1);
    const size_t colon = tail.find(':');
    auto digits = [](const std::string& s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (colon == std::string::npos || !digits(tail.substr(0, colon)) || !digits(tail.substr(colon + 1)))
        return reported;
    return reported.substr(0, space);
}

namespace {

// RtMidi reports through an error callback once one is set, instead of
// printing and throwing: a device that vanished must not flood the terminal
// with a warning for every message sent to it.
void IgnoreMidiErrors(RtMidi& midi)
{
    midi.setErrorCallback([](RtMidiError::Type, const std::string&, void*) {}, nullptr);
}

class RtOutputPort final : public IMidiOutputPort {
public:
    explicit RtOutputPort(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}
    ~RtOutputPort() override
    {
        std::string ignored;
        Close(ignored);
    }

    void Send(uint32_t m) override
    {
        if (!out_)
            return;
        const unsigned char bytes[3] = {StatusOf(m), Data1Of(m), Data2Of(m)};
        try {
            out_->sendMessage(bytes, static_cast<size_t>(ShortMessageLength(bytes[0])));
        } catch (const RtMidiError&) {
            // A vanished device must not take the organ down; the note is lost.
        }
    }

    void Reset() override
    {
        for (uint8_t ch = 0; ch < 16; ++ch) {
            Send(ShortMessage(0xB0 | ch, 64, 0));  // sustain off
            Send(ShortMessage(0xB0 | ch, 123, 0)); // all notes off
            Send(ShortMessage(0xB0 | ch, 121, 0)); // reset controllers
        }
    }

    bool Close(std::string& error) override
    {
        if (!out_)
            return true;
        try {
            out_->closePort();
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            out_.reset();
            return false;
        }
        out_.reset();
        return true;
    }

private:
    std::unique_ptr<RtMidiOut> out_;
};

class RtInputPort final : public IMidiInputPort {
public:
    RtInputPort(std::unique_ptr<RtMidiIn> in, unsigned port, MidiInputCallback callback, void* context)
        : in_(std::move(in)), port_(port), callback_(callback), context_(context)
    {
    }
    ~RtInputPort() override { Close(); }

    bool Start(std::string& error) override
    {
        if (!in_)
            return false;
        try {
            in_->ignoreTypes(true, true, true); // system exclusive, timing and active sensing
            in_->setCallback(&RtInputPort::Receive, this);
            if (!in_->isPortOpen()) {
                in_->openPort(port_, "in");
                IgnoreMidiErrors(*in_);
            }
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            return false;
        }
        return true;
    }

    void Stop() override
    {
        if (in_ && in_->isPortOpen())
            in_->cancelCallback();
    }

    void Close() override
    {
        if (!in_)
            return;
        try {
            in_->cancelCallback();
            in_->closePort();
        } catch (const RtMidiError&) {
        }
        in_.reset();
    }

private:
    static void Receive(double, std::vector<unsigned char>* bytes, void* self)
    {
        auto* port = static_cast<RtInputPort*>(self);
        if (!bytes || bytes->empty() || bytes->size() > 3)
            return;
        uint32_t m = (*bytes)[0];
        if (bytes->size() > 1)
            m |= uint32_t((*bytes)[1]) << 8;
        if (bytes->size() > 2)
            m |= uint32_t((*bytes)[2]) << 16;
        port->callback_(port->context_, m);
    }

    std::unique_ptr<RtMidiIn> in_;
    unsigned port_;
    MidiInputCallback callback_;
    void* context_;
};

class RtMidiSystem final : public IMidiSystem {
public:
    RtMidiSystem(RtMidi::Api api, std::string clientName) : api_(api), clientName_(std::move(clientName))
    {
        // One pair of probes for the run: they only list ports, and looking
        // again every fraction of a second must not make a client each time.
        try {
            probeOut_ = std::make_unique<RtMidiOut>(api_, clientName_ + " probe");
            probeIn_ = std::make_unique<RtMidiIn>(api_, clientName_ + " probe");
            IgnoreMidiErrors(*probeOut_);
            IgnoreMidiErrors(*probeIn_);
        } catch (const RtMidiError&) {
            probeOut_.reset();
            probeIn_.reset();
        }
        Rescan();
    }

    std::string ApiName() const override { return RtMidi::getApiName(api_); }
    const std::vector<std::string>& OutputNames() const override { return outputs_.Names(); }
    const std::vector<std::string>& InputNames() const override { return inputs_.Names(); }

    Changes Rescan() override
    {
        if (!probeOut_ || !probeIn_)
            return {};
        Changes changes;
        changes.outputs = outputs_.Update(ConnectedNames(*probeOut_));
        changes.inputs = inputs_.Update(ConnectedNames(*probeIn_));
        return changes;
    }

    std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned deviceId, std::string& error) override
    {
        if (deviceId >= OutputNames().size()) {
            error = "The device identifier is out of range";
            return nullptr;
        }
        try {
            auto out = std::make_unique<RtMidiOut>(api_, clientName_);
            const int port = FindPort(*out, OutputNames()[deviceId]);
            if (port < 0) {
                error = "The device is not connected";
                return nullptr;
            }
            out->openPort(static_cast<unsigned>(port), "out " + std::to_string(deviceId));
            IgnoreMidiErrors(*out);
            return std::make_unique<RtOutputPort>(std::move(out));
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            return nullptr;
        }
    }

    std::unique_ptr<IMidiInputPort> OpenInput(unsigned deviceId, MidiInputCallback callback, void* context,
                                              std::string& error) override
    {
        if (deviceId >= InputNames().size()) {
            error = "The device identifier is out of range";
            return nullptr;
        }
        try {
            auto in = std::make_unique<RtMidiIn>(api_, clientName_);
            const int port = FindPort(*in, InputNames()[deviceId]);
            if (port < 0) {
                error = "The device is not connected";
                return nullptr;
            }
            return std::make_unique<RtInputPort>(std::move(in), static_cast<unsigned>(port), callback, context);
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            return nullptr;
        }
    }

private:
    // Our own client's ports (the probes and open ports) are not devices.
    bool IsOwnPort(const std::string& name) const { return name.rfind(clientName_, 0) == 0; }

    std::vector<std::string> ConnectedNames(RtMidi& probe) const
    {
        std::vector<std::string> names;
        try {
            const unsigned count = probe.getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                const std::string name = probe.getPortName(i);
                if (!name.empty() && !IsOwnPort(name))
                    names.push_back(StableMidiPortName(name));
            }
        } catch (const RtMidiError&) {
        }
        return names;
    }

    // Ports are numbered afresh as devices come and go: find the device by name.
    static int FindPort(RtMidi& midi, const std::string& stableName)
    {
        for (unsigned i = 0; i < midi.getPortCount(); ++i)
            if (StableMidiPortName(midi.getPortName(i)) == stableName)
                return static_cast<int>(i);
        return -1;
    }

    RtMidi::Api api_;
    std::string clientName_;
    std::unique_ptr<RtMidiOut> probeOut_;
    std::unique_ptr<RtMidiIn> probeIn_;
    DeviceList outputs_, inputs_;
};

bool Compiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api a : apis)
        if (a == api)
            return true;
    return false;
}

// Constructing an RtMidi object is the only reliable probe: ALSA throws
// without a sequencer, JACK without a server.
bool Usable(RtMidi::Api api)
{
    if (!Compiled(api))
        return false;
    if (api == RtMidi::LINUX_ALSA) {
        struct stat st;
        if (stat("/dev/snd/seq", &st) != 0)
            return false;
    }
    if (api == RtMidi::UNIX_JACK) {
        // RtMidi only warns when no JACK server runs; ask JACK itself, and
        // never start a server behind the user's back.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        jack_client_t* client = jack_client_open("Corvinta probe", JackNoStartServer, nullptr);
        if (!client)
            return false;
        jack_client_close(client);
    }
    try {
        RtMidiOut probe(api, "Corvinta probe");
        return probe.getCurrentApi() == api;
    } catch (const RtMidiError&) {
        return false;
    }
}

} // namespace

std::unique_ptr<IMidiSystem> OpenMidiSystem(const std::string& api, const std::string& clientName)
{
    std::vector<RtMidi::Api> order;
    if (api == "alsa")
        order = {RtMidi::LINUX_ALSA};
    else if (api == "jack")
        order = {RtMidi::UNIX_JACK};
    else
        order = {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK};
    for (RtMidi::Api candidate : order)
        if (Usable(candidate))
            return std::make_unique<RtMidiSystem>(candidate, clientName);
    return std::make_unique<NoMidiSystem>();
}

} // namespace corvinta
