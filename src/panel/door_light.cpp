#include "panel/door_light.h"

#include <cassert>
#include <cstdio>

#include "console/colour.h"
#include "console/keyboard.h"
#include "oven/oven.h"

bool Door_Sensor(signed char key, bool door)
{
    if (key != KEY_DOOR) {
        return door;
    }
    if (Data_Storage.Start) {
        return false; // a start needs a shut door, and it stays shut until the end
    }
    return !door;
}

namespace
{

// The back light's persistent data, private to this file:
// BackLight_Controller alone steps it; the tools' save and restore copy it.
int state = Light_Off;
bool enable = false; // what Back_Light is given

} // namespace

bool BackLight_On()
{
    return enable;
}

BackLight_Memory BackLight_Save()
{
    return {state, enable};
}

void BackLight_Restore(const BackLight_Memory& memory)
{
    assert((memory.state == Light_Off || memory.state == Light_On) && "one that was saved");
    state = memory.state;
    enable = memory.enable;
}

void BackLight_Controller(bool start, bool door)
{
    switch (state) {
    case Light_Off:
        if (door || start) {
            enable = true;
            state = Light_On;
        }
        break;
    case Light_On:
        if (!door && !start) {
            enable = false;
            state = Light_Off;
        }
        break;
    default:
        assert(false && "the light is off or on");
        state = Light_Off; // a lost state falls back to off
        enable = false;
        break;
    }
    Back_Light(enable);
}

void Back_Light(bool on)
{
    // Printed every tick, changed or not. The yellow is marked as in force
    // from just before it is printed until just after the reset is.
    if (on) {
        mark_colour(true);
        std::printf("%s%s\n", COLOUR_YELLOW, "Display On");
    } else {
        std::printf("%s%s\n", COLOUR_RESET, "Display Off");
        mark_colour(false);
    }
}
