#include "Thread.h"

#include <system_error>

namespace corvinta {

bool Thread::Start(std::function<void()> body)
{
    if (thread_.joinable())
        return false;
    try {
        thread_ = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::Join()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void Thread::Detach()
{
    if (thread_.joinable())
        thread_.detach();
}

} // namespace corvinta
