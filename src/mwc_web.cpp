// The oven in a browser: the tick of mwc and mwc-replay, from the same
// libraries, built to WebAssembly and called by the page once per tick.
//
// The page keeps the clock, the key queue and the buzzer's sound; this
// keeps nothing of its own but the tick count. Each tick's frame goes to
// standard output exactly as mwc prints it, and its trace line, exactly as
// mwc-replay --trace prints it, to TRACE_FD; the page reads both. What the
// page says of the oven (its states, keys, limits, buzzer and tick) it
// reads from here too, so that a change to the oven changes the page.
#include <algorithm>
#include <cstdio>

#include "console/keyboard.h"
#include "oven/controller.h"
#include "oven/counters.h"
#include "oven/oven.h"
#include "replay/replay.h"
#include "replay/trace.h"

namespace
{
constexpr int TRACE_FD = 3;
constexpr unsigned int US_PER_MS = 1000;
long ticks = 0;

// The facts as one JSON object, a line of its own; none holds a quote or
// a backslash.
char facts[4096];
std::size_t used = 0;

// Room left in `facts`, and the count that snprintf gave taken, never past
// the end.
char* At()
{
    return facts + used;
}
std::size_t Room()
{
    return sizeof facts - used;
}
void Took(int written)
{
    if (written > 0) {
        used = std::min(sizeof facts - 1, used + static_cast<std::size_t>(written));
    }
}

void Add_Facts()
{
    Took(std::snprintf(
        At(), Room(),
        "{\"tick_ms\":%u,\"no_key\":%d,\"idle_tick\":\"%c\",\"quit\":\"%c\",\"states\":[",
        TICK_US / US_PER_MS, NO_KEY, IDLE_TICK, KEY_QUIT));
    for (int state = Wait_Input; state <= Finished; ++state) {
        Took(std::snprintf(At(), Room(), "%s{\"number\":%d,\"name\":\"%s\",\"meaning\":\"%s\"}",
                           state == Wait_Input ? "" : ",", state, State_Name(state),
                           State_Meaning(state)));
    }
    Took(std::snprintf(At(), Room(), "],\"keys\":["));
    for (const Panel_Key& key : PANEL_KEYS) {
        Took(std::snprintf(At(), Room(), "%s{\"key\":\"%c\",\"does\":\"%s\"}",
                           &key == PANEL_KEYS ? "" : ",", key.key, key.does));
    }
    Took(std::snprintf(At(), Room(), "],\"modes\":["));
    for (int mode = 0; mode < MODE_COUNT; ++mode) {
        Took(std::snprintf(At(), Room(), "%s\"%s\"", mode == 0 ? "" : ",", mode_meaning[mode]));
    }
    Took(std::snprintf(At(), Room(),
                       "],\"max_time_s\":%d,\"ambient_temp_c\":%g,\"max_temp_c\":%g,"
                       "\"buzzer\":{\"tones\":%d,\"hz\":%u,\"tone_ms\":%u,\"pause_ms\":%u}}\n",
                       MAX_TIME, AMBIENT_TEMP, MAX_TEMP, BUZZER_TONES, BUZZER_FREQUENCY_HZ,
                       BUZZER_TONE_MS, BUZZER_PAUSE_US / US_PER_MS));
}
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

// The oven's facts, as a JSON line on TRACE_FD; 1 when written, else 0.
extern "C" __attribute__((export_name("mwc_facts"))) int mwc_facts()
{
    used = 0;
    Add_Facts();
    return Trace_Write(TRACE_FD, facts, used) && Trace_Flush(TRACE_FD) ? 1 : 0;
}
