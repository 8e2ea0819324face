// --values: a breadth-first search over the explored graph that keeps, for
// each value met on a line where the condition holds, the first script.
#include "check/values.h"

#include <cassert>
#include <cctype>
#include <limits>
#include <map>
#include <string_view>

#include "check/outputs/answers.h"
#include "check/outputs/scripts.h"
#include "replay/shown.h"
#include "replay/trace.h"

namespace
{

using enum Expression::Kind;

constexpr std::string_view WHERE = "where";
constexpr std::string_view ANY_LINE = "true"; // the condition when no where is given
constexpr std::uint32_t UNSEEN = std::numeric_limits<std::uint32_t>::max();

// Where the word `where` stands in `text` from `from` on, outside quotes;
// npos when it does not.
std::size_t Where_Word(std::string_view text, std::size_t from = 0)
{
    const auto in_word = [&text](std::size_t i) {
        const auto c = static_cast<unsigned char>(text[i]);
        return std::isalnum(c) != 0 || c == '_' || c == '.';
    };
    char quote = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (quote != 0 || text[i] == '"' || text[i] == '\'') {
            quote = quote == 0 ? text[i] : text[i] == quote ? char{0} : quote;
            continue;
        }
        const std::size_t end = i + WHERE.size();
        if (text.substr(i, WHERE.size()) == WHERE && (i == 0 || !in_word(i - 1)) &&
            (end == text.size() || !in_word(end))) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The value as the trace line writes it: a lone field as that field is
// written, a condition as true or false, any other number as conditions
// write numbers.
std::string Value_Text(const Expression& value, double number)
{
    const Expression::Node& root = value.nodes[static_cast<std::size_t>(value.root)];
    if (value.nodes.size() == 1 && (root.kind == FIELD || root.kind == BEFORE)) {
        char text[64];
        const int written =
            Trace_Value_Text(text, sizeof text, static_cast<std::size_t>(root.value), number);
        assert(written > 0 && static_cast<std::size_t>(written) < sizeof text);
        return std::string(text, static_cast<std::size_t>(written));
    }
    if (root.kind >= NOT && root.kind <= GE) {
        return number != 0 ? "true" : "false";
    }
    return Condition_Number(number);
}

// Whether the value is the field `state` or before.state, whose numbers
// are named in the text.
bool Names_A_State(const Expression& value)
{
    const Expression::Node& root = value.nodes[static_cast<std::size_t>(value.root)];
    return value.nodes.size() == 1 && (root.kind == FIELD || root.kind == BEFORE) &&
           TRACE_FIELDS[static_cast<std::size_t>(root.value)].type == Field_Type::STATE;
}

} // namespace

bool Parse_Values_Question(Question& question, unsigned keys, Expression_Error& error)
{
    const std::string_view text = question.condition;
    const std::size_t where = Where_Word(text);
    question.temporal.keys = keys;
    if (!Parse_Value(text.substr(0, where), question.value, error)) {
        return false;
    }
    if (where == std::string_view::npos) {
        const bool parsed = Parse_Expression(ANY_LINE, question.temporal.condition, error);
        assert(parsed);
        return parsed;
    }
    const std::size_t after = where + WHERE.size();
    const std::size_t again = Where_Word(text, after);
    if (again != std::string_view::npos) {
        error = {again, WHERE.size(), "a question has one 'where'"};
        return false;
    }
    if (!Parse_Expression(text.substr(after), question.temporal.condition, error)) {
        error.offset += after;
        return false;
    }
    return true;
}

// Breadth first over the configurations on the keys allowed: each line of
// a tick from a configuration at depth d is d + 1 ticks from start-up, so
// the first line met with a value is at the end of a shortest script to
// it. q's lines count when every key may be pressed, as q may end any
// script.
Verdict Judge_Values(const Question& question, const Exploration& exploration)
{
    const unsigned keys = question.temporal.keys;
    const bool before_kept = !exploration.before_of.empty();
    const std::size_t count = exploration.parent.size();
    std::vector<std::uint32_t> way_in(count, UNSEEN); // the edge into each, as met
    std::vector<std::uint32_t> queue{0};
    way_in[0] = UNSEEN - 1;
    const auto script_to = [&](std::uint32_t c, char last) {
        std::string script(1, last);
        for (; way_in[c] != UNSEEN - 1; c = Source_Of(way_in[c])) {
            script.push_back(Script_Byte(Input_Of(way_in[c])));
        }
        return std::string(script.rbegin(), script.rend());
    };
    std::map<double, std::string> found;
    const auto look = [&](std::uint32_t c, std::uint32_t line_index, char byte) {
        const Trace_Line& line = exploration.lines[line_index];
        const Trace_Line& before =
            before_kept ? exploration.before_lines[exploration.before_of[c]] : line;
        if (Evaluate(question.temporal.condition, line, before)) {
            const double value = Evaluate_Value(question.value, line, before);
            if (const auto [at, added] = found.try_emplace(value); added) {
                at->second = script_to(c, byte);
            }
        }
    };
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const std::uint32_t c = queue[i];
        for (int input = 0; input < STEP_INPUTS; ++input) {
            if ((keys >> input & 1U) == 0) {
                continue;
            }
            const std::size_t edge = Edge(c, input);
            look(c, exploration.line_of[edge], Script_Byte(input));
            const std::uint32_t to = exploration.next[edge];
            if (way_in[to] == UNSEEN) {
                way_in[to] = static_cast<std::uint32_t>(edge);
                queue.push_back(to);
            }
        }
        if (keys == ALL_STEP_INPUTS) {
            look(c, exploration.quit_line_of[c], KEY_QUIT);
        }
    }
    Verdict verdict;
    verdict.good = true;
    verdict.verdict = "listed";
    for (auto& [value, script] : found) {
        verdict.values.push_back(Value_Text(question.value, value));
        verdict.evidence.push_back({"witness", std::move(script), "", false, 0, {}});
    }
    return verdict;
}

void Print_Values(std::FILE* out, int /*fd*/, const Question& question, const Verdict& verdict,
                  const Exploration& /*exploration*/, const char* indent)
{
    Print_Heading(out, question, indent, true); // --keys applies to its scripts
    const bool states = Names_A_State(question.value);
    for (std::size_t i = 0; i < verdict.values.size(); ++i) {
        const std::string& script = verdict.evidence[i].script;
        const std::string name =
            states ? std::string(" (") + State_Name(std::stoi(verdict.values[i])) + ")" : "";
        std::fprintf(out, "%s  %s%s after %zu %s: %s\n", indent, verdict.values[i].c_str(),
                     name.c_str(), script.size(), Ticks(script.size()),
                     Readable_Script(script).c_str());
    }
    if (verdict.values.empty()) {
        std::fprintf(out, "%s  none: no key script reaches a line where the condition holds\n",
                     indent);
    } else {
        std::fprintf(out, "%s  %zu %s\n", indent, verdict.values.size(),
                     verdict.values.size() == 1 ? "value" : "values");
    }
}

void Print_Values_Json(std::FILE* out, const Question& question, const Verdict& verdict)
{
    std::string line = "{\"query\":\"values\",\"condition\":";
    line.append(Json_String(question.condition)).append(",\"values\":[");
    for (std::size_t i = 0; i < verdict.values.size(); ++i) {
        line.append(i == 0 ? "{" : ",{")
            .append("\"value\":")
            .append(verdict.values[i])
            .append(",\"script\":")
            .append(Json_String(verdict.evidence[i].script))
            .append("}");
    }
    line.append("]}\n");
    std::fputs(line.c_str(), out);
}
