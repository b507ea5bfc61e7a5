#include "Platform.h"

namespace platform {

namespace {
Services& installed()
{
    static Services s = [] {
        Services initial;
        initial.clock = &systemClock();
        return initial;
    }();
    return s;
}
} // namespace

const Services& services()
{
    return installed();
}

void install(const Services& s)
{
    installed() = s;
    if (!installed().clock)
        installed().clock = &systemClock();
}

} // namespace platform
