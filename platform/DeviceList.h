#pragma once
// The organ's list of MIDI devices of one direction: every stable name seen
// since the organ started, in the order first seen, so that an index (a
// device id) names the same device for the whole run; and whether each is
// connected now. Devices come and go; the list only grows.

#include <string>
#include <vector>

namespace corvinta {

struct DeviceChanges {
    std::vector<unsigned> gone;  // were connected, are not now
    std::vector<unsigned> back;  // were seen before, disconnected, connected again
    std::vector<unsigned> added; // never seen before: appended to the list
    bool Empty() const { return gone.empty() && back.empty() && added.empty(); }
};

class DeviceList {
public:
    DeviceList() = default;
    // The devices connected at start.
    explicit DeviceList(const std::vector<std::string>& connected) { Update(connected); }

    const std::vector<std::string>& Names() const { return names_; }
    bool Connected(unsigned id) const { return id < connected_.size() && connected_[id]; }

    // The names connected now. Two devices of one model share a name: the
    // first connected one is the first of that name in the list.
    DeviceChanges Update(const std::vector<std::string>& now)
    {
        std::vector<bool> matched(names_.size(), false);
        DeviceChanges changes;
        std::vector<std::string> fresh;
        for (const std::string& name : now) {
            unsigned id = 0;
            while (id < names_.size() && (matched[id] || names_[id] != name))
                ++id;
            if (id == names_.size()) {
                fresh.push_back(name);
                continue;
            }
            matched[id] = true;
            if (!connected_[id])
                changes.back.push_back(id);
        }
        for (unsigned id = 0; id < names_.size(); ++id)
            if (connected_[id] && !matched[id])
                changes.gone.push_back(id);
        connected_ = matched;
        for (const std::string& name : fresh) {
            changes.added.push_back(static_cast<unsigned>(names_.size()));
            names_.push_back(name);
            connected_.push_back(true);
        }
        return changes;
    }

private:
    std::vector<std::string> names_;
    std::vector<bool> connected_;
};

} // namespace corvinta
