#include "console/colour.h"

#include <csignal>
#include <cstdio>

namespace
{
// Read by the signal handlers of restore.cpp, hence sig_atomic_t.
volatile sig_atomic_t yellow = 0;
} // namespace

void mark_colour(bool yellow_now)
{
    yellow = yellow_now ? 1 : 0;
}

bool colour_in_force()
{
    return yellow != 0;
}

void reset_colour()
{
    if (yellow != 0) {
        std::fputs(COLOUR_RESET, stdout);
        std::fflush(stdout);
        yellow = 0;
    }
}
