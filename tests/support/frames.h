// Panel frames as the tests see them, and a strict reader of the panel's
// output stream.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct Frame {
    std::string light;   // first line, with its colour escape
    std::string value;   // time or temperature line
    std::string mode;    // mode line
    bool buzzer = false; // the buzzer sounded in this frame's tick (unit runs only)
};

// Newlines after each frame's three lines: the separator's 19, and the 20th
// that puts adds.
inline constexpr int SEPARATOR_NEWLINES = 20;

// The three lines of the first panel line, exactly as printed.
inline constexpr std::string_view LIGHT_ON = "\033[93mDisplay On";
inline constexpr std::string_view LIGHT_OFF = "\033[0mDisplay Off";

// Splits `stream` into frames of three non-empty lines, each frame followed by
// exactly `separator_newlines` empty lines. Returns an empty string when the
// whole stream is such frames, else says where it is not.
std::string Read_Frames(std::string_view stream, int separator_newlines,
                        std::vector<Frame>& frames);

// Says what is wrong with a frame whose lines do not have the panel's
// formats; empty when they all do.
std::string Check_Frame(const Frame& frame);
