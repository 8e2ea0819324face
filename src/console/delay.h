// The one clock of the oven: a plain sleep of the calling (only) thread.
#pragma once

// Sleeps for the given number of microseconds (less than one second).
void delay_us(unsigned int microseconds);
