#include "StderrUserMessages.h"

namespace corvinta {

namespace {
const char* IconWord(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return "info";
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Error: return "error";
    case MessageIcon::Question: return "question";
    case MessageIcon::None: break;
    }
    return "message";
}

const char* AnswerWord(MessageAnswer answer)
{
    switch (answer) {
    case MessageAnswer::Ok: return "OK";
    case MessageAnswer::Cancel: return "Cancel";
    case MessageAnswer::Yes: return "Yes";
    case MessageAnswer::No: return "No";
    }
    return "?";
}
} // namespace

MessageAnswer StderrUserMessages::Show(const UserMessage& message)
{
    std::fprintf(stream_, "%s [%s]: %s\n", message.caption.c_str(), IconWord(message.icon), message.text.c_str());
    if (message.buttons != MessageButtons::Ok)
        std::fprintf(stream_, "  (answered %s)\n", AnswerWord(message.unattendedAnswer));
    std::fflush(stream_);
    return message.unattendedAnswer;
}

} // namespace corvinta
