// The oven's button matrix, played by the terminal on standard input.
//
// The terminal is switched to raw single-byte input once at start and put
// back at the end. Between polls it stays raw with a blocking one-byte
// minimum; each poll makes it non-blocking just for its one read, so a tick
// never waits for a key and typed keys queue up in the terminal, one per tick.
#pragma once

// Key bytes as the rest of the oven sees them (lower case only).
constexpr signed char KEY_SHORT = 'a'; // +10 s / +10 °C
constexpr signed char KEY_LONG = 'b';  // +30 s / +30 °C
constexpr signed char KEY_UNIT = 'c';  // cook by time / by temperature
constexpr signed char KEY_MODE = 'd';  // next food mode
constexpr signed char KEY_START = 'e'; // start, or cancel while cooking
constexpr signed char KEY_DOOR = 'f';  // open or close the door
constexpr signed char KEY_QUIT = 'q';  // leave the program

// What kgetch returns, and Button as a byte (0xFF), when no key came.
constexpr int NO_KEY = -1;

// Saves the terminal's attributes and switches it to raw single-byte input.
// Returns the result of the switch: 0 when the terminal is now raw, -1 when
// standard input is not a terminal (nothing changes then). From then on the
// terminal is guarded against signals (see restore.h).
int set_stdin();

// One poll: the next input byte, sign-extended, or NO_KEY. Never waits on a
// terminal; on a pipe or file it reads with the input's own behaviour.
int kgetch();

// The key of this tick: the low byte of kgetch(), so no key is 0xFF (-1).
signed char Button();

// Puts back the attributes saved by set_stdin; returns tcsetattr's result.
int reset_stdin();
