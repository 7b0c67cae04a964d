#pragma once
// A private JACK server on the dummy back end for tests with real MIDI ports:
// no sound card needed. Each test process gets its own server name, so tests
// running side by side never meet. Synchronous mode: on a busy machine the
// server waits for its clients instead of dropping their MIDI.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <jack/jack.h>

namespace corvinta::test {

class JackServer {
public:
    JackServer()
    {
        name_ = "corvinta-test-" + std::to_string(::getpid());
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execlp("jackd", "jackd", "-n", name_.c_str(), "--no-realtime", "--sync", "-d", "dummy", "-r", "48000", "-p", "1024",
                     static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            if (jack_client_t* c = jack_client_open("probe", JackNoStartServer, nullptr)) {
                jack_client_close(c);
                ready_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~JackServer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    bool Ready() const { return ready_; }

private:
    std::string name_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

} // namespace corvinta::test
