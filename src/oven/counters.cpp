#include "oven/counters.h"

#include <cassert>

#include "console/delay.h"
#include "console/tone.h"
#include "oven/oven.h"

namespace
{
// Each counter's sub-step count, private to this file: only its own counter
// steps it; the tools' save and restore copy both.
int time_tick = 0;
int temp_tick = 0;
} // namespace

Counters_Memory Counters_Save()
{
    return {time_tick, temp_tick};
}

void Counters_Restore(const Counters_Memory& memory)
{
    time_tick = memory.time_tick;
    temp_tick = memory.temp_tick;
}

// Neither counter checks a limit: the controller clears `run` in time.

void Time_Counting(bool run)
{
    int& tick = time_tick;
    if (run) {
        tick = (tick + 1) % TIME_COUNT_PERIOD;
        if (tick == 0) {
            assert(Data_Storage.Time > 0 && "the controller stops the count at 0");
            --Data_Storage.Time;
        }
    } else {
        tick = 0;
    }
}

void Temp_Counting(bool run)
{
    int& tick = temp_tick;
    if (run) {
        tick = (tick + 1) % TEMP_COUNT_PERIOD;
        if (tick == 0) {
            Data_Storage.Cur_Temp += TEMP_COUNT_STEP;
        }
    } else {
        tick = 0;
    }
}

void Beep_Sound()
{
    for (int tone = 0; tone < BUZZER_TONES; ++tone) {
        if (tone > 0) {
            delay_us(BUZZER_PAUSE_US);
        }
        Beep(BUZZER_FREQUENCY_HZ, BUZZER_TONE_MS);
    }
}
