// The oven in a browser: the tick of mwc and mwc-replay, from the same
// libraries, built to WebAssembly and called by the page once per tick.
//
// The page keeps the clock, the key queue and the buzzer's sound; this
// keeps nothing of its own but the tick count. Each tick's frame goes to
// standard output exactly as mwc prints it, and its trace line, exactly as
// mwc-replay --trace prints it, to TRACE_FD; the page reads both. What the
// page says of the oven (its states, keys, limits, buzzer, tick, colours
// and script form) it reads from here too, so that a change to the oven
// changes the page.
#include <cstdio>

#include "console/colour.h"
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
constexpr unsigned char FIRST_PRINTABLE = 0x20;
long ticks = 0;

// `text` as a JSON string: the panel's escapes hold a control byte. The
// texts written here hold no quote and no backslash.
void Print_Json_Text(const char* text)
{
    std::putchar('"');
    for (const char* at = text; *at != '\0'; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte < FIRST_PRINTABLE) {
            std::printf("\\u%04x", byte);
        } else {
            std::putchar(byte);
        }
    }
    std::putchar('"');
}

void Print_States()
{
    std::printf("\"states\":[");
    for (int state = Wait_Input; state <= Finished; ++state) {
        std::printf("%s{\"number\":%d,\"name\":\"%s\",\"meaning\":\"%s\"}",
                    state == Wait_Input ? "" : ",", state, State_Name(state), State_Meaning(state));
    }
    std::printf("],\"start_state\":%d,", System_State());
}

void Print_Keys()
{
    std::printf("\"keys\":[");
    for (const Panel_Key& key : PANEL_KEYS) {
        std::printf("%s{\"key\":\"%c\",\"does\":\"%s\"}", &key == PANEL_KEYS ? "" : ",", key.key,
                    key.does);
    }
    std::printf("],\"door_key\":\"%c\",\"quit\":\"%c\",\"no_key\":%d,", KEY_DOOR, KEY_QUIT, NO_KEY);
}

// What the page says of the oven, and how it reads the tick's outputs.
void Print_Facts()
{
    std::printf("{\"tick_ms\":%u,\"trace_fd\":%d,", TICK_US / US_PER_MS, TRACE_FD);
    Print_States();
    Print_Keys();
    std::printf("\"modes\":[");
    for (int mode = 0; mode < MODE_COUNT; ++mode) {
        std::printf("%s\"%s\"", mode == 0 ? "" : ",", mode_meaning[mode]);
    }
    std::printf("],\"max_time_s\":%d,\"ambient_temp_c\":%g,\"max_temp_c\":%g,", MAX_TIME,
                AMBIENT_TEMP, MAX_TEMP);
    std::printf("\"buzzer\":{\"tones\":%d,\"hz\":%u,\"tone_ms\":%u,\"pause_ms\":%u},", BUZZER_TONES,
                BUZZER_FREQUENCY_HZ, BUZZER_TONE_MS, BUZZER_PAUSE_US / US_PER_MS);
    // A frame drawn with the back light on begins with the yellow; the
    // reset ends it.
    std::printf("\"lit\":");
    Print_Json_Text(COLOUR_YELLOW);
    std::printf(",\"unlit\":");
    Print_Json_Text(COLOUR_RESET);
    std::printf(",\"script\":{\"idle_tick\":\"%c\",\"loop_rounds\":%d}}\n", IDLE_TICK,
                LOOP_ROUNDS_WRITTEN);
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

// The panel as the oven stands, before its next tick: the frame that tick
// would draw without a key, on standard output, with the oven put back as
// it was. Returns the controller's state. The page shows start-up with it.
extern "C" __attribute__((export_name("mwc_show"))) int mwc_show()
{
    const Oven_Configuration now = Save_Configuration();
    Replay_Tick(static_cast<signed char>(NO_KEY));
    std::fflush(stdout);
    Restore_Configuration(now);
    return System_State();
}

// The oven's facts, as a JSON line on standard output, before any tick;
// 1 when written, else 0.
extern "C" __attribute__((export_name("mwc_facts"))) int mwc_facts()
{
    Print_Facts();
    return std::fflush(stdout) == 0 ? 1 : 0;
}
