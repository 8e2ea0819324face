#include "check/report.h"

#include <algorithm>
#include <bit>
#include <cassert>

#include "check/cover.h"
#include "check/guards.h"
#include "check/saved.h"
#include "oven/controller.h"
#include "oven/oven.h"
#include "replay/replay.h"
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

// Replays `script` from start-up and writes the trace line of its last
// tick, after `lead` and the tick's number.
void Print_Last_Line(std::FILE* out, int fd, const Exploration& exploration,
                     const std::string& script, const char* lead = "  ")
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

const char* Ticks(std::size_t count)
{
    return count == 1 ? "tick" : "ticks";
}

// A number as a condition writes it: 600, 20, 90.5.
} // namespace

const std::vector<Builtin_Property>& Builtin_Properties()
{
    const std::string max_time = Condition_Number(MAX_TIME);
    const std::string ambient = Condition_Number(AMBIENT_TEMP);
    const std::string lowest_target = Condition_Number(AMBIENT_TEMP + SHORT_TEMP);
    const std::string max_temp = Condition_Number(MAX_TEMP);
    const std::string last_mode = Condition_Number(MODE_COUNT - 1);
    const std::string manual = Condition_Number(MANUAL_MODE);
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
    assert(error.offset <= condition.size() && "the mark is within the condition or at its end");
    const std::size_t from = condition.size() <= WINDOW || error.offset < BEFORE_MARK
                                 ? 0
                                 : std::min(error.offset - BEFORE_MARK, condition.size() - WINDOW);
    const std::string_view window = condition.substr(from, WINDOW);
    const std::string_view left = from > 0 ? CUT : "";
    const std::string_view right = from + window.size() < condition.size() ? CUT : "";
    const std::string quoted = Shown(condition.substr(0, QUOTED));
    std::fprintf(to, "mwc-check: %s '%s%s': %s\n", option, quoted.c_str(),
                 QUOTED < condition.size() ? "..." : "", error.message.c_str());
    // The mark goes under the columns that the marked bytes take once shown.
    const std::size_t mark = error.offset - from;
    const std::size_t marked = std::min(std::max<std::size_t>(error.length, 1),
                                        window.size() > mark ? window.size() - mark : 0);
    const std::size_t column = Shown_Columns(Shown(window.substr(0, mark)));
    const std::size_t width = Shown_Columns(Shown(window.substr(mark, marked)));
    const std::size_t tail = width > 1 ? width - 1 : 0;
    std::fprintf(to, "  %.*s%s%.*s\n  %*s^%s\n", static_cast<int>(left.size()), left.data(),
                 Shown(window).c_str(), static_cast<int>(right.size()), right.data(),
                 static_cast<int>(left.size() + column), "", std::string(tail, '~').c_str());
}

bool Parse_Keys(std::FILE* errors, std::string_view set, unsigned& keys)
{
    keys = 0;
    for (std::size_t i = 0; i < set.size(); ++i) {
        int input = 0;
        while (input < STEP_INPUTS && set[i] != Script_Byte(input)) {
            ++input;
        }
        if (input == STEP_INPUTS) {
            Print_Expression_Error(errors, "--keys", set,
                                   {i, 1, "keys are '.' for no key and a to f"});
            return false;
        }
        keys |= 1U << input;
    }
    if (keys == 0) {
        Print_Expression_Error(errors, "--keys", set, {0, 0, "no key at all: '.' is no key"});
        return false;
    }
    return true;
}

