// Comparing a terminal's modes before and after.
#pragma once

#include <cstring>
#include <termios.h>

// True when two sets of terminal modes agree in every field tcsetattr sets.
inline bool Same_Modes(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}
