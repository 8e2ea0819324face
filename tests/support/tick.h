// Drives the tick's real parts in the main loop's order, one key byte per
// tick: door, back light, display, controller. The sleep and the frame
// separator are left out; the buzzer goes to the recording stand-in.
#pragma once

#include <string_view>
#include <vector>

#include "frames.h"

// Runs one tick per byte of `keys` and returns each tick's frame. The door
// flag is kept from one call to the next, as the main loop keeps it.
std::vector<Frame> Run_Ticks(std::string_view keys);

// One tick, printing to standard output as the program does; returns nothing
// so that it can run with no capture (for the fuzzer and the benchmark).
void Tick(signed char key);

// The door flag as the last tick left it (true = open).
bool Door_Open();