namespace
{

// The bytes of a piece of evidence as a script file has them.
std::string Script_Of(const std::string& script, const std::string& loop, bool lasso)
{
    constexpr int LOOPS_WRITTEN = 3; // so that a replay shows the loop repeating
    std::string bytes = script;
    for (int i = 0; lasso && i < LOOPS_WRITTEN; ++i) {
        bytes += loop;
    }
    return bytes;
}

std::string Script_Of(const Temporal_Evidence& evidence)
{
    return Script_Of(evidence.script, evidence.loop, evidence.lasso);
}

// Each nested operator's script after the scripts to where its parents end,
// outermost first.
void Add_Chains(std::vector<std::string>& scripts, const std::string& before,
                const std::vector<Ctl_Evidence>& nested)
{
    for (const Ctl_Evidence& inner : nested) {
        if (inner.shown) {
            scripts.push_back(before + Script_Of(inner.script, inner.loop, inner.lasso));
            Add_Chains(scripts, before + inner.script, inner.nested);
        }
    }
}

// The nested operators' evidence that a script shows, as a JSON array.
std::string Nested_Json(const std::vector<Ctl_Evidence>& nested)
{
    std::string json = "[";
    for (const Ctl_Evidence& inner : nested) {
        if (!inner.shown) {
            continue;
        }
        json.append(json.size() == 1 ? "{" : ",{")
            .append("\"operator\":")
            .append(Json_String(inner.operator_name))
            .append(",\"role\":")
            .append(Json_String(inner.role))
            .append(",\"script\":")
            .append(Json_String(inner.script))
            .append(",\"loop\":")
            .append(inner.lasso ? Json_String(inner.loop) : "null")
            .append(",\"nested\":")
            .append(Nested_Json(inner.nested))
            .append("}");
    }
    return json.append("]");
}

} // namespace

void Print_Json(std::FILE* out, const Question& question, const Verdict& verdict)
{
    // Appended, never "literal" + std::string: g++ 12 at -O3 takes that for
    // an overlapping copy (-Wrestrict), a known false positive.
    std::string line = "{\"query\":";
    line.append(Json_String(Form_Of(question.query).name))
        .append(",\"condition\":")
        .append(Json_String(question.condition))
        .append(",\"verdict\":")
        .append(Json_String(verdict.verdict))
        .append(",\"fewest\":")
        .append(verdict.fewest_shown ? std::to_string(verdict.fewest) : "null")
        .append(",\"most\":")
        .append(verdict.most_shown ? std::to_string(verdict.most) : "null")
        .append(",\"evidence\":[");
    for (std::size_t i = 0; i < verdict.evidence.size(); ++i) {
        const Temporal_Evidence& evidence = verdict.evidence[i];
        line.append(i == 0 ? "{" : ",{")
            .append("\"role\":")
            .append(Json_String(evidence.role))
            .append(",\"script\":")
            .append(Json_String(evidence.script))
            .append(",\"loop\":")
            .append(evidence.lasso ? Json_String(evidence.loop) : "null")
            .append(",\"at\":")
            .append(verdict.at_shown ? std::to_string(evidence.at) : "null");
        if (question.query == Query::CTL) {
            line.append(",\"nested\":").append(Nested_Json(evidence.nested));
        }
        line.append("}");
    }
    line.append("]}\n");
    std::fputs(line.c_str(), out);
}

namespace
{

// The question as asked, and the keys its scripts press when not all.
void Print_Heading(std::FILE* out, const Question& question, const char* indent)
{
    std::fprintf(out, "%s %s\n", Form_Of(question.query).name, Shown(question.condition).c_str());
    const unsigned keys = question.temporal.keys;
    if (Form_Of(question.query).over_time && keys != ALL_STEP_INPUTS) {
        std::string set;
        for (int input = 0; input < STEP_INPUTS; ++input) {
            set += (keys >> input & 1U) != 0 ? std::string(1, Script_Byte(input)) : "";
        }
        std::fprintf(out, "%s  pressing only %s\n", indent, set.c_str());
    }
}

} // namespace

void Print_Property(std::FILE* out, int fd, const Question& question, const Verdict& verdict,
                    const Exploration& exploration, const char* indent)
{
    Print_Heading(out, question, indent);
    const bool always = question.query == Query::ALWAYS;
    if (verdict.evidence.empty()) {
        std::fputs(always ? "  holds on every trace line of every key script\n"
                          : "  not met: no key script reaches such a trace line\n",
                   out);
        return;
    }
    const std::string& script = verdict.evidence[0].script;
    std::fprintf(out, "%s  %s after %zu %s: %s\n", indent, always ? "fails" : "met", script.size(),
                 Ticks(script.size()), Readable_Script(script).c_str());
    Print_Last_Line(out, fd, exploration, script);
}

