// Recording stand-ins for the tone layer and the sleep, linked into the
// unit tests in place of the real ones: nothing sounds and nothing sleeps.
#pragma once

#include <vector>

struct Sound_Event {
    enum Kind { Tone, Pause } kind;
    unsigned int frequency_hz; // Tone only
    unsigned int duration;     // Tone: milliseconds; Pause: microseconds
    bool operator==(const Sound_Event&) const = default;
};

// Every Beep and delay_us call so far, in order.
std::vector<Sound_Event>& Sound_Log();
