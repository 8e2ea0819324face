// Every key script there is, run through the oven's own tick.
//
// The tick carries a small, finite configuration from one tick to the next
// (replay.h), so breadth first from the configuration at start-up, trying
// each input in every configuration met, reaches every configuration that
// any key script reaches, each by a shortest script. Properties are checked
// on the trace line of every transition as it is taken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check/language/expression.h"
#include "console/keyboard.h"
#include "oven/controller.h"
#include "replay/replay.h"

// The inputs, in the order tried: no key first, so that of two scripts of
// the same length the one with fewer keys is found. Every other byte is no
// key to the oven. The tick that reads q gives its trace line, then the
// script ends there.
constexpr int INPUT_COUNT = 8;
constexpr std::array<signed char, INPUT_COUNT> INPUTS = {NO_KEY,   KEY_SHORT, KEY_LONG, KEY_UNIT,
                                                         KEY_MODE, KEY_START, KEY_DOOR, KEY_QUIT};
// The inputs of never-ending scripts: all but q, the last.
constexpr int STEP_INPUTS = INPUT_COUNT - 1;
static_assert(INPUTS[STEP_INPUTS] == KEY_QUIT);

// The script byte of INPUTS[input].
constexpr char Script_Byte(int input)
{
    const signed char key = INPUTS[static_cast<std::size_t>(input)];
    return key == INPUTS[0] ? IDLE_TICK : static_cast<char>(key);
}

// The entry of INPUTS that a script's byte is: a key of the oven, or no
// key (0) for any other byte.
constexpr int Input_Of_Byte(char byte)
{
    for (int input = 1; input < INPUT_COUNT; ++input) {
        if (INPUTS[static_cast<std::size_t>(input)] == static_cast<signed char>(byte)) {
            return input;
        }
    }
    return 0;
}

// A condition to check on every trace line: that it always holds, or that
// some script reaches a line where it does. One that reads a before. field
// is checked on every transition, the others once per distinct line.
struct Property {
    bool always;
    Expression expression;
};

struct Exploration {
    Oven_Configuration start{}; // the configuration at start-up
    // Tick 0's line: the oven at start-up, with no key, nothing taken and no
    // buzzer. It is its own before line.
    Trace_Line start_line{};
    std::size_t configurations = 0;
    std::size_t transitions = 0;
    std::size_t panel_states = 0; // distinct panel-and-record values of the trace lines
    // For each property, the evidence: a shortest script whose last trace
    // line breaks an `always` or meets a `reach`; empty when there is none.
    // Scripts are one byte per tick, IDLE_TICK for no key.
    std::vector<std::string> evidence;
    // For each state, a shortest script whose last line is in it; empty when
    // none is (index 0 is unused).
    std::array<std::string, Finished + 1> state_reached;
    // Inputs that take the controller from one state to another, a bit per
    // entry of INPUTS.
    std::array<std::array<unsigned, Finished + 1>, Finished + 1> moves{};
    // With no key pressed, does every configuration come to rest (Wait_Input,
    // not running)? If so: the most ticks that takes, and a script that
    // ends the first time a configuration that takes the most is at rest.
    // If not: a script to a configuration that never does.
    bool all_rest = true;
    std::size_t longest_rest = 0;
    std::string rest_script;
    // False when the exploration stopped at its limit of configurations:
    // then nothing above is an answer, and `growing` says which numeric
    // fields of the trace lines were still reaching new highs or lows in
    // the second half of the configurations met, as "cur_temp (20.0 to
    // 90.0 halfway, 345.0 at the end)"; empty when none was.
    bool complete = true;
    std::string growing;
    // The graph of never-ending scripts, for the questions over time. The
    // configurations are numbered in the order met, 0 at start-up; from
    // configuration c, input i of the STEP_INPUTS leads to
    // next[c * STEP_INPUTS + i], with the trace line lines[line_of[same]].
    std::vector<std::uint32_t> next;
    std::vector<std::uint32_t> line_of;
    std::vector<Trace_Line> lines;
    // The line of the tick that reads q in each configuration, which ends
    // a script there: lines[quit_line_of[c]].
    std::vector<std::uint32_t> quit_line_of;
    // The transitions into each configuration c, as their indexes into
    // next: into_edges[into_first[c]] up to into_edges[into_first[c + 1]].
    std::vector<std::uint32_t> into_first;
    std::vector<std::uint32_t> into_edges;
    // How each configuration was first reached: from `parent`, by the
    // script byte `reached_by` (none for start-up).
    std::vector<std::uint32_t> parent;
    std::vector<char> reached_by;
    // Kept only when asked for: each configuration as a trace line shows it
    // before a tick (before_lines[before_of[c]]: the door, the light as last
    // drawn, the record, the state), which is what before. fields read;
    // and for the guards of the graph, the state that each input, q too,
    // takes it to (moved_to[c * INPUT_COUNT + input]).
    std::vector<std::uint32_t> before_of;
    std::vector<Trace_Line> before_lines;
    std::vector<unsigned char> moved_to;
};

// Two kinds of index into an exploration, each named for what it counts,
// with one conversion each way: a configuration, numbered in the order
// met (0 at start-up); and a transition, input `input` of the STEP_INPUTS
// from configuration `c`, which indexes next and line_of.
using Configuration_Index = std::uint32_t;
using Transition_Index = std::size_t;

inline Transition_Index Edge(Configuration_Index c, int input)
{
    return std::size_t{c} * STEP_INPUTS + static_cast<std::size_t>(input);
}
// The configuration a transition leaves, and its input.
inline Configuration_Index Source_Of(Transition_Index edge)
{
    return static_cast<Configuration_Index>(edge / STEP_INPUTS);
}
inline int Input_Of(Transition_Index edge)
{
    return static_cast<int>(edge % STEP_INPUTS);
}

// The shortest script to configuration `c`, one byte per tick.
std::string Script_To(const Exploration& exploration, std::uint32_t c);

// The default limit of configurations, far above the oven's own.
constexpr std::size_t DEFAULT_MAX_CONFIGURATIONS = 1000000;

// What an exploration keeps beyond the graph: the lines before each tick
// (for before. fields), and with them what the graph's guards are found
// from. Each costs a tenth of its time, and of its memory.
enum class Guard_Data { LEFT_OUT, BEFORE_LINES, KEPT };

// Properties that read before. fields get the lines before in any case.
Exploration Explore(const std::vector<Property>& properties,
                    std::size_t max_configurations = DEFAULT_MAX_CONFIGURATIONS,
                    Guard_Data guard_data = Guard_Data::LEFT_OUT);