void Print_Over_Time(std::FILE* out, int /*fd*/, const Question& question, const Verdict& verdict,
                     const Exploration& /*exploration*/, const char* indent)
{
    Print_Heading(out, question, indent);
    const bool leads_to = question.query == Query::LEADS_TO;
    const bool forever = question.query == Query::FOREVER;
    for (const Temporal_Evidence& evidence : verdict.evidence) {
        const std::string script = Readable_Script(evidence.script);
        const std::string at =
            leads_to ? std::string(", from the P line at tick ").append(std::to_string(evidence.at))
                     : "";
        if (evidence.lasso) {
            const char* what = forever     ? "met: every line satisfies it, round and round"
                               : !leads_to ? "fails: no line satisfies it, round and round"
                                           : "fails: no later line satisfies Q, round and round";
            std::fprintf(out, "%s  %s%s: %s%s(%s)\n", indent, what, at.c_str(), script.c_str(),
                         script.empty() ? "" : " ", Readable_Script(evidence.loop).c_str());
            continue;
        }
        const bool fewest = std::string_view(evidence.role) == "fewest";
        const long ticks = fewest ? verdict.fewest : verdict.most;
        if (forever && ticks == 0) {
            std::fprintf(out, "%s  not met: it fails on tick 1 already\n", indent);
            continue;
        }
        if (forever) {
            std::fprintf(out, "%s  not met: it holds at most %ld %s in a row from tick 1: %s\n",
                         indent, ticks, Ticks(static_cast<std::size_t>(ticks)), script.c_str());
            continue;
        }
        std::fprintf(out, "%s  %s %s %ld %s%s: %s\n", indent, fewest ? verdict.verdict : "     ",
                     fewest ? "fewest" : "most  ", ticks, Ticks(static_cast<std::size_t>(ticks)),
                     at.c_str(), script.c_str());
    }
    if (leads_to && verdict.evidence.empty()) {
        std::fprintf(out, "%s  holds: no never-ending script has a P line\n", indent);
    }
    if (!verdict.good && verdict.evidence.size() == 2) {
        std::fprintf(out, "%s  fails: more than the %ld %s allowed\n", indent, question.max_ticks,
                     Ticks(static_cast<std::size_t>(question.max_ticks)));
    }
}

namespace
{

// The operators nested inside a piece of evidence, each a line under its
// parent and its own nested ones under it; `before` is the script to where
// the parent ends, from which each continues.
void Print_Nested(std::FILE* out, int fd, const Exploration& exploration,
                  const std::vector<Ctl_Evidence>& nested, const std::string& before,
                  const std::string& indent)
{
    for (const Ctl_Evidence& inner : nested) {
        const bool holds = std::string_view(inner.role) == "witness";
        const char* name = inner.operator_name.c_str();
        const char* verdict = holds ? "holds" : "fails";
        const std::string chain = before + inner.script;
        const std::string script = Readable_Script(inner.script);
        if (!inner.shown) {
            std::fprintf(out, "%sthen %s %s (on %s continuation: no script shows it)\n",
                         indent.c_str(), name, verdict, holds ? "every" : "no");
        } else if (inner.lasso) {
            std::fprintf(out, "%sthen %s %s from tick %zu, round and round: %s%s(%s)\n",
                         indent.c_str(), name, verdict, before.size(), script.c_str(),
                         script.empty() ? "" : " ", Readable_Script(inner.loop).c_str());
        } else if (inner.script.empty()) {
            std::fprintf(out, "%sthen %s %s on tick %zu itself\n", indent.c_str(), name, verdict,
                         before.size());
        } else {
            std::string lead = indent;
            lead.append("then ").append(name).append(" ").append(verdict).append(": after ");
            lead.append(script).append(", ");
            Print_Last_Line(out, fd, exploration, chain, lead.c_str());
        }
        Print_Nested(out, fd, exploration, inner.nested, chain, indent + "  ");
    }
}

} // namespace

