#include "console/delay.h"

#include <unistd.h>

void delay_us(unsigned int microseconds)
{
    usleep(microseconds);
}
