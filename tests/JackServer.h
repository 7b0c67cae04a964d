#pragma once
// A private JACK server on the dummy back end for tests with real MIDI ports:
// no sound card needed. Each test process gets its own server name, so tests
// running side by side never meet. Long periods give a busy machine (or a
// sanitizer build) room to finish each cycle without dropping MIDI.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <jack/jack.h>

namespace corvinta::test {

class JackServer {
public:
    JackServer()
    {
#if defined(__SANITIZE_THREAD__)
        // libjack's shared-memory hand-shakes stall under ThreadSanitizer;
        // the plain and AddressSanitizer builds run these tests.
        return;
#endif
        name_ = "corvinta-test-" + std::to_string(::getpid());
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        pid_ = ::fork();
        if (pid_ == 0) {
            // A test that dies must not leave its server behind.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::execlp("jackd", "jackd", "-n", name_.c_str(), "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "2048",
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
    // Why a test that needs the server is skipped.
    static const char* SkipReason()
    {
#if defined(__SANITIZE_THREAD__)
        return "JACK is not started under ThreadSanitizer, where libjack's shared-memory hand-shakes stall";
#else
        return "no JACK server could be started";
#endif
    }

private:
    std::string name_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

} // namespace corvinta::test
