// The diagram's outputs: the graph itself, what a script covers of it, the
// tour, and where two builds part.
#include "check/outputs/diagram.h"
#include <algorithm>
#include <bit>
#include <cassert>

#include "check/engines/guards.h"
#include "check/outputs/scripts.h"
#include "oven/controller.h"
#include "replay/shown.h"
#include "replay/trace.h"

namespace
{

// An input as the conditions name it: its key, or none.
std::string Input_Name(std::size_t input)
{
    return input == 0 ? "none" : std::string(1, Script_Byte(static_cast<int>(input)));
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

// A move's fields in JSON, without the braces: from, to, its inputs in the
// script alphabet, and its guard or null.
std::string Move_Json(const Guarded_Move& move)
{
    std::string json = "\"from\":";
    json.append(Json_String(State_Name(move.from)))
        .append(",\"to\":")
        .append(Json_String(State_Name(move.to)))
        .append(",\"inputs\":[");
    bool first = true;
    for (int input = 0; input < INPUT_COUNT; ++input) {
        if ((move.inputs >> input & 1U) != 0) {
            json.append(first ? "" : ",").append(Json_String(std::string(1, Script_Byte(input))));
            first = false;
        }
    }
    return json.append("],\"guard\":")
        .append(move.guard.empty() ? "null" : Json_String(move.guard));
}

// A move as the diagram labels it: "From -> To: inputs [guard]".
std::string Move_Label(const Guarded_Move& move)
{
    std::string label = std::string(State_Name(move.from)) + " -> " + State_Name(move.to) + ": " +
                        Inputs_Label(move.inputs);
    return move.guard.empty() ? label : label + " [" + move.guard + "]";
}

} // namespace

bool Print_Cover(std::FILE* out, const char* name, const Coverage& coverage,
                 const std::vector<Guarded_Move>& moves, bool json)
{
    if (json) {
        std::string line = "{\"query\":\"cover\",\"file\":";
        line.append(Json_String(name))
            .append(",\"ticks\":")
            .append(std::to_string(coverage.script_ticks))
            .append(",\"rest_ticks\":")
            .append(std::to_string(coverage.rest_ticks))
            .append(",\"covered\":")
            .append(std::to_string(coverage.covered))
            .append(",\"total\":")
            .append(std::to_string(moves.size()))
            .append(",\"transitions\":[");
        for (std::size_t m = 0; m < moves.size(); ++m) {
            const Move_Coverage& move = coverage.moves[m];
            line.append(m == 0 ? "{" : ",{")
                .append(Move_Json(moves[m]))
                .append(",\"taken\":")
                .append(std::to_string(move.taken))
                .append(",\"first\":")
                .append(move.taken == 0 ? "null" : std::to_string(move.first))
                .append(",\"script\":")
                .append(move.taken == 0 ? Json_String(move.shortest) : "null")
                .append("}");
        }
        std::fprintf(out, "%s]}\n", line.c_str());
        return coverage.covered == moves.size();
    }
    std::fprintf(out, "cover %s\n  %ld %s of the script", Shown(name).c_str(),
                 coverage.script_ticks, Ticks(static_cast<std::size_t>(coverage.script_ticks)));
    if (!coverage.ended) {
        std::fprintf(out, ", then %ld without a key to rest", coverage.rest_ticks);
    }
    std::fprintf(out, "\n  covered %zu of %zu transitions\n", coverage.covered, moves.size());
    for (std::size_t m = 0; m < moves.size(); ++m) {
        const Move_Coverage& move = coverage.moves[m];
        if (move.taken > 0) {
            std::fprintf(out, "  taken  %s\n         %zu %s, the first at tick %ld\n",
                         Move_Label(moves[m]).c_str(), move.taken, Ticks(move.taken), move.first);
        } else {
            std::fprintf(out, "  missed %s\n         shortest: %s%s\n",
                         Move_Label(moves[m]).c_str(), Readable_Script(move.shortest).c_str(),
                         move.q_only ? " (only q takes it, and q ends a script)" : "");
        }
    }
    return coverage.covered == moves.size();
}

bool Print_Tour(std::FILE* out, const std::string& tour, const std::vector<Guarded_Move>& moves,
                const std::vector<std::size_t>& left, bool json)
{
    if (json) {
        std::string line = "{\"query\":\"tour\",\"ticks\":";
        line.append(std::to_string(tour.size()))
            .append(",\"evidence\":[{\"role\":\"witness\",\"script\":")
            .append(Json_String(tour))
            .append("}],\"q_only\":[");
        bool first = true;
        for (const Guarded_Move& move : moves) {
            if (move.inputs == 1U << STEP_INPUTS) {
                line.append(first ? "{" : ",{").append(Move_Json(move)).append("}");
                first = false;
            }
        }
        line.append("],\"left\":[");
        for (std::size_t i = 0; i < left.size(); ++i) {
            line.append(i == 0 ? "{" : ",{").append(Move_Json(moves[left[i]])).append("}");
        }
        std::fprintf(out, "%s]}\n", line.c_str());
        return left.empty();
    }
    std::fprintf(out, "tour\n  takes %zu of the %zu transitions, after %zu %s: %s\n",
                 moves.size() - left.size(), moves.size(), tour.size(), Ticks(tour.size()),
                 Readable_Script(tour).c_str());
    for (const Guarded_Move& move : moves) {
        if (move.inputs == 1U << STEP_INPUTS) {
            std::fprintf(out, "  not %s: only q takes it, and q ends a script\n",
                         Move_Label(move).c_str());
        }
    }
    for (const std::size_t m : left) {
        std::fprintf(out, "  not %s: it cannot be reached from where the tour stands\n",
                     Move_Label(moves[m]).c_str());
    }
    return left.empty();
}

bool Print_Compare(std::FILE* out, const char* name, const Difference& difference, bool json)
{
    // The two lines as trace lines, numbered as the script's last tick.
    char lines[2][512];
    std::string fields;
    for (int i = 0; i < 2 && !difference.same; ++i) {
        Trace_Line line = i == 0 ? difference.saved_line : difference.this_line;
        static_assert(TRACE_FIELDS[0].type == Field_Type::COUNT, "the tick comes first");
        line[0] = static_cast<double>(difference.script.size());
        if (Trace_Line_Text(lines[i], sizeof lines[i], line.data()) < 0) {
            std::snprintf(lines[i], sizeof lines[i], "null");
        }
    }
    for (std::size_t f = 0; f < TRACE_FIELD_COUNT && !difference.same; ++f) {
        const double was = difference.saved_line[f];
        const double is = difference.this_line[f];
        if (TRACE_FIELDS[f].type == Field_Type::COUNT || was == is) {
            continue;
        }
        char values[64];
        std::snprintf(values, sizeof values, " %g against %g", was, is);
        const char* separator = json ? "," : ", ";
        fields.append(fields.empty() ? "" : separator)
            .append(json ? Json_String(TRACE_FIELDS[f].name) : TRACE_FIELDS[f].name)
            .append(json ? "" : values);
    }
    if (json) {
        std::string line = "{\"query\":\"compare\",\"file\":";
        line.append(Json_String(name))
            .append(",\"verdict\":")
            .append(difference.same ? "\"same\"" : "\"differs\"")
            .append(",\"pairs\":")
            .append(std::to_string(difference.pairs))
            .append(",\"evidence\":[");
        if (!difference.same) {
            line.append("{\"role\":\"counterexample\",\"script\":")
                .append(Json_String(difference.script))
                .append("}],\"saved\":")
                .append(lines[0])
                .append(",\"this\":")
                .append(lines[1])
                .append(",\"fields\":[")
                .append(fields)
                .append("]}");
        } else {
            line.append("],\"saved\":null,\"this\":null,\"fields\":[]}");
        }
        std::fprintf(out, "%s\n", line.c_str());
        return difference.same;
    }
    std::fprintf(out, "compare %s\n", Shown(name).c_str());
    if (difference.same) {
        std::fprintf(out,
                     "  same: every key script gives the same trace lines in both "
                     "(%zu pairs of configurations met)\n",
                     difference.pairs);
        return true;
    }
    std::fprintf(out, "  differs after %zu %s: %s\n  saved: %s\n  this:  %s\n  fields: %s\n",
                 difference.script.size(), Ticks(difference.script.size()),
                 Readable_Script(difference.script).c_str(), lines[0], lines[1], fields.c_str());
    return false;
}

namespace
{

// A label in lines of about LINE words' width, for dot ("\\n" between
// them): the inputs, then the guard, broken before a word that would make
// a line too long, but never before a comparison.
std::string Dot_Lines(const std::string& label)
{
    constexpr std::size_t LINE = 16;
    std::string lines;
    std::size_t line_start = 0;
    std::size_t at = 0;
    while (at < label.size()) {
        std::size_t end = label.find(' ', at);
        end = end == std::string::npos ? label.size() : end;
        const std::string_view word(label.data() + at, end - at);
        const bool comparison = word.find_first_not_of("=!<>") == std::string_view::npos;
        const bool guard = word.starts_with("[");
        if (!lines.empty() &&
            (guard || (!comparison && lines.size() - line_start + 1 + word.size() > LINE))) {
            lines.append("\\n");
            line_start = lines.size();
        } else if (!lines.empty()) {
            lines.push_back(' ');
        }
        lines.append(word);
        at = end + 1;
    }
    return lines;
}

// One transition of the dot graph, with the classes that tell, on the page,
// the transition a tick took by its states and input: from one state, an
// input takes one transition to each state it can lead to. A state's
// loops (`loop` from 1) go out to a point of their own and back, so that
// their labels are laid out as any other's and never overlap.
void Print_Dot_Move(std::FILE* out, const Guarded_Move& move, const std::string& label, int loop)
{
    std::string classes =
        std::string("from-") + State_Name(move.from) + " to-" + State_Name(move.to);
    for (std::size_t input = 0; input < INPUT_COUNT; ++input) {
        if ((move.inputs >> input & 1U) != 0) {
            classes.append(" on-").append(Input_Name(input));
        }
    }
    std::string from = State_Name(move.from);
    if (loop > 0) {
        const std::string point = from + "_loop_" + std::to_string(loop);
        std::fprintf(out,
                     "    %s [shape=point, width=0.06, label=\"\"];\n"
                     "    %s -> %s [arrowhead=none, class=\"loop-out\"];\n",
                     point.c_str(), from.c_str(), point.c_str());
        from = point;
    }
    std::fprintf(out, "    %s -> %s [label=\"%s\", class=\"%s\"];\n", from.c_str(),
                 State_Name(move.to), Dot_Lines(label).c_str(), classes.c_str());
}

} // namespace

bool Print_Graph(std::FILE* out, const Exploration& exploration, Graph_Format format)
{
    const Guarded_Graph graph = Find_Guards(exploration);
    if (!graph.exact) {
        std::fprintf(stderr, "mwc-check: the guards found are not exact: %s\n",
                     graph.fault.c_str());
        return false;
    }
    if (format == Graph_Format::JSON) {
        std::string json = "{\"states\":[";
        for (int state = Wait_Input; state <= Finished; ++state) {
            json.append(state == Wait_Input ? "" : ",").append(Json_String(State_Name(state)));
        }
        json.append("],\"transitions\":[");
        for (std::size_t m = 0; m < graph.moves.size(); ++m) {
            json.append(m == 0 ? "{" : ",{").append(Move_Json(graph.moves[m])).append("}");
        }
        std::fprintf(out, "%s]}\n", json.c_str());
        return true;
    }
    const bool dot = format == Graph_Format::DOT;
    // Left to right, the labels in lines of a few words: a diagram for
    // a screen, as tall as it is wide.
    std::fputs(dot ? "digraph controller {\n"
                     "    rankdir=LR;\n"
                     "    nodesep=0.15;\n"
                     "    ranksep=0.3;\n"
                     "    edge [fontsize=12];\n"
                     "    node [shape=box, style=rounded];\n"
                     "    start [shape=point, label=\"\"];\n"
                     "    start -> Wait_Input;\n"
                   : "stateDiagram-v2\n"
                     "    [*] --> Wait_Input\n",
               out);
    // Each state says what it means when hovered, on the page.
    for (int state = Wait_Input; dot && state <= Finished; ++state) {
        std::fprintf(out, "    %s [tooltip=\"%s: %s\"];\n", State_Name(state), State_Name(state),
                     State_Meaning(state));
    }
    int loops = 0;
    for (const Guarded_Move& move : graph.moves) {
        std::string label = Inputs_Label(move.inputs);
        if (!move.guard.empty()) {
            label += " [" + move.guard + "]";
        }
        if (dot) {
            Print_Dot_Move(out, move, label, move.from == move.to ? ++loops : 0);
        } else {
            std::fprintf(out, "    %s --> %s: %s\n", State_Name(move.from), State_Name(move.to),
                         label.c_str());
        }
    }
    if (dot) {
        std::fputs("}\n", out);
    }
    return true;
}
