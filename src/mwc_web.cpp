// The oven in a browser: the tick of mwc and mwc-replay, from the same
// libraries, built to WebAssembly and called by the page once per tick.
//
// The page keeps the clock, the key queue and the buzzer's sound; this
// keeps nothing of its own but the tick count. Each tick's frame goes to
// standard output exactly as mwc prints it, and its trace line, exactly as
// mwc-replay --trace prints it, to TRACE_FD; the page reads both.
#include <cstdio>

#include "replay/replay.h"
#include "replay/trace.h"

namespace
{
constexpr int TRACE_FD = 3;
long ticks = 0;
} // namespace

// One tick with `key`, a byte, or -1 for no key. Returns the controller's
// state after it, 1 to 9, or 0 when the trace line could not be written.
extern "C" __attribute__((export_name("mwc_tick"))) int mwc_tick(int key)
{
    const Tick_Record record = Replay_Tick(static_cast<signed char>(key));
    std::fflush(stdout);
    const bool traced = Trace_Tick(TRACE_FD, ++ticks, record) && Trace_Flush(TRACE_FD);
    return traced ? record.state : 0;
}
