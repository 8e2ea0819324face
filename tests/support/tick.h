// Runs key scripts through the replay's tick driver, one key byte per tick:
// door, back light, display, controller and separator, in the main loop's
// order, with no sleep; the buzzer goes to the recording stand-in.
#pragma once

#include <string_view>
#include <vector>

#include "frames.h"

// Runs one tick per byte of `keys` and returns each tick's frame. The door
// flag is kept from one call to the next, as the main loop keeps it.
std::vector<Frame> Run_Ticks(std::string_view keys);

// The door flag as the last tick of Run_Ticks left it (true = open).
bool Door_Open();
