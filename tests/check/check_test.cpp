// mwc-check, the real program: its evidence replayed by mwc-replay, its
// expression errors, and the README's diagram against its graph.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "run_tool.h"

namespace
{

constexpr std::size_t QUOTED_SIZE = 40; // of a condition, in the message's line

} // namespace

TEST(Check, EvidenceIsAShortestScriptThatMwcReplayReplaysToTheLine)
{
    // Each shortest script worked out by hand.
    const struct {
        const char* option;
        const char* condition;
        int status;
        std::string script;
        const char* shows; // on the script's last trace line
    } cases[] = {
        // By temperature, a target, start: heating from the 6th tick.
        {"--reach", "state = Temp_Cooking", 0, "c.a.e.", "\"state_name\":\"Temp_Cooking\""},
        // 600 s takes twenty b's, each followed by the tick that drops a key.
        {"--always", "time < 600", 1, "b.b.b.b.b.b.b.b.b.b.b.b.b.b.b.b.b.b.b.b", "\"time\":600"},
        // The shortest cooking heats to 30 degrees: 30 steps from the 6th tick.
        {"--always", "state != Finished", 1, Script({"c.a.e", std::string(31, '.')}),
         "\"state\":9"},
        // The door opens with f, but never while cooking.
        {"--reach", "door and light and state = Wait_Input", 0, "f", "\"door\":true"},
    };
    char path[] = "/tmp/mwc-check-script-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    for (const auto& row : cases) {
        const Mwc_Run check =
            Run_Tool(MWC_CHECK_PATH, {row.option, row.condition, "--script", path});
        EXPECT_EQ(Exit_Status(check), row.status) << row.condition << check.errors;
        const std::string script = Read_File(path);
        EXPECT_EQ(script, row.script) << row.condition;

        const Mwc_Run replay = Run_Tool(MWC_REPLAY_PATH, {"--trace", path});
        const std::string last = Line(replay.output, script.size());
        EXPECT_NE(last.find(row.shows), std::string::npos) << row.condition << ": " << last;
        EXPECT_NE(check.output.find(Script({"tick ", std::to_string(script.size()), ": ", last})),
                  std::string::npos)
            << "the check shows the same line:\n"
            << check.output;
    }

    // Of several, the first evidence shown is the one written; each
    // --script more takes the next, and one too many is left as it was.
    const std::string more[] = {std::string(path) + ".fewest", std::string(path) + ".most",
                                std::string(path) + ".none"};
    const Mwc_Run two = Run_Tool(
        MWC_CHECK_PATH, {"--reach", "door", "--leads-to", "start --> not start", "--script", path,
                         "--script", more[0], "--script", more[1], "--script", more[2]});
    EXPECT_EQ(Exit_Status(two), 0);
    EXPECT_EQ(Read_File(path), "f");
    EXPECT_EQ(Read_File(more[0]), "a.e.e") << "the leads-to's fewest";
    EXPECT_EQ(Read_File(more[1]).size(), 6043U) << "its most: to the P line, then 6002 ticks";
    EXPECT_NE(two.errors.find("no evidence script to write; '" + more[2] + "' left as it was"),
              std::string::npos)
        << two.errors;
    EXPECT_NE(access(more[2].c_str(), F_OK), 0);
    unlink(path);
    unlink(more[0].c_str());
    unlink(more[1].c_str());
}

// `levels` parentheses around door, and as many nots before it.
std::string Parenthesised(std::size_t levels)
{
    return std::string(levels, '(') + "door" + std::string(levels, ')');
}
std::string Negated(std::size_t levels)
{
    std::string nots;
    for (std::size_t i = 0; i < levels; ++i) {
        nots += "not ";
    }
    return nots + "door";
}
constexpr std::size_t MAX_NESTING = 100;

// `part` `times` times, with `between` between them.
std::string Repeated(const std::string& part, const std::string& between, std::size_t times)
{
    std::string text = part;
    for (std::size_t i = 1; i < times; ++i) {
        text += between + part;
    }
    return text;
}

