// Sounds the real buzzer with standard error caught.
#pragma once

#include <chrono>
#include <string>
#include <unistd.h>

#include "capture.h"
#include "oven/counters.h"

// The buzzer takes its three tones and two pauses, 2.5 s: its sleeps end no
// earlier than asked, so that is a firm lower bound. How much longer a busy
// machine makes it says nothing of the buzzer, so there is no upper one; the
// tones' lengths are counted in samples instead.
constexpr double BUZZER_MIN_S = 2.45;

// Returns what the buzzer wrote on standard error; `seconds` is how long it took.
inline std::string Sound_Buzzer(double& seconds)
{
    Output_Capture errors(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    Beep_Sound();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return errors.Take();
}
