#pragma once
// MIDI devices that exist only in the test: they keep what they were sent,
// and any of them can be told to fail on opening or closing.

#include "platform/MidiSystem.h"

#include <map>
#include <set>

namespace corvinta::test {

class FakeMidiSystem final : public IMidiSystem {
public:
    struct Sent {
        int device;
        uint32_t message;
    };

    explicit FakeMidiSystem(std::vector<std::string> outputs) : outputs_(std::move(outputs)) {}

    std::string ApiName() const override { return "fake"; }
    const std::vector<std::string>& OutputNames() const override { return outputs_; }
    const std::vector<std::string>& InputNames() const override { return inputs_; }

    std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned id, std::string& error) override
    {
        if (failOpen.count(static_cast<int>(id))) {
            error = "The device is busy";
            return nullptr;
        }
        ++opens[static_cast<int>(id)];
        return std::make_unique<Port>(*this, static_cast<int>(id));
    }
    std::unique_ptr<IMidiInputPort> OpenInput(unsigned, MidiInputCallback, void*, std::string& error) override
    {
        error = "no inputs";
        return nullptr;
    }

    std::vector<Sent> sent;
    std::map<int, int> opens, resets, closes;
    std::set<int> failOpen, failClose;

    std::vector<uint32_t> SentTo(int device) const
    {
        std::vector<uint32_t> out;
        for (const Sent& s : sent)
            if (s.device == device)
                out.push_back(s.message);
        return out;
    }

private:
    struct Port final : IMidiOutputPort {
        Port(FakeMidiSystem& s, int d) : system(s), device(d) {}
        void Send(uint32_t m) override { system.sent.push_back({device, m}); }
        void Reset() override { ++system.resets[device]; }
        bool Close(std::string& error) override
        {
            ++system.closes[device];
            if (system.failClose.count(device)) {
                error = "The device would not close";
                return false;
            }
            return true;
        }
        FakeMidiSystem& system;
        int device;
    };

    std::vector<std::string> outputs_;
    std::vector<std::string> inputs_;
};

} // namespace corvinta::test