TEST(Check, BadConditionsSayWhatAndWhere)
{
    const std::string deep_parentheses = Parenthesised(10000);
    const std::string deep_nots = Negated(5000);
    const std::string just_too_deep[] = {Parenthesised(MAX_NESTING + 1), Negated(MAX_NESTING + 1)};
    std::string deep_implies = "door";
    for (int i = 0; i < 5000; ++i) {
        deep_implies += " implies door";
    }
    std::string deep_ags;
    std::string many_ags = "AG door";
    std::string just_too_many_ags = "AG door"; // one more than the limit
    for (int i = 0; i < 10000; ++i) {
        deep_ags += "AG ";
        many_ags += i < 200 ? " and AG door" : "";
        just_too_many_ags += i < 100 ? " and AG door" : "";
    }
    deep_ags += "door";
    const struct {
        const char* condition;
        const char* message;
        std::size_t column;              // of the mark under the condition
        const char* option = "--always"; // that gives it
        const char* shown = nullptr;     // the condition as the message shows it, if not as is
    } cases[] = {
        {"dor and start", "unknown name", 0},
        {"time <", "a value is missing at the end", 6},
        {"(time < 3", "this '(' is never closed", 0},
        {"time < 3)", "')' without its '('", 8},
        {"state = Cooking", "no state is named so", 8},
        {"state = 12", "no state has this number", 8},
        {"time and door", "a number is not a condition", 0},
        {"not not", "a value is missing at the end", 7},
        {"key < 'a'", "keys are equal or not, never ordered", 4},
        {"1 < time < 3", "comparisons do not chain", 9},
        {"door + 1 = 2", "only numbers are added or taken away, not a condition", 0},
        {"time = 1 - 'a'", "only numbers are added or taken away, not a key", 11},
        {"- time = 1", "a minus sign goes between two values, or before a number", 0},
        {"time = 1 +", "a value is missing at the end", 10},
        {"Door", "fields are written in lower case, as door", 0},
        {"key = a", "a key is written in single quotes, as 'a'", 6},
        {"key = \"e\"", "a key is written in single quotes, as 'e'", 6},
        {"state_name = \"Cooking\"", "no state is named so", 13},
        {"tick > 3", "tick is not for conditions", 0},
        {"char = 'a'", "char is not for conditions: the key is, as key = 'a'", 0},
        // Deep nesting stops at the limit, and not a level later; the mark is
        // in the cut shown.
        {deep_parentheses.c_str(), "nested too deep", 33},
        {deep_nots.c_str(), "nested too deep", 33},
        {just_too_deep[0].c_str(), "nested too deep: at most 100 levels", 33},
        {just_too_deep[1].c_str(), "nested too deep: at most 100 levels", 67},
        {deep_implies.c_str(), "nested too deep", 33},
        // Over time: either side of the arrow, and the keys.
        {"start", "a leads-to is written P --> Q", 5, "--leads-to"},
        {"start --> Door", "fields are written in lower case", 10, "--leads-to"},
        {"start --> door --> light", "a leads-to has one '-->'", 15, "--leads-to"},
        {"not --> door", "a value is missing at the end", 4, "--leads-to"},
        {".aq", "keys are '.' for no key and a to f", 2, "--keys"},
        // Formulas, and what only they may hold.
        {"AG door", "AG is a temporal operator: it is for --ctl", 0},
        {"AG (door", "this '(' is never closed", 3, "--ctl"},
        {"A[ door door ]", "expected 'U' here", 8, "--ctl"},
        {"A[ door U start", "this '[' is never closed", 1, "--ctl"},
        {"E door", "E is written E[ F U G ]", 0, "--ctl"},
        {"door U start", "expected 'and', 'or', 'implies' or the end here", 5, "--ctl"},
        {"EF before.tick > 1", "before. reads a field of the oven as the tick found it", 3,
         "--ctl"},
        {"before.buzzer", "before. reads a field of the oven", 0, "--reach"},
        {deep_ags.c_str(), "nested too deep", 33, "--ctl"},
        {many_ags.c_str(), "at most 100 temporal operators in one formula", 33, "--ctl"},
        {just_too_many_ags.c_str(), "at most 100 temporal operators in one formula", 68, "--ctl"},
        // Bytes that a terminal would act on, or that are no UTF-8, are shown
        // escaped, with the mark under what the terminal shows.
        {"door \x1b]0;title\x07 and", "'\\x1B' is not part of a condition", 5, "--always",
         "door \\x1B]0;title\\x07 and"},
        {"door or\tdor", "unknown name", 11, "--reach", "door or\\x09dor"},
        {"door and \xc3\xa9", "'\xc3\xa9' is not part of a condition", 9},
        {"\xc3\xa9 or dor", "'\xc3\xa9' is not part of a condition", 0},
        {"AG \xff", "'\\xFF' is not part of a condition", 3, "--ctl", "AG \\xFF"},
        {"start --> \x9b", "'\\x9B' is not part of a condition", 10, "--leads-to",
         "start --> \\x9B"},
        {"a\xc2\x9b", "keys are '.' for no key and a to f", 1, "--keys", "a\\xC2\\x9B"},
    };
    for (const auto& row : cases) {
        const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, {row.option, row.condition});
        EXPECT_EQ(Exit_Status(run), 2) << row.condition;
        EXPECT_EQ(run.output, "") << row.condition;
        const std::string condition = row.shown != nullptr ? row.shown : row.condition;
        const std::string quoted = condition.size() <= QUOTED_SIZE
                                       ? std::string(row.option) + " '" + condition + "': "
                                       : "...': ";
        EXPECT_NE(run.errors.find(quoted + row.message), std::string::npos) << run.errors;
        EXPECT_EQ(Line(run.errors, 3).find('^'), row.column + 2) << run.errors;
        EXPECT_EQ(run.errors.find_first_of("\x07\x1b\xff"), std::string::npos) << run.errors;
    }
}

