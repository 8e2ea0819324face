// The replay's trace as a Value Change Dump (IEEE 1364), for waveform
// viewers such as GTKWave: one time step of 100 ms per tick, #0 at
// start-up, #N what tick N leaves, as trace line N shows it, and a last
// step with no change where the last tick's 100 ms end. The
// variables are the trace's fields that a waveform shows, by the same
// names: flags as 1-bit wires, the key as 8 bits (255 for no key), the
// state and the numbers as integers, the temperatures as reals.
#pragma once

#include "replay/replay.h"

// The header and the values at start-up; call once, before the first tick.
bool Vcd_Begin(int fd, const char* version);

// The values that tick number `tick` changed.
bool Vcd_Tick(int fd, long tick, const Tick_Record& record);

// Ends the dump one step after the last tick, where that tick's 100 ms
// end, and writes out the rest.
bool Vcd_End(int fd, long last_tick);
