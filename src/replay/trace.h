// The replay's trace: one JSON object per tick (JSON Lines), describing the
// tick after its controller step.
#pragma once

#include <cstddef>

#include "replay/replay.h"

// Appends the line of tick number `tick` (1 for the first) to the trace. The
// lines gather in a buffer of the trace's own and go to `fd` when it fills.
// Returns false when writing to `fd` failed.
bool Trace_Tick(int fd, long tick, const Tick_Record& record);

// The trace line of the fields' `values`, in the trace's order, as JSON
// without a newline, into `out` with its NUL; its length, or -1 when it
// does not fit in `room`.
int Trace_Line_Text(char* out, std::size_t room, const double* values);

// Writes out what the buffer holds; false when writing failed.
bool Trace_Flush(int fd);

// Field `field`'s value alone, as a trace line writes it (1, 20.0, true,
// "Finished", or null for no key), into `out` with its NUL, as snprintf
// writes; -1 when it cannot be written.
int Trace_Value_Text(char* out, std::size_t room, std::size_t field, double value);

// Appends `size` bytes of `text` to the same buffer, to go to `fd` as the
// lines do; false when writing failed. For other forms of the trace.
bool Trace_Write(int fd, const char* text, std::size_t size);
