#include "conform/report.h"

#include <string_view>

#include "check/outputs/scripts.h"
#include "replay/shown.h"

namespace
{

// A test's script as a person reads it, with the q that ends it.
std::string With_Q(const std::string& script)
{
    return script.empty() ? "q" : Readable_Script(script) + " q";
}

// A frame's lines, each shown safely and indented, then the newlines that
// end it counted rather than drawn.
void Print_Frame(std::FILE* out, const char* heading, std::string_view frame)
{
    std::size_t end = frame.size();
    while (end > 0 && frame[end - 1] == '\n') {
        --end;
    }
    if (frame.empty()) {
        std::fprintf(out, "  %s nothing\n", heading);
        return;
    }
    std::fprintf(out, "  %s\n", heading);
    for (std::size_t from = 0; from < end;) {
        const std::size_t newline = frame.find('\n', from);
        const std::size_t to = newline == std::string_view::npos || newline > end ? end : newline;
        std::fprintf(out, "    %s\n", Shown(frame.substr(from, to - from)).c_str());
        from = to + 1;
    }
    const std::size_t newlines = frame.size() - end;
    std::fprintf(out, "    (then %zu newline%s)\n", newlines, newlines == 1 ? "" : "s");
}

} // namespace

void Print_Suite(std::FILE* out, const Suite& suite)
{
    for (std::size_t i = 0; i < suite.tests.size(); ++i) {
        const Conformance_Test& test = suite.tests[i];
        std::fprintf(out, "%4zu  %s (%zu %s): %s\n", i + 1, test.why.c_str(),
                     test.script.size() + 1, Ticks(test.script.size() + 1),
                     With_Q(test.script).c_str());
    }
    for (const std::string& why : suite.unmet) {
        std::fprintf(out, "      not met by any key script: %s\n", why.c_str());
    }
    const std::size_t ticks = Suite_Ticks(suite.tests);
    constexpr std::size_t TICKS_PER_SECOND = 10;
    std::fprintf(out, "%zu %s, %zu %s (%zu s at the oven's speed, one test at a time)\n",
                 suite.tests.size(), suite.tests.size() == 1 ? "test" : "tests", ticks,
                 Ticks(ticks), ticks / TICKS_PER_SECOND);
}

void Print_Verdict(std::FILE* out, const Suite& suite, const std::vector<Failure>& failures)
{
    // The first failure in full, the others a line each: a teacher reads
    // the first, and sees how many more.
    for (std::size_t i = 0; i < failures.size(); ++i) {
        const Failure& failure = failures[i];
        const Conformance_Test& test = suite.tests[failure.test];
        const std::string script = With_Q(failure.script);
        if (i > 0) {
            std::fprintf(out, "FAILS  test %zu, %s: %s: %s\n", failure.test + 1, test.why.c_str(),
                         failure.outcome.why.c_str(), script.c_str());
            continue;
        }
        std::fprintf(out, "FAILS  test %zu, %s\n  %s\n", failure.test + 1, test.why.c_str(),
                     failure.outcome.why.c_str());
        std::fprintf(out, "  %s %zu %s: %s\n", failure.shortened ? "shortened to" : "the script,",
                     failure.script.size() + 1, Ticks(failure.script.size() + 1), script.c_str());
        if (failure.outcome.tick > 0) {
            std::fprintf(out, "  at tick %zu\n", failure.outcome.tick);
            Print_Frame(out, "expected:", failure.outcome.expected);
            Print_Frame(out, "got:", failure.outcome.got);
        }
    }
    if (failures.empty()) {
        std::fprintf(out, "passes: %zu tests, %zu ticks\n", suite.tests.size(),
                     Suite_Ticks(suite.tests));
    } else {
        std::fprintf(out, "fails: %zu of %zu tests\n", failures.size(), suite.tests.size());
    }
}

void Print_Verdict_Json(std::FILE* out, const Suite& suite, const std::vector<Failure>& failures)
{
    std::string line = "{\"query\":\"conform\",\"verdict\":";
    line.append(failures.empty() ? "\"passes\"" : "\"fails\"")
        .append(",\"tests\":")
        .append(std::to_string(suite.tests.size()))
        .append(",\"ticks\":")
        .append(std::to_string(Suite_Ticks(suite.tests)))
        .append(",\"evidence\":[");
    for (std::size_t i = 0; i < failures.size(); ++i) {
        const Failure& failure = failures[i];
        line.append(i == 0 ? "" : ",")
            .append("{\"role\":\"counterexample\",\"script\":")
            .append(Json_String(failure.script + "q"))
            .append(",\"tick\":")
            .append(failure.outcome.tick > 0 ? std::to_string(failure.outcome.tick) : "null")
            .append(",\"expected\":")
            .append(Json_String(failure.outcome.expected))
            .append(",\"got\":")
            .append(Json_String(failure.outcome.got))
            .append(",\"why\":")
            .append(Json_String(failure.outcome.why))
            .append("}");
    }
    line.append("]}\n");
    std::fputs(line.c_str(), out);
}
