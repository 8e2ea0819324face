#include "check/report.h"

#include <algorithm>
#include <bit>

#include "oven/controller.h"
#include "oven/oven.h"
#include "replay/replay.h"
#include "replay/trace.h"

namespace
{

const char* Input_Name(std::size_t input)
{
    static constexpr const char* NAMES[INPUT_COUNT] = {"none", "a", "b", "c", "d", "e", "f", "q"};
    return NAMES[input];
}

// The inputs of a bit set, as short as it reads: "any", "all but e", or a list.
std::string Inputs_Label(unsigned inputs)
{
    constexpr unsigned ALL = (1U << INPUT_COUNT) - 1;
    if (inputs == ALL) {
        return "any";
    }
    const bool but = std::popcount(inputs) > INPUT_COUNT / 2;
    std::string label = but ? "all but " : "";
    const unsigned listed = but ? ALL & ~inputs : inputs;
    // Keys first, no key last, as a person lists them.
    for (std::size_t i = 1; i <= INPUT_COUNT; ++i) {
        const std::size_t input = i % INPUT_COUNT;
        if ((listed & (1U << input)) != 0) {
            label += (label.empty() || label == "all but ") ? "" : ", ";
            label += Input_Name(input);
        }
    }
    return label;
}

// Replays `script` from start-up and writes the trace line of its last tick.
void Print_Last_Line(std::FILE* out, int fd, const Exploration& exploration,
                     const std::string& script)
{
    Restore_Configuration(exploration.start);
    Tick_Record record{};
    // The script's own bytes, as mwc-replay reads them: its "." is a byte
    // that is no key to the oven, and the trace shows it as it is.
    for (const char byte : script) {
        record = Replay_Tick(static_cast<signed char>(byte));
    }
    std::fprintf(out, "  tick %zu: ", script.size());
    std::fflush(out);
    Trace_Tick(fd, static_cast<long>(script.size()), record);
    Trace_Flush(fd);
    Restore_Configuration(exploration.start);
}

const char* Ticks(std::size_t count)
{
    return count == 1 ? "tick" : "ticks";
}

// A number as a condition writes it: 600, 20, 90.5.
std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

const std::vector<Builtin_Property>& Builtin_Properties()
{
    const std::string max_time = Number(MAX_TIME);
    const std::string ambient = Number(AMBIENT_TEMP);
    const std::string lowest_target = Number(AMBIENT_TEMP + SHORT_TEMP);
    const std::string max_temp = Number(MAX_TEMP);
    const std::string last_mode = Number(MODE_COUNT - 1);
    const std::string manual = Number(MANUAL_MODE);
    static const std::vector<Builtin_Property> builtins = {
        {"the door is shut whenever the oven runs", "start implies not door"},
        {"the time stays within 0 to " + max_time + " s", "time >= 0 and time <= " + max_time},
        {"the target is " + ambient + " or " + lowest_target + " to " + max_temp + " degrees",
         "set_temp = " + ambient + " or (set_temp >= " + lowest_target +
             " and set_temp <= " + max_temp + ")"},
        {"the oven is never hotter than its target",
         "cur_temp >= " + ambient + " and cur_temp <= set_temp"},
        {"the mode stays within " + manual + " to " + last_mode,
         "mode >= " + manual + " and mode <= " + last_mode},
        {"a food mode only when cooking by time", "mode != " + manual + " implies time_mode"},
        {"the buzzer sounds only as a cooking ends",
         "buzzer implies state = Wait_Input and not start"},
    };
    return builtins;
}

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

void Print_Expression_Error(std::FILE* to, const char* option, std::string_view condition,
                            const Expression_Error& error)
{
    // A long condition is shown around its fault, with "..." where it is cut.
    constexpr std::size_t WINDOW = 72;      // of the condition, under which the mark goes
    constexpr std::size_t BEFORE_MARK = 30; // of them before the fault
    constexpr std::size_t QUOTED = 40;      // of the condition on the message's line
    constexpr std::string_view CUT = "...";
    const std::size_t from = condition.size() <= WINDOW || error.offset < BEFORE_MARK
                                 ? 0
                                 : std::min(error.offset - BEFORE_MARK, condition.size() - WINDOW);
    const std::string_view shown = condition.substr(from, WINDOW);
    const std::string_view left = from > 0 ? CUT : "";
    const std::string_view right = from + shown.size() < condition.size() ? CUT : "";
    const std::string_view quoted = condition.substr(0, QUOTED);
    std::fprintf(to, "mwc-check: %s '%.*s%s': %s\n", option, static_cast<int>(quoted.size()),
                 quoted.data(), quoted.size() < condition.size() ? "..." : "",
                 error.message.c_str());
    const std::size_t mark = error.offset - from;
    const std::size_t tail = std::min(error.length > 1 ? error.length - 1 : 0,
                                      shown.size() > mark ? shown.size() - mark - 1 : 0);
    std::fprintf(to, "  %.*s%.*s%.*s\n  %*s^%s\n", static_cast<int>(left.size()), left.data(),
                 static_cast<int>(shown.size()), shown.data(), static_cast<int>(right.size()),
                 right.data(), static_cast<int>(left.size() + mark), "",
                 std::string(tail, '~').c_str());
}

bool Print_Answers(std::FILE* out, int fd, const std::vector<Property_Text>& properties,
                   const Exploration& exploration, std::string& first_script)
{
    bool all = true;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        const Property_Text& property = properties[i];
        const std::string& script = exploration.evidence[i];
        std::fprintf(out, "%s %s\n", property.always ? "always" : "reach",
                     property.condition.c_str());
        if (script.empty()) {
            std::fputs(property.always ? "  holds on every trace line of every key script\n"
                                       : "  not met: no key script reaches such a trace line\n",
                       out);
            all = all && property.always;
            continue;
        }
        all = all && !property.always;
        std::fprintf(out, "  %s after %zu %s: %s\n", property.always ? "fails" : "met",
                     script.size(), Ticks(script.size()), Readable_Script(script).c_str());
        Print_Last_Line(out, fd, exploration, script);
        if (first_script.empty()) {
            first_script = script;
        }
    }
    return all;
}

