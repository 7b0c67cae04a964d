#pragma once
// Makes every write past a few bytes fail, as on a full disk, for as long as
// it lives: the file-size limit of the process, with its signal ignored so
// the write reports the error instead.

#include <csignal>
#include <sys/resource.h>

namespace corvinta::test {

class FailingWrites {
public:
    explicit FailingWrites(rlim_t bytes = 512)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FailingWrites()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FailingWrites(const FailingWrites&) = delete;
    FailingWrites& operator=(const FailingWrites&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

} // namespace corvinta::test
