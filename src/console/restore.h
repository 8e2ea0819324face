// Leaving the user's terminal as it was found, however the program ends.
//
// Two things of the terminal change while the oven runs: its modes (raw
// single-byte input, see keyboard.h) and, while the back light is on, the
// colour of everything printed (bright yellow). Both come back when the
// program quits, when a signal ends it, and while a job-control stop holds it.
#pragma once

#include <termios.h>

// Guards the terminal until the process ends. `found` is the terminal's
// modes as found (null when standard input is not a terminal) and `working`
// the modes the oven runs in. From now on:
// - every catchable signal whose default action ends the process puts back
//   the modes and the colour, then ends the process by that same signal, so
//   the parent (and a core dump, where enabled) sees the true cause;
// - SIGTSTP puts them back and stops; when continued, the working modes and
//   the colour return and the ticks go on.
// Signals that were ignored at start (by nohup, say) stay ignored.
void guard_terminal(const termios* found, const termios* working);
