#include "check/outputs/scripts.h"

#include "replay/replay.h"
#include "replay/trace.h"

std::string Readable_Script(std::string_view script)
{
    std::string readable;
    for (std::size_t i = 0; i < script.size();) {
        std::size_t run = 1;
        while (script[i] == IDLE_TICK && i + run < script.size() && script[i + run] == IDLE_TICK) {
            ++run;
        }
        readable += readable.empty() ? "" : " ";
        if (run == 1) {
            readable += script[i];
        } else {
            readable.append(".{").append(std::to_string(run)).append("}");
        }
        i += run;
    }
    return readable;
}

std::string Script_Of(const std::string& script, const std::string& loop, bool lasso)
{
    std::string bytes = script;
    for (int i = 0; lasso && i < LOOP_ROUNDS_WRITTEN; ++i) {
        bytes += loop;
    }
    return bytes;
}

std::string Script_Of(const Temporal_Evidence& evidence)
{
    return Script_Of(evidence.script, evidence.loop, evidence.lasso);
}

const char* Ticks(std::size_t count)
{
    return count == 1 ? "tick" : "ticks";
}

// Replays `script` from start-up and writes the trace line of its last
// tick, after `lead` and the tick's number.
void Print_Last_Line(std::FILE* out, int fd, const Exploration& exploration,
                     const std::string& script, const char* lead)
{
    Restore_Configuration(exploration.start);
    Tick_Record record{};
    // The script's own bytes, as mwc-replay reads them: its "." is a byte
    // that is no key to the oven, and the trace shows it as it is.
    for (const char byte : script) {
        record = Replay_Tick(static_cast<signed char>(byte));
    }
    std::fprintf(out, "%stick %zu: ", lead, script.size());
    std::fflush(out);
    Trace_Tick(fd, static_cast<long>(script.size()), record);
    Trace_Flush(fd);
    Restore_Configuration(exploration.start);
}