bool Print_Default_Report(std::FILE* out, int fd, const Exploration& exploration,
                          std::string& first_script)
{
    std::fprintf(out,
                 "Every key script of a to f, q and no key, breadth first from start-up:\n"
                 "  %zu configurations, %zu transitions,\n"
                 "  %zu distinct panel-and-record states on the trace lines.\n\n",
                 exploration.configurations, exploration.transitions, exploration.panel_states);

    std::fputs("States, each with its shortest script:\n", out);
    bool every_state = true;
    for (int state = Wait_Input; state <= Finished; ++state) {
        const std::string& script = exploration.state_reached[static_cast<std::size_t>(state)];
        every_state = every_state && !script.empty();
        if (script.empty()) {
            std::fprintf(out, "  %d %-13s never reached\n", state, State_Name(state));
        } else {
            std::fprintf(out, "  %d %-13s reached after %zu %s: %s\n", state, State_Name(state),
                         script.size(), Ticks(script.size()), Readable_Script(script).c_str());
        }
    }

    std::fputs("\nProperties:\n", out);
    bool all = every_state && exploration.all_rest;
    const std::vector<Builtin_Property>& builtins = Builtin_Properties();
    for (std::size_t i = 0; i < builtins.size(); ++i) {
        const std::string& script = exploration.evidence[i];
        std::fprintf(out, "  %-6s %s\n         always %s\n", script.empty() ? "holds" : "FAILS",
                     builtins[i].description.c_str(), builtins[i].condition.c_str());
        if (!script.empty()) {
            all = false;
            std::fprintf(out, "         fails after %zu %s: %s\n", script.size(),
                         Ticks(script.size()), Readable_Script(script).c_str());
            Print_Last_Line(out, fd, exploration, script);
            if (first_script.empty()) {
                first_script = script;
            }
        }
    }
    std::fprintf(out,
                 "  %-6s with no key pressed, every configuration comes to rest "
                 "(Wait_Input, not running)\n",
                 exploration.all_rest ? "holds" : "FAILS");
    if (exploration.all_rest) {
        std::fprintf(out, "         at most %zu ticks, as after this script (%zu ticks): %s\n",
                     exploration.longest_rest, exploration.rest_script.size(),
                     Readable_Script(exploration.rest_script).c_str());
    } else {
        std::fprintf(out, "         after this script, no key never brings it to rest: %s\n",
                     Readable_Script(exploration.rest_script).c_str());
    }
    if (first_script.empty()) {
        first_script = exploration.rest_script;
    }
    std::fprintf(out, "  %-6s every state is reached\n", every_state ? "holds" : "FAILS");
    return all;
}

void Print_Graph(std::FILE* out, const Exploration& exploration, bool dot)
{
    std::fputs(dot ? "digraph controller {\n"
                     "    node [shape=box, style=rounded];\n"
                     "    start [shape=point, label=\"\"];\n"
                     "    start -> Wait_Input;\n"
                   : "stateDiagram-v2\n"
                     "    [*] --> Wait_Input\n",
               out);
    for (int from = Wait_Input; from <= Finished; ++from) {
        for (int to = Wait_Input; to <= Finished; ++to) {
            const unsigned inputs =
                exploration.moves[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)];
            if (inputs == 0) {
                continue;
            }
            const std::string label = Inputs_Label(inputs);
            std::fprintf(out, dot ? "    %s -> %s [label=\"%s\"];\n" : "    %s --> %s: %s\n",
                         State_Name(from), State_Name(to), label.c_str());
        }
    }
    if (dot) {
        std::fputs("}\n", out);
    }
}
