#include "oven/counters.h"

#include "console/delay.h"
#include "console/tone.h"
#include "oven/oven.h"

// Neither counter checks a limit: the controller clears `run` in time.

void Time_Counting(bool run)
{
    static int tick = 0;
    if (run) {
        tick = (tick + 1) % TIME_COUNT_PERIOD;
        if (tick == 0) {
            --Data_Storage.Time;
        }
    } else {
        tick = 0;
    }
}

void Temp_Counting(bool run)
{
    static int tick = 0;
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
    Beep(BUZZER_FREQUENCY_HZ, BUZZER_TONE_MS);
    delay_us(BUZZER_PAUSE_US);
    Beep(BUZZER_FREQUENCY_HZ, BUZZER_TONE_MS);
    delay_us(BUZZER_PAUSE_US);
    Beep(BUZZER_FREQUENCY_HZ, BUZZER_TONE_MS);
}
