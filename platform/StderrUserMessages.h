#pragma once
#include "UserMessages.h"

#include <cstdio>

namespace corvinta {

// For the headless organ: prints each message and takes the unattended answer.
class StderrUserMessages final : public IUserMessages {
public:
    explicit StderrUserMessages(std::FILE* stream = stderr) : stream_(stream) {}
    MessageAnswer Show(const UserMessage& message) override;

private:
    std::FILE* stream_;
};

} // namespace corvinta
