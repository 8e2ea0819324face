// The panel's colour on standard output: while the back light is on,
// everything printed is bright yellow. The mark says when that is so, so
// that every ending of the program (restore.h) can put the colours back.
// No terminal calls: the oven's tick needs only this, wherever it runs.
#pragma once

inline constexpr char COLOUR_RESET[] = "\033[0m";
inline constexpr char COLOUR_YELLOW[] = "\033[93m";

// Tells whether the panel's bright yellow is in force on standard output.
// Call it with true before printing the yellow escape and with false after
// printing the reset, so that a signal in between errs towards a reset.
void mark_colour(bool yellow);

// Whether the yellow is marked as in force; safe in a signal handler.
bool colour_in_force();

// At the end of a run: when the yellow is in force, writes the reset escape,
// flushed, so it is the last thing written and the colours are as found.
void reset_colour();