TEST(Check, TheReadmesControllerDiagramIsTheGraphFound)
{
    const std::string readme = Read_File(README_PATH);
    const std::string heading = "### Controller\n\n```mermaid\n";
    const std::size_t begin = readme.find(heading);
    ASSERT_NE(begin, std::string::npos) << "no controller diagram in the README";
    const std::size_t body = begin + heading.size();
    const std::string diagram = readme.substr(body, readme.find("```", body) - body);

    const Mwc_Run graph = Run_Tool(MWC_CHECK_PATH, {"--graph"});
    ASSERT_EQ(Exit_Status(graph), 0);
    EXPECT_EQ(diagram, graph.output) << "make it anew: mwc-check --graph";
}

TEST(Check, UsageAndExitStatuses)
{
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* error; // found on standard error; "" for none at all
    } cases[] = {
        {{"--help"}, 0, ""},
        {{"--version"}, 0, ""},
        {{"--graph=svg"}, 2, "--graph is mermaid, dot or json, not 'svg'"},
        {{"--graph=json"}, 0, ""},
        {{"extra"}, 2, "extra operand 'extra'"},
        {{"--bogus"}, 2, "unrecognized option '--bogus'"},
        {{"--max-configurations", "0"}, 2, "--max-configurations is a number from 1"},
        {{"--max-configurations", "12x"}, 2, "not '12x'"},
        // Stopped early: no answer, and a status of its own.
        {{"--max-configurations", "1000", "--reach", "door"},
         3,
         "stopped at the limit of 1000 configurations"},
        {{"--max-configurations", "1000"}, 3, "still growing in the second half: "},
        // The tables index configurations with 32 bits, and half of them.
        {{"--max-configurations", "2147483648"}, 2, "a number from 1 to 2147483647, not"},
        {{"--max-configurations", "3000000000"}, 2, "a number from 1 to 2147483647, not"},
        {{"--max-configurations", "2147483647", "--reach", "door"}, 0, ""},
        // Exactly as many as there are is enough; one fewer is not.
        {{"--max-configurations", "161718", "--reach", "door"}, 0, ""},
        {{"--max-configurations", "161717", "--reach", "door"}, 3, "stopped at the limit"},
        // As many temporal operators as a formula may hold.
        {{"--ctl", Repeated("EF door", " and ", 100)}, 0, ""},
        // Right to left: door implies (start implies buzzer), and door and
        // start are never both true. Left to right it fails at tick 1.
        {{"--always", "door implies start implies buzzer"}, 0, ""},
        // As deep as conditions may be; a question that fails fails the
        // graph drawn with it too.
        {{"--reach", Parenthesised(MAX_NESTING), "--reach", Negated(MAX_NESTING)}, 0, ""},
        {{"--graph", "--always", "door"}, 1, ""},
        // Standard output holds one thing, standard input one.
        {{"--save", "-", "--always", "door"}, 2, "--save - writes on standard output"},
        {{"--cover", "-", "--compare", "-"}, 2, "cannot both read standard input"},
        {{"--save", "/nonexistent/graph"}, 1, "cannot write '/nonexistent/graph'"},
        {{"--graph=json", "--reach", "buzzer and door"}, 1, ""},
        // What came from outside is shown escaped.
        {{"--graph=\x1b[2J"}, 2, "not '\\x1B[2J'"},
        {{"\xff\xfe"}, 2, "extra operand '\\xFF\\xFE'"},
        {{"--cover", "/no/\x1b[31mred"}, 1, "cannot read '/no/\\x1B[31mred'"},
        {{"--compare", "/no/\x1b[31mred"}, 1, "cannot read '/no/\\x1B[31mred'"},
        {{"--reach", "door", "--script", "/no/\x1b[31mred"}, 1, "cannot write '/no/\\x1B[31mred'"},
    };
    for (const auto& row : cases) {
        const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, row.arguments);
        EXPECT_EQ(Exit_Status(run), row.status) << row.arguments.front();
        if (*row.error == '\0') {
            EXPECT_EQ(run.errors, "") << row.arguments.front();
            EXPECT_NE(run.output, "") << row.arguments.front();
        } else {
            EXPECT_NE(run.errors.find(row.error), std::string::npos) << run.errors;
            EXPECT_TRUE(run.errors.starts_with("mwc-check: ")) << "one name:\n" << run.errors;
            EXPECT_EQ(run.errors.find_first_of("\x1b\xff"), std::string::npos) << run.errors;
        }
        if (row.status == 3) {
            EXPECT_EQ(run.output, "") << "nothing answered";
        }
    }

    // A report that cannot be written is a failure, whatever it says.
    const Mwc_Run full = Run_Command_On_Pipes(
        {"/bin/sh", "-c", "exec \"$0\" \"$@\" > /dev/full", MWC_CHECK_PATH, "--reach", "door"}, "",
        NO_WALL_CLOCK_S);
    EXPECT_EQ(Exit_Status(full), 1);
    EXPECT_NE(full.errors.find("mwc-check: cannot write the report"), std::string::npos)
        << full.errors;
}

