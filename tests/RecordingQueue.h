#pragma once
// An output queue that keeps what was pushed, for tests of the console side.

#include "organ/ConsoleDisplay.h"
#include "organ/OutputRequest.h"

#include <mutex>
#include <ostream>
#include <utility>
#include <vector>

namespace corvinta::test {

class RecordingQueue final : public IOutputQueue {
public:
    void Push(RequestType type, int32_t a, int32_t b, uint8_t c) override
    {
        std::lock_guard lock(mutex_);
        pushed_.push_back({type, a, b, c});
    }
    void AllNotesOff() override { ++allNotesOff; }
    void SetHold(bool hold) override { holds.push_back(hold); }
    int allNotesOff = 0;
    std::vector<bool> holds;

    std::vector<OutputRequest> Take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(pushed_, {});
    }

private:
    std::mutex mutex_;
    std::vector<OutputRequest> pushed_;
};

struct RecordingDisplay final : IConsoleDisplay {
    struct Key { int division, key; bool pressed; };
    std::vector<Key> keys;
    std::vector<std::pair<int, bool>> tabs;
    std::vector<std::pair<int, bool>> pressedTabs;
    std::vector<int> levels;
    std::vector<std::pair<int, int>> shoes;
    int cleared = 0;
    void KeyChanged(int division, int key, bool pressed) override { keys.push_back({division, key, pressed}); }
    void SetTabChecked(int item, bool checked) override { tabs.emplace_back(item, checked); }
    void SetTabPressed(int item, bool pressed) override { pressedTabs.emplace_back(item, pressed); }
    void MemoryLevelChanged(int level) override { levels.push_back(level); }
    void ShoeMoved(int shoe, int value) override { shoes.emplace_back(shoe, value); }
    void KeyboardsCleared() override { ++cleared; }
};

} // namespace corvinta::test

namespace corvinta {
inline void PrintTo(const OutputRequest& r, std::ostream* os)
{
    *os << "{type " << int(r.type) << ", a " << r.a << ", b " << r.b << ", c " << int(r.c) << "}";
}
} // namespace corvinta
