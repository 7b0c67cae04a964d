#include "Event.h"

#include <cassert>

namespace corvinta {

void Event::Set()
{
    if (IsSet())
        return;
    signalled_.store(true);
    group_.Changed();
}

void Event::Reset()
{
    signalled_.store(false);
    group_.Changed();
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
