#pragma once
// A worker thread at normal priority. Start reports failure instead of
// throwing, so start-up can show its message and end cleanly.

#include <functional>
#include <thread>

namespace corvinta {

class Thread {
public:
    Thread() = default;
    ~Thread() { Join(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    bool Start(std::function<void()> body);
    void Join();
    // Lets go of a thread that will not end in time: it is never joined, so
    // whatever it uses must outlive it.
    void Detach();
    bool Running() const { return thread_.joinable(); }

private:
    std::thread thread_;
};

} // namespace corvinta
