// Each question's answer, as text or as JSON, and the scripts it shows.
#include <string_view>

#include "check/outputs/answers.h"

#include "check/outputs/scripts.h"
#include "replay/shown.h"

namespace
{

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
        if (Form_Of(question.query).meaning.nested_shown) {
            line.append(",\"nested\":").append(Nested_Json(evidence.nested));
        }
        line.append("}");
    }
    line.append("]}\n");
    std::fputs(line.c_str(), out);
}

void Print_Heading(std::FILE* out, const Question& question, const char* indent, bool keys_apply)
{
    std::fprintf(out, "%s %s\n", Form_Of(question.query).name, Shown(question.condition).c_str());
    const unsigned keys = question.temporal.keys;
    if ((keys_apply || Form_Of(question.query).over_time) && keys != ALL_STEP_INPUTS) {
        std::string set;
        for (int input = 0; input < STEP_INPUTS; ++input) {
            set += (keys >> input & 1U) != 0 ? std::string(1, Script_Byte(input)) : "";
        }
        std::fprintf(out, "%s  pressing only %s\n", indent, set.c_str());
    }
}

void Print_Property(std::FILE* out, int fd, const Question& question, const Verdict& verdict,
                    const Exploration& exploration, const char* indent)
{
    Print_Heading(out, question, indent);
    const bool always = Form_Of(question.query).meaning.universal;
    if (verdict.evidence.empty()) {
        std::fputs(always ? "  holds on every trace line of every key script\n"
                          : "  not met: no key script reaches such a trace line\n",
                   out);
        return;
    }
    const std::string& script = verdict.evidence[0].script;
    std::fprintf(out, "%s  %s after %zu %s: %s\n", indent, verdict.verdict, script.size(),
                 Ticks(script.size()), Readable_Script(script).c_str());
    Print_Last_Line(out, fd, exploration, script);
}

void Print_Over_Time(std::FILE* out, int /*fd*/, const Question& question, const Verdict& verdict,
                     const Exploration& /*exploration*/, const char* indent)
{
    Print_Heading(out, question, indent);
    const bool leads_to = Form_Of(question.query).meaning.at_shown;
    const bool forever = !Form_Of(question.query).meaning.universal;
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
