#pragma once
// MIDI devices of the test's own that it plugs and unplugs while the
// organ plays. What a device sends reaches the organ only while its port is
// open and started, and never once the port is closed, as with a real MIDI
// system; safe from any thread.

#include "platform/MidiSystem.h"

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace corvinta::test {

class PluggableMidi final : public IMidiSystem {
public:
    explicit PluggableMidi(std::vector<std::string> connected, std::vector<std::string> outputs = {})
        : connected_(connected.begin(), connected.end()), connectedOut_(outputs.begin(), outputs.end())
    {
        inputs_.Update(connected);
        outputs_.Update(outputs);
    }
    std::string ApiName() const override { return "pluggable"; }
    const std::vector<std::string>& OutputNames() const override { return outputs_.Names(); }
    const std::vector<std::string>& InputNames() const override { return inputs_.Names(); }
    Changes Rescan() override
    {
        std::lock_guard lock(mutex_);
        Changes changes;
        changes.inputs = inputs_.Update({connected_.begin(), connected_.end()});
        changes.outputs = outputs_.Update({connectedOut_.begin(), connectedOut_.end()});
        return changes;
    }
    std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned id, std::string& error) override
    {
        std::lock_guard lock(mutex_);
        if (id >= outputs_.Names().size() || !connectedOut_.count(outputs_.Names()[id])) {
            error = "The device is not connected";
            return nullptr;
        }
        return std::make_unique<OutPort>(*this, outputs_.Names()[id]);
    }
    std::unique_ptr<IMidiInputPort> OpenInput(unsigned id, MidiInputCallback callback, void* context,
                                              std::string& error) override
    {
        std::lock_guard lock(mutex_);
        if (id >= inputs_.Names().size() || !connected_.count(inputs_.Names()[id])) {
            error = "The device is not connected";
            return nullptr;
        }
        return std::make_unique<Port>(*this, inputs_.Names()[id], callback, context);
    }

    void Plug(const std::string& name, bool in) { Connect(connected_, name, in); }
    void PlugOutput(const std::string& name, bool in) { Connect(connectedOut_, name, in); }
    // What an output device received while it was connected.
    std::vector<uint32_t> Received(const std::string& name)
    {
        std::lock_guard lock(mutex_);
        return received_[name];
    }
    // What the device plays; false when nothing has it open.
    bool Send(const std::string& name, uint32_t message)
    {
        std::lock_guard lock(mutex_);
        const auto port = open_.find(name);
        if (port == open_.end() || !port->second->started || !connected_.count(name))
            return false;
        port->second->callback(port->second->context, message);
        return true;
    }

private:
    void Connect(std::set<std::string>& connected, const std::string& name, bool in)
    {
        std::lock_guard lock(mutex_);
        if (in)
            connected.insert(name);
        else
            connected.erase(name);
    }

    struct Port final : IMidiInputPort {
        Port(PluggableMidi& s, std::string n, MidiInputCallback cb, void* ctx)
            : system(s), name(std::move(n)), callback(cb), context(ctx)
        {
            system.open_[name] = this;
        }
        ~Port() override { Close(); }
        bool Start(std::string&) override
        {
            std::lock_guard lock(system.mutex_);
            started = true;
            return true;
        }
        void Stop() override
        {
            std::lock_guard lock(system.mutex_);
            started = false;
        }
        void Close() override
        {
            std::lock_guard lock(system.mutex_);
            if (system.open_.count(name) && system.open_[name] == this)
                system.open_.erase(name);
        }
        PluggableMidi& system;
        std::string name;
        MidiInputCallback callback;
        void* context;
        bool started = false;
    };

    struct OutPort final : IMidiOutputPort {
        OutPort(PluggableMidi& s, std::string n) : system(s), name(std::move(n)) {}
        void Send(uint32_t message) override
        {
            std::lock_guard lock(system.mutex_);
            if (system.connectedOut_.count(name))
                system.received_[name].push_back(message);
        }
        void Reset() override {}
        bool Close(std::string&) override { return true; }
        PluggableMidi& system;
        std::string name;
    };

    std::mutex mutex_;
    std::set<std::string> connected_;
    std::set<std::string> connectedOut_;
    std::map<std::string, std::vector<uint32_t>> received_;
    std::map<std::string, Port*> open_;
    DeviceList inputs_, outputs_;
};

} // namespace corvinta::test
