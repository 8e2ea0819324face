#include "stand_ins.h"

#include "console/delay.h"
#include "console/tone.h"

std::vector<Sound_Event>& Sound_Log()
{
    static std::vector<Sound_Event> log;
    return log;
}

void Beep(unsigned int frequency_hz, unsigned int duration_ms)
{
    Sound_Log().push_back({Sound_Event::Tone, frequency_hz, duration_ms});
}

void delay_us(unsigned int microseconds)
{
    Sound_Log().push_back({Sound_Event::Pause, 0, microseconds});
}
