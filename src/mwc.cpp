// mwc: the control unit of a microwave oven, on a terminal.
//
// The entry runs the tick loop, the oven's only thread and only clock. Each
// tick takes at most one key, updates the door and back light, draws the
// three panel lines, steps the controller, sleeps 100 ms and pushes the frame
// up. Every duration in the oven is a count of these ticks.
#include <cstdio>
#include <cstdlib>

#include "console/colour.h"
#include "console/delay.h"
#include "console/keyboard.h"
#include "console/restore.h"
#include "oven/controller.h"
#include "oven/counters.h"
#include "oven/oven.h"
#include "panel/display.h"
#include "panel/door_light.h"

int main()
{
    signed char key = '\t'; // anything but the quit key, so the first tick runs
    bool door = false;      // shut

    const bool raw = set_stdin() == 0;

    // The tick that reads the quit key still runs to its end.
    while (key != KEY_QUIT) {
        key = Button();
        door = Door_Sensor(key, door);
        // The running flag is read before the controller steps, so a start
        // or stop shows on the back light in the next tick.
        BackLight_Controller(Data_Storage.Start, door);
        Display_Controller();
        System_Controller(door, key);
        delay_us(TICK_US);
        screen_Clear();
        // The tick's frame goes out now, to a pipe or a file too, so a
        // reader sees it at once and a kill loses nothing. On a terminal
        // every line is already out and this makes no system call.
        std::fflush(stdout);
    }

    const bool restored = reset_stdin() == 0;
    reset_colour(); // the shell gets its own colours back
    return (restored || !raw) ? EXIT_SUCCESS : EXIT_FAILURE;
}
