#include "console/colour.h"

#include <atomic>
#include <cstdio>

namespace
{
// Read by the signal handlers of restore.cpp: a lock-free atomic is safe
// there, and needs no <csignal>, which a build without a terminal lacks.
std::atomic<bool> yellow{false};
static_assert(std::atomic<bool>::is_always_lock_free);
} // namespace

void mark_colour(bool yellow_now)
{
    yellow = yellow_now;
}

bool colour_in_force()
{
    return yellow;
}

void reset_colour()
{
    if (yellow) {
        std::fputs(COLOUR_RESET, stdout);
        std::fflush(stdout);
        yellow = false;
    }
}
