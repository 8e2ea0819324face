#include "console/tone.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace
{

constexpr char BELL = '\a';
constexpr long NS_PER_MS = 1000000L;
constexpr long NS_PER_S = 1000000000L;
constexpr unsigned int MS_PER_S = 1000U;

void ring_bell()
{
    // A bell that cannot be written is a silent buzzer, nothing more.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, &BELL, 1);
}

// Sleeps until `duration_ms` after `start` on the monotonic clock, so the
// tone's time is kept however long the sound itself took to start.
void sleep_until(const timespec& start, unsigned int duration_ms)
{
    timespec deadline = start;
    deadline.tv_sec += static_cast<time_t>(duration_ms / MS_PER_S);
    deadline.tv_nsec += static_cast<long>(duration_ms % MS_PER_S) * NS_PER_MS;
    if (deadline.tv_nsec >= NS_PER_S) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= NS_PER_S;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

} // namespace

void Beep(unsigned int frequency_hz, unsigned int duration_ms)
{
    static_cast<void>(frequency_hz); // the bell has one pitch of its own
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    ring_bell();
    sleep_until(start, duration_ms);
}
