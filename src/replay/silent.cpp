// The replay's tone layer and sleep, linked in place of the console's: the
// buzzer is an event of the trace, not 2.5 s of sound, and no tick waits.
#include "console/delay.h"
#include "console/tone.h"

void Beep(unsigned int /*frequency_hz*/, unsigned int /*duration_ms*/) {}

void delay_us(unsigned int /*microseconds*/) {}
