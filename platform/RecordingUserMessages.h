#pragma once
#include "UserMessages.h"

#include <deque>
#include <mutex>
#include <vector>

namespace corvinta {

// For tests: keeps every message shown and answers questions with scripted
// answers, falling back to the unattended answer when the script runs out.
// Plain notices (an OK button only) take no answer from the script.
class RecordingUserMessages final : public IUserMessages {
public:
    MessageAnswer Show(const UserMessage& message) override
    {
        std::lock_guard lock(mutex_);
        shown_.push_back(message);
        if (message.buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        if (script_.empty())
            return message.unattendedAnswer;
        MessageAnswer answer = script_.front();
        script_.pop_front();
        return answer;
    }

    void Answer(MessageAnswer next)
    {
        std::lock_guard lock(mutex_);
        script_.push_back(next);
    }

    std::vector<UserMessage> Shown() const
    {
        std::lock_guard lock(mutex_);
        return shown_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<UserMessage> shown_;
    std::deque<MessageAnswer> script_;
};

} // namespace corvinta
