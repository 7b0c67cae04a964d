#include "Event.h"

#include <cassert>

namespace corvinta {

void Event::Set()
{
    if (IsSet())
        return;
    group_.Update([this] { signalled_.store(true); });
}

void Event::Reset()
{
    group_.Update([this] { signalled_.store(false); });
}

WaitResult WaitForEither(Event& first, Event& second)
{
    assert(&first.Group() == &second.Group());
    WaitResult result = WaitResult::First;
    first.Group().WaitUntil([&] {
        if (second.IsSet()) {
            result = WaitResult::Second;
            return true;
        }
        return first.IsSet();
    });
    return result;
}

} // namespace corvinta