TEST(Check, EachFormAnswersInItsOwnWordsAndRoles)
{
    const struct {
        std::vector<std::string> question;
        const char* words; // the answer's line after the question's
        const char* role;  // of its first evidence, in the JSON
    } cases[] = {
        {{"--always", "time < 600"}, "  fails after 39 ticks: b . b", "counterexample"},
        {{"--reach", "door"}, "  met after 1 tick: f\n", "witness"},
        {{"--inevitable", "buzzer"},
         "  fails: no line satisfies it, round and round: (.)\n",
         "counterexample"},
        {{"--forever", "not start"},
         "  met: every line satisfies it, round and round: (.)\n",
         "witness"},
        {{"--leads-to", "start --> not start"}, "  holds fewest 1 tick, from the P line", "fewest"},
        {{"--ctl", "AF buzzer"},
         "  fails: a counterexample to AF, round and round: (.)\n",
         "counterexample"},
        // Sums: the first heating step, 30 ticks after the start; the time
        // cleared by switching the unit back to time, 10 s at once.
        {{"--reach", "cur_temp = before.cur_temp + 10"},
         "  met after 35 ticks: c . a . e .{30}\n",
         "witness"},
        {{"--always", "time - before.time >= -1"},
         "  fails after 5 ticks: a . c . c\n",
         "counterexample"},
        // Left to right: 0, where right to left would be 10.
        {{"--reach", "10 - 5 - 5 = time and time - -1 = 1"}, "  met after 1 tick: .\n", "witness"},
    };
    for (const auto& row : cases) {
        const std::string text = Run_Tool(MWC_CHECK_PATH, row.question).output;
        EXPECT_NE(text.find(row.words), std::string::npos) << text;
        std::vector<std::string> json = row.question;
        json.emplace_back("--json");
        const std::string line = Run_Tool(MWC_CHECK_PATH, json).output;
        EXPECT_NE(line.find(std::string("\"evidence\":[{\"role\":\"") + row.role + "\""),
                  std::string::npos)
            << line;
    }
    // A field's values, each with its script: the first also in a file.
    const Scratch_File first;
    const std::string values =
        Run_Tool(MWC_CHECK_PATH, {"--values", "before.state where door and not before.door",
                                  "--json", "--script", first.Path()})
            .output;
    const std::string expected = "{\"query\":\"values\",\"condition\":\"before.state where "
                                 "door and not before.door\",\"values\":[{\"value\":1,"
                                 "\"script\":\"f\"},{\"value\":2,";
    EXPECT_EQ(values.substr(0, expected.size()), expected) << values;
    EXPECT_EQ(Read_File(first.Path()), "f");
    // The help lists the questions over time under their own heading.
    const std::string help = Run_Tool(MWC_CHECK_PATH, {"--help"}).output;
    const std::size_t over_time = help.find("\nOver time");
    for (const char* option :
         {"--always", "--reach", "--inevitable", "--forever", "--leads-to", "--ctl"}) {
        const bool later =
            std::string_view(option) != "--always" && std::string_view(option) != "--reach";
        EXPECT_EQ(help.find(std::string("\n      ") + option + " ") > over_time, later) << option;
    }
}

