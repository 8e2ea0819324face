// Key scripts through another implementation of the oven: a program that
// reads a byte a tick from standard input and writes its frames to
// standard output. Several run side by side, each in a process group of
// its own, so that nothing of it is left running.
#pragma once

#include <string>
#include <vector>

#include "replay/replay.h"

// How one script went, against the real controller's frames.
struct Outcome {
    bool passed = false;
    std::size_t tick = 0; // the tick whose frame differs or is missing, from 1; 0 for none
    std::string expected; // its frame from the real controller
    std::string got;      // and from the implementation ("" when none)
    std::string why;      // what happened, in words
    bool not_run = false; // the program could not be started at all
};

struct Runner {
    std::vector<std::string> command; // the program and its arguments
    int jobs = 1;                     // scripts run side by side
    double timeout = 0;               // seconds a script may take; 0: by its length
    bool fast = false;                // run it with its sleeps shortened
    std::string preload;              // the library that shortens them, for `fast`
    Oven_Configuration start{};       // the real controller at start-up
};

// The seconds a script of `ticks` ticks may take when no --timeout is
// given: enough for a program that really sleeps 100 ms a tick, twice over.
double Default_Timeout(std::size_t ticks, bool fast);

// Runs every script, q added, through the program; the outcomes in order.
std::vector<Outcome> Run_Scripts(const Runner& runner, const std::vector<std::string>& scripts);

// Kills what is still running, for a signal that ends mwc-conform.
void Stop_All_Running();
