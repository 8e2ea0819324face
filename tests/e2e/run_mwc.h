// Runs the real mwc (or another of the oven's programs) with a key script and
// collects what it did.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <termios.h>
#include <vector>

#include "console/keyboard.h"
#include "frames.h"
#include "terminal_modes.h"

struct Mwc_Run {
    std::string output;                   // standard output, with the terminal's "\r\n" as "\n"
    std::string errors;                   // standard error
    bool colour_reset = false;            // the output ends in a colour reset
    std::vector<Frame> frames;            // the output before that, read as frames
    std::string frame_error;              // where the output is not frames, if anywhere
    std::vector<double> frame_times;      // seconds from start to each frame's first byte
    std::size_t frames_before_script = 0; // start-up frames before the script's first key
    long writes_at_signal = -1;           // write calls mwc had made when signalled, if read
    std::size_t frames_at_signal = 0;     // ... and the frames read by then
    int wait_status = -1;                 // as waitpid gives it
    termios before{};                     // the terminal's modes handed to mwc
    termios running{};                    // ... seen after the first frame
    termios after{};                      // ... after mwc ended
    // A stop plan stops mwc twice; for each stop, in order:
    std::vector<bool> stopped;             // mwc was seen stopped
    std::vector<termios> while_stopped;    // the modes then
    std::vector<std::size_t> stop_offsets; // how much output had come by then
    std::vector<termios> resumed;          // the modes a few frames after SIGCONT
};

// How many more idle start-up frames than one `frames` begins with, for a
// run that should be `expected` frames long. The script is typed after the
// first frame; on a busy machine it may land a tick or two later, and the
// frames before it are then all the same start-up frame. 0 unless the
// extra frames are exactly such copies.
std::size_t Late_Ticks(const std::vector<Frame>& frames, std::size_t expected);

// A byte that is the same as no key, and `ticks` of them.
constexpr char IDLE = static_cast<char>(NO_KEY);
std::string Idle(int ticks);

// A key script, one byte per tick, made of its parts in order.
std::string Script(std::initializer_list<std::string_view> parts);

// Starts mwc on a new pseudo-terminal, waits for its first frame, types the
// whole script at once (mwc takes one byte per tick), and reads until mwc
// ends or `limit_s` seconds have passed, when it is killed. A `signal` other
// than 0 is sent to mwc once a few frames have come after the typing. For a
// script that ends in q, the frames are those of the script and the one
// start-up frame before it, however late the typing landed.
Mwc_Run Run_On_Terminal(std::string_view script, double limit_s, int signal = 0);

// Same, but before the signal it types Ctrl-S, which stops the terminal's
// output, and waits until mwc waits in a write; the offset then is the one
// stop offset.
Mwc_Run Run_With_Output_Stopped(std::string_view script, double limit_s, int signal);

// Same, but a few frames after typing it stops mwc with SIGTSTP, waits for
// the stop, notes the modes, and lets it go on with SIGCONT; a few frames
// later, once more.
Mwc_Run Run_Stopped_And_Continued(std::string_view script, double limit_s);

// Starts mwc on a new pseudo-terminal with its standard output a pipe that
// nobody reads: its first write of frames meets a closed pipe.
Mwc_Run Run_Into_Closed_Pipe(double limit_s);

// Same, with standard input and output as pipes: the script is written and
// the input closed at once. A `signal` other than 0 is sent a few frames in.
Mwc_Run Run_On_Pipes(std::string_view script, double limit_s, int signal = 0);

// Same, for another program: `command` is its path and arguments. An
// `input_fd` of 0 or more is its standard input instead of the script. The
// program may take at most CPU_LIMIT_S seconds of CPU time: a search or a
// loop that never ends is killed by that, however busy the machine is, so
// a tool's run needs no wall-clock limit (NO_WALL_CLOCK_S); CTest's TIMEOUT
// is the last resort.
constexpr int CPU_LIMIT_S = 300;
constexpr double NO_WALL_CLOCK_S = 24.0 * 60 * 60;
Mwc_Run Run_Command_On_Pipes(const std::vector<std::string>& command, std::string_view script,
                             double limit_s, int signal = 0, int input_fd = -1);