TEST(Check, TheReadmesFiguresAreTheReports)
{
    const auto number = [](std::string digits) {
        std::erase(digits, ',');
        return digits;
    };
    const std::string readme = Read_File(README_PATH);
    std::smatch told;
    ASSERT_TRUE(std::regex_search(readme, told,
                                  std::regex("The oven has\\s+([0-9,]+)\\s+configurations and "
                                             "([0-9,]+)\\s+transitions[^.]*within ([0-9,]+)\\s+"
                                             "ticks")))
        << "the README gives the oven's figures";

    const Mwc_Run report = Run_Tool(MWC_CHECK_PATH, {});
    ASSERT_EQ(Exit_Status(report), 0) << report.errors;
    std::smatch counts;
    std::smatch rest;
    ASSERT_TRUE(std::regex_search(report.output, counts,
                                  std::regex("([0-9]+) configurations, ([0-9]+) transitions")));
    ASSERT_TRUE(std::regex_search(report.output, rest, std::regex("at most ([0-9]+) ticks")));
    EXPECT_EQ(number(told[1]), counts[1].str()) << "configurations";
    EXPECT_EQ(number(told[2]), counts[2].str()) << "transitions";
    EXPECT_EQ(number(told[3]), rest[1].str()) << "the longest way to rest";
    std::smatch manual;
    const std::string page = Read_File(MANUAL_PATH);
    ASSERT_TRUE(std::regex_search(page, manual, std::regex("the oven has ([0-9,]+)\\)")))
        << "the manual page gives the oven's configurations";
    EXPECT_EQ(number(manual[1]), counts[1].str()) << "mwc-check(1)'s configurations";
}

TEST(Check, TheAnswersAreTheCopiesKeptInTheRepository)
{
    // Every figure, bound and script of the whole answers, as reviewed.
    const struct {
        std::vector<std::string> arguments;
        const char* copy;
    } cases[] = {
        {{}, "report.txt"},
        {{"--json"}, "report.json"},
        {{"--graph=json"}, "graph.json"},
    };
    for (const auto& row : cases) {
        const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, row.arguments);
        EXPECT_EQ(Exit_Status(run), 0) << row.copy << run.errors;
        const std::string kept = Read_File(std::string(CHECK_COPIES) + "/" + row.copy);
        ASSERT_NE(kept, "") << row.copy << " is kept in the repository";
        if (run.output == kept) {
            continue;
        }
        std::size_t line = 1;
        while (Line(run.output, line) == Line(kept, line)) {
            ++line;
        }
        ADD_FAILURE() << row.copy << " differs from line " << line
                      << ":\n  kept: " << Line(kept, line) << "\n  now:  " << Line(run.output, line)
                      << "\nafter a change that means it, make the copies anew with\n"
                         "  cmake --build --preset default --target check-copies";
    }
}
