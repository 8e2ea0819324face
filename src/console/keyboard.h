// The oven's button matrix, played by the terminal on standard input.
//
// The terminal is switched to raw single-byte input once at start and put
// back at the end. Between polls it stays raw with a blocking one-byte
// minimum; each poll makes it non-blocking just for its one read, so a tick
// never waits for a key and typed keys queue up in the terminal, one per tick.
#pragma once

// Key bytes as the rest of the oven sees them (lower case only).
constexpr signed char KEY_SHORT = 'a';
constexpr signed char KEY_LONG = 'b';
constexpr signed char KEY_UNIT = 'c';
constexpr signed char KEY_MODE = 'd';
constexpr signed char KEY_START = 'e';
constexpr signed char KEY_DOOR = 'f';
constexpr signed char KEY_QUIT = 'q'; // leave the program

// The panel's keys and what each does, as the panel is labelled.
struct Panel_Key {
    signed char key;
    const char* does;
};
inline constexpr Panel_Key PANEL_KEYS[] = {
    {KEY_SHORT, "+10 s / +10 \u00B0C"}, {KEY_LONG, "+30 s / +30 \u00B0C"},
    {KEY_UNIT, "time / temperature"},   {KEY_MODE, "food mode"},
    {KEY_START, "start / stop"},        {KEY_DOOR, "door"},
};

// No key: what kgetch returns when no key came, and Button, the tick's key
// and every trace and condition when the tick had none (the byte 0xFF is
// the same). The oven's one name for it.
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
