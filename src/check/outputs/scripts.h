// Evidence scripts as mwc-check shows them: to a person, to a script file,
// and by the trace line they end on.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "check/engines/temporal.h"
#include "check/exploration/explore.h"

// A script as a person reads it: keys and "." for a tick without a key,
// apart, and a run of N ticks without a key as ".{N}".
std::string Readable_Script(std::string_view script);

// The bytes of a piece of evidence as a script file has them: a lasso goes
// round its loop three times.
std::string Script_Of(const std::string& script, const std::string& loop, bool lasso);
std::string Script_Of(const Temporal_Evidence& evidence);

// "tick" or "ticks", for `count` of them.
const char* Ticks(std::size_t count);

// Replays `script` from start-up and writes the trace line of its last
// tick, after `lead` and the tick's number; `out` writes to `fd`.
void Print_Last_Line(std::FILE* out, int fd, const Exploration& exploration,
                     const std::string& script, const char* lead = "  ");