void Print_Ctl(std::FILE* out, int fd, const Question& question, const Verdict& verdict,
               const Exploration& exploration, const char* indent)
{
    Print_Heading(out, question, indent);
    if (verdict.evidence.empty()) {
        const char* why = verdict.outermost.empty()
                              ? "its outermost operator is not temporal: no script shows it"
                          : verdict.good ? "on every continuation: no script shows it"
                                         : "on no continuation: no script shows it";
        std::fprintf(out, "%s  %s (%s)\n", indent, verdict.verdict, why);
        return;
    }
    const Temporal_Evidence& evidence = verdict.evidence[0];
    const std::string script = Readable_Script(evidence.script);
    const char* what = verdict.good ? "a witness for" : "a counterexample to";
    if (evidence.lasso) {
        std::fprintf(out, "%s  %s: %s %s, round and round: %s%s(%s)\n", indent, verdict.verdict,
                     what, verdict.outermost.c_str(), script.c_str(), script.empty() ? "" : " ",
                     Readable_Script(evidence.loop).c_str());
    } else if (evidence.script.empty()) {
        std::fprintf(out, "%s  %s: %s %s at tick 0, start-up\n", indent, verdict.verdict, what,
                     verdict.outermost.c_str());
    } else {
        std::fprintf(out, "%s  %s: %s %s, after %zu %s: %s\n", indent, verdict.verdict, what,
                     verdict.outermost.c_str(), evidence.script.size(),
                     Ticks(evidence.script.size()), script.c_str());
        Print_Last_Line(out, fd, exploration, evidence.script);
    }
    Print_Nested(out, fd, exploration, evidence.nested, evidence.script,
                 std::string(indent) + "    ");
}

bool Print_Answers(std::FILE* out, int fd, const std::vector<Question>& questions,
                   const Exploration& exploration, bool json, std::vector<std::string>& scripts)
{
    bool all = true;
    for (const Question& question : questions) {
        const Query_Form& form = Form_Of(question.query);
        const Verdict verdict = form.judge(question, exploration);
        all = all && verdict.good;
        if (json) {
            form.json(out, question, verdict);
        } else {
            form.print(out, fd, question, verdict, exploration, "");
        }
        for (const Temporal_Evidence& evidence : verdict.evidence) {
            scripts.push_back(Script_Of(evidence));
            Add_Chains(scripts, evidence.script, evidence.nested);
        }
    }
    return all;
}

const std::vector<Builtin_Temporal>& Builtin_Temporal_Properties()
{
    constexpr unsigned NO_KEY_ONLY = 1U; // INPUTS[0]
    constexpr long ONE_TICK = 1;
    static const std::vector<Builtin_Temporal> builtins = {
        {"every started cooking ends, whatever is pressed", "start --> not start", ALL_STEP_INPUTS,
         -1},
        {"with no key pressed, the buzzer follows every start", "start --> buzzer", NO_KEY_ONLY,
         -1},
        {"the back light follows a start within one tick", "start --> light", ALL_STEP_INPUTS,
         ONE_TICK},
    };
    return builtins;
}

bool Print_Default_Report(std::FILE* out, int fd, const Exploration& exploration,
                          const std::vector<Question>& temporal, std::string& first_script)
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

    std::fputs("\nOver time, on never-ending scripts:\n", out);
    const std::vector<Builtin_Temporal>& builtins_over_time = Builtin_Temporal_Properties();
    for (std::size_t i = 0; i < temporal.size(); ++i) {
        const Query_Form& form = Form_Of(temporal[i].query);
        const Verdict verdict = form.judge(temporal[i], exploration);
        all = all && verdict.good;
        std::fprintf(out, "  %-6s %s\n", verdict.good ? "holds" : "FAILS",
                     builtins_over_time[i].description.c_str());
        std::fputs("         ", out);
        form.print(out, fd, temporal[i], verdict, exploration, "       ");
        if (first_script.empty() && !verdict.good && !verdict.evidence.empty()) {
            first_script = Script_Of(verdict.evidence[0]);
        }
    }
    return all;
}

namespace
{

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
