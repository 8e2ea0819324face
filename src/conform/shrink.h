// A failing script made short: ticks and keys taken out while the program
// still fails on it, the program run again for each try.
#pragma once

#include <string>

#include "conform/runner.h"

// How many scripts one shrinking may run, so that it always ends.
constexpr std::size_t MAX_SHRINK_RUNS = 400;

// `script`, on which the program fails with `outcome`, shortened while it
// still fails; `outcome` becomes the shortened script's.
std::string Shrink(const Runner& runner, std::string script, Outcome& outcome);
