#pragma once
// The one way the organ speaks to its user: the window shows these as
// message boxes, the headless program prints them, tests record them.

#include <string>

namespace corvinta {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct UserMessage {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // The answer that keeps the user's data, taken where nobody can answer.
    MessageAnswer unattendedAnswer = MessageAnswer::Ok;
};

class IUserMessages {
public:
    virtual ~IUserMessages() = default;
    // Called from the user-interface thread (or start-up and shutdown).
    virtual MessageAnswer Show(const UserMessage& message) = 0;
};

// Shorthand for the common cases.
inline MessageAnswer ShowError(IUserMessages& out, std::string text, std::string caption)
{
    return out.Show({std::move(text), std::move(caption), MessageIcon::Error, MessageButtons::Ok, MessageAnswer::Ok});
}
inline MessageAnswer ShowWarning(IUserMessages& out, std::string text, std::string caption)
{
    return out.Show({std::move(text), std::move(caption), MessageIcon::Warning, MessageButtons::Ok, MessageAnswer::Ok});
}

} // namespace corvinta
