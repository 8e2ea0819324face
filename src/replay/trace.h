// The replay's trace: one JSON object per tick (JSON Lines), describing the
// tick after its controller step.
#pragma once

#include "replay/replay.h"

// Appends the line of tick number `tick` (1 for the first) to the trace. The
// lines gather in a buffer of the trace's own and go to `fd` when it fills.
// Returns false when writing to `fd` failed.
bool Trace_Tick(int fd, long tick, const Tick_Record& record);

// Writes out what the buffer holds; false when writing failed.
bool Trace_Flush(int fd);
