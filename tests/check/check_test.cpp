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

// Line `number` (from 1) of `text`, without its newline.
std::string Line(const std::string& text, std::size_t number)
{
    std::istringstream lines(text);
    std::string line;
    for (std::size_t i = 0; i < number && std::getline(lines, line); ++i) {
    }
    return line;
}

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

// The answer to one question, from its JSON line.
struct Json_Answer {
    std::string verdict;
    std::string fewest;
    std::string most;
    std::string script; // of the first evidence
    std::string loop;
    std::size_t at = 0;
};
Json_Answer Ask(const std::vector<std::string>& arguments, const char* path)
{
    std::vector<std::string> command = arguments;
    command.insert(command.end(), {"--json", "--script", path});
    const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, command);
    std::smatch found;
    const std::regex answer("\"verdict\":\"([a-z ]+)\",\"fewest\":([0-9a-z]+),\"most\":([0-9a-z]+),"
                            "\"evidence\":\\[\\{\"role\":\"[a-z]+\",\"script\":\"([.a-f]*)\","
                            "\"loop\":\"?([.a-f]*|null)\"?,\"at\":([0-9]+|null)");
    EXPECT_TRUE(std::regex_search(run.output, found, answer)) << run.output << run.errors;
    return {found[1],
            found[2],
            found[3],
            found[4],
            found[5] == "null" ? "" : found[5].str(),
            found[6] == "null" ? 0 : std::stoul(found[6])};
}

TEST(Check, QuestionsOverTimeAnswerWithScriptsThatReplay)
{
    char path[] = "/tmp/mwc-check-lasso-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const auto trace = [&path](std::size_t tick, const char* field) {
        const Mwc_Run replay = Run_Tool(MWC_REPLAY_PATH, {"--trace", path});
        const std::string line = Line(replay.output, tick);
        const std::size_t at = line.find(std::string("\"") + field + "\":");
        return at == std::string::npos ? line : line.substr(at, line.find_first_of(",}", at) - at);
    };

    // With no key after its start, a 10 s cooking's buzzer is exactly 102
    // ticks after the e tick; the light follows a start within a tick.
    const Json_Answer buzzer =
        Ask({"--keys", ".", "--leads-to",
             "time_mode and key = 'e' and state = Starting and time = 10 --> buzzer"},
            path);
    EXPECT_EQ(buzzer.verdict, "holds");
    EXPECT_EQ(buzzer.fewest, "102");
    EXPECT_EQ(buzzer.most, "102");
    EXPECT_EQ(buzzer.script, Script({"a.e", std::string(102, '.')}));
    EXPECT_EQ(trace(buzzer.at, "state_name"), "\"state_name\":\"Starting\"");
    EXPECT_EQ(trace(buzzer.at + 102, "buzzer"), "\"buzzer\":true");
    const Json_Answer light = Ask({"--leads-to", "start --> light"}, path);
    EXPECT_EQ(light.verdict + light.fewest + light.most, "holds01");
    EXPECT_EQ(trace(light.at, "start") + trace(light.at, "light"), "\"start\":true\"light\":true")
        << "the fewest: 0 ticks, the P line lit already";

    // Pressing keys, a start need not lead to the buzzer: a cancel and a
    // new start go round for ever. The script goes round three times.
    const Json_Answer round = Ask({"--leads-to", "start --> buzzer"}, path);
    EXPECT_EQ(round.verdict, "fails");
    ASSERT_FALSE(round.loop.empty());
    EXPECT_EQ(Read_File(path), round.script + round.loop + round.loop + round.loop);
    const Mwc_Run replay = Run_Tool(MWC_REPLAY_PATH, {"--trace", path});
    for (std::size_t tick = round.script.size() + 1; tick <= Read_File(path).size(); ++tick) {
        EXPECT_EQ(Line(replay.output, tick).find("\"buzzer\":true"), std::string::npos) << tick;
        if (tick > round.script.size() + round.loop.size()) {
            std::string now = Line(replay.output, tick);
            std::string before = Line(replay.output, tick - round.loop.size());
            now.erase(0, now.find(','));
            before.erase(0, before.find(','));
            EXPECT_EQ(now, before) << "the loop repeats, tick " << tick;
        }
    }
    unlink(path);
}

// The verdicts of a run with --json, one per question, in order.
std::vector<std::string> Verdicts(std::vector<std::string> arguments)
{
    const std::size_t questions = arguments.size() / 2 - 1; // after --keys SET
    arguments.push_back("--json");
    const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, arguments);
    std::vector<std::string> verdicts;
    const std::regex verdict("\"verdict\":\"([a-z ]+)\"");
    for (auto found = std::sregex_iterator(run.output.begin(), run.output.end(), verdict);
         found != std::sregex_iterator(); ++found) {
        const std::string said = (*found)[1];
        verdicts.push_back(said == "met" ? "holds" : said == "not met" ? "fails" : said);
    }
    EXPECT_EQ(verdicts.size(), questions) << run.output << run.errors;
    return verdicts;
}

TEST(Check, EachFormOfQuestionIsItsFormula)
{
    // Each form, and the formula it is judged as at tick 0, over conditions
    // that hold and fail each way; with every key, and with a few.
    const std::vector<std::string> conditions = {
        "buzzer",
        "not buzzer",
        "state = Wait_Input",
        "not start",
        "time < 600",
        "door",
        "before.state = Wait_Input and state = Starting",
        "before.start = start",
    };
    // --keys restricts every operator of a formula, but only the questions
    // over time, and of a leads-to only what comes after its P line.
    const struct {
        const char* option;
        const char* formula; // with P for the condition
        bool keyed;          // the same with --keys
    } forms[] = {
        {"--always", "AX AG (P)", false},
        {"--reach", "EX EF (P)", false},
        {"--inevitable", "AX AF (P)", true},
        {"--forever", "EX EG (P)", true},
        {"--leads-to", "AX AG (start implies AF (P))", false},
    };
    for (const char* keys : {".abcdef", ".e"}) {
        std::vector<std::string> asked = {"--keys", keys};
        std::vector<std::string> as_formulas = asked;
        for (const auto& form : forms) {
            const bool leads_to = std::string(form.option) == "--leads-to";
            if (!form.keyed && std::string(keys) != ".abcdef") {
                continue;
            }
            for (const std::string& condition : conditions) {
                std::string formula = form.formula;
                formula.replace(formula.find('P'), 1, condition);
                asked.insert(asked.end(),
                             {form.option, leads_to ? "start --> " + condition : condition});
                as_formulas.insert(as_formulas.end(), {"--ctl", formula});
            }
        }
        const std::vector<std::string> verdicts = Verdicts(asked);
        const std::vector<std::string> ctl = Verdicts(as_formulas);
        ASSERT_EQ(verdicts.size(), ctl.size());
        std::set<std::string> seen(verdicts.begin(), verdicts.end());
        EXPECT_EQ(seen.size(), 2U) << "some hold and some fail";
        for (std::size_t i = 0; i < verdicts.size(); ++i) {
            EXPECT_EQ(verdicts[i], ctl[i])
                << keys << ": " << asked[2 * i + 2] << " " << asked[2 * i + 3] << " against --ctl "
                << as_formulas[2 * i + 3];
        }
    }
}

// The evidence of the first operator nested in a --ctl answer, written by a
// second --script after its parent's: the two scripts as one, whose last
// tick, or its lasso's way in, mwc-replay replays to the line shown.
void Check_Nested_Chain(const std::vector<std::string>& question, const std::string& chain,
                        const char* last)
{
    const Scratch_File parent;
    const Scratch_File nested;
    std::vector<std::string> command = question;
    command.insert(command.end(), {"--script", parent.Path(), "--script", nested.Path()});
    const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, command);
    const std::string written = Read_File(nested.Path());
    const Mwc_Run replay = Run_Tool(MWC_REPLAY_PATH, {"--trace", nested.Path()});
    EXPECT_EQ(written.substr(0, chain.size()), chain) << run.output << run.errors;
    EXPECT_NE(Line(replay.output, chain.size()).find(last), std::string::npos)
        << question.back() << ": " << Line(replay.output, chain.size());
    const std::string json = Run_Tool(MWC_CHECK_PATH, {question[0], question[1], "--json"}).output;
    EXPECT_NE(json.find("\"nested\":[{\"operator\":"), std::string::npos) << json;
}

TEST(Check, FormulasAndQuestionsOverTimeGiveEvidenceThatReplays)
{
    char path[] = "/tmp/mwc-check-formula-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const struct {
        std::vector<std::string> question;
        const char* verdict;
        const char* script;           // the shortest, worked out by hand; for a lasso, the way in
        const char* loop;             // the shortest loop of a lasso; nullptr for none
        const char* last;             // on the script's last line; or, for a lasso, on none
        const char* bounds = nullptr; // fewest and most, as --json gives them
        const char* nested = nullptr; // the first nested operator's script, after the first's
        const char* nested_last = nullptr; // on the last line of the two, or of its lasso's way in
    } cases[] = {
        // The shortest cooking heats to 30 degrees; its buzzer a tick later.
        {{"--ctl", "EF state = Finished"},
         "holds",
         "c.a.e...............................",
         nullptr,
         "\"state\":9"},
        {{"--ctl", "AG not buzzer"},
         "fails",
         "c.a.e................................",
         nullptr,
         "\"buzzer\":true"},
        // The tick that found the oven waiting, and left it starting.
        {{"--ctl", "not AG not (before.state = Wait_Input and state = Starting)"},
         "holds",
         "a.e",
         nullptr,
         "\"state_name\":\"Starting\""},
        {{"--ctl", "AX door"}, "fails", ".", nullptr, "\"door\":false"},
        {{"--ctl", "A[ not start U door ]"}, "fails", "a.e", nullptr, "\"start\":true"},
        // Round and round without a start, or without the buzzer: idling,
        // or with the door alone, opening and shutting it.
        {{"--ctl", "EG not start"}, "holds", "", ".", "\"start\":true"},
        {{"--ctl", "AF buzzer"}, "fails", "", ".", "\"buzzer\":true"},
        {{"--inevitable", "buzzer"}, "fails", "", ".", "\"buzzer\":true"},
        {{"--keys", ".", "--inevitable", "buzzer"}, "fails", "", ".", "\"buzzer\":true"},
        {{"--keys", "df", "--inevitable", "buzzer"}, "fails", "", "ff", "\"buzzer\":true"},
        {{"--forever", "not start"}, "met", "", ".", "\"start\":true"},
        // With no key from tick 1, nothing ever starts: 0 ticks in a row.
        // With a alone, 10 s and 20 s, each with the tick that drops a key.
        {{"--keys", ".", "--forever", "start"}, "not met", "", nullptr, "", "null 0"},
        {{"--keys", "a", "--forever", "time < 30"},
         "not met",
         "aaaa",
         nullptr,
         "\"time\":20",
         "null 4"},
        // The fewest: an e that cancels at once; the most, the longest cooking.
        {{"--leads-to", "start --> not start"},
         "holds",
         "a.e.e",
         nullptr,
         "\"start\":false",
         "1 6002"},
        // The tick after the buzzer's first, a starts a time again; and after
        // it, with the door shut, it stays shut for ever.
        {{"--ctl", "AG (buzzer implies AX (state = Wait_Input and not start))"},
         "fails",
         "c.a.e................................",
         nullptr,
         "\"buzzer\":true",
         nullptr,
         "a",
         "\"state_name\":\"Add_Short\""},
        {{"--ctl", "EF (buzzer and EG not door)"},
         "holds",
         "c.a.e................................",
         nullptr,
         "\"buzzer\":true",
         nullptr,
         "",
         "\"buzzer\":true"},
    };
    for (const auto& row : cases) {
        const Json_Answer answer = Ask(row.question, path);
        const std::string asked = row.question.back();
        if (row.nested != nullptr) {
            Check_Nested_Chain(row.question, answer.script + row.nested, row.nested_last);
        }
        EXPECT_EQ(answer.verdict, row.verdict) << asked;
        EXPECT_EQ(answer.script, row.script) << asked;
        if (row.bounds != nullptr) {
            EXPECT_EQ(answer.fewest + " " + answer.most, row.bounds) << asked;
        }
        const std::string script = Read_File(path);
        const Mwc_Run replay = Run_Tool(MWC_REPLAY_PATH, {"--trace", path});
        if (row.loop != nullptr) {
            EXPECT_EQ(answer.loop, row.loop) << asked;
            EXPECT_EQ(script, answer.script + answer.loop + answer.loop + answer.loop);
            EXPECT_EQ(replay.output.find(row.last), std::string::npos) << asked << " on a line";
        } else if (*row.script != '\0') {
            EXPECT_EQ(script, row.script) << asked;
            EXPECT_NE(Line(replay.output, script.size()).find(row.last), std::string::npos)
                << asked << ": " << Line(replay.output, script.size());
        }
    }
    unlink(path);
}

TEST(Check, ACompareReadsOnlyWhatASavedFileMayHold)
{
    char path[] = "/tmp/mwc-check-saved-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(Exit_Status(Run_Tool(MWC_CHECK_PATH, {"--save", path})), 0);
    const std::string saved = Read_File(path);
    EXPECT_LT(saved.size(), 32U << 20U) << "at most 32 MB for this oven";

    // A build against its own file, and through a pipe.
    const Mwc_Run same = Run_Tool(MWC_CHECK_PATH, {"--compare", path});
    EXPECT_EQ(Exit_Status(same), 0) << same.errors;
    EXPECT_NE(same.output.find("same: every key script gives the same trace lines in both"),
              std::string::npos);
    const Mwc_Run piped = Run_Command_On_Pipes(
        {"/bin/sh", "-c", "\"$0\" --save - | \"$0\" --compare -", MWC_CHECK_PATH}, "",
        NO_WALL_CLOCK_S);
    EXPECT_EQ(Exit_Status(piped), 0) << piped.errors;

    // Files that are no saved graph: refused, named, never compared. Some
    // are sealed again with a checksum that holds, as a crafted file is.
    // Field `field` of the last trace line, which ends before the checksum.
    const auto with_value = [&saved](std::size_t field, double value) {
        constexpr std::size_t FIELDS = 15;
        std::string bytes = saved;
        const std::size_t at = bytes.size() - 8 - (FIELDS - field) * sizeof value;
        std::memcpy(&bytes[at], &value, sizeof value);
        return bytes;
    };
    std::string renamed = saved;
    renamed.replace(renamed.find("\x04tick"), 5, "\x04\x1b]0;");
    std::string other_version = saved;
    other_version[8] = 2; // the version, after the magic
    std::string flipped = saved;
    flipped[saved.size() / 2] = static_cast<char>(flipped[saved.size() / 2] ^ 1);
    const struct {
        std::string bytes;
        std::string message;
    } bad[] = {
        {"", "it is empty"},
        {"GIF89a", "it is not a file of mwc-check --save"},
        {saved.substr(0, saved.size() / 3), "it is truncated"},
        {saved + "x",
         "it runs past the " + std::to_string(saved.size()) + " bytes its header says"},
        {other_version, "it is of version 2; this mwc-check reads version 1"},
        {flipped, "it is damaged: its checksum does not match"},
        // The header's text is read out only once the checksum holds, escaped.
        {renamed, "it is damaged: its checksum does not match"},
        {Sealed(renamed), "it was saved with other trace fields than this mwc-check's (\\x1B]0; "
                          "where this one has tick)"},
        // Every value is one its field can have.
        {Sealed(with_value(6, 2.5)),
         "it is damaged: a trace line holds a value that no state can have"},
        {Sealed(with_value(4, 0.5)),
         "it is damaged: a trace line holds a value that no door can have"},
        {Sealed(with_value(1, 300)),
         "it is damaged: a trace line holds a value that no key can have"},
    };
    for (const auto& row : bad) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.bytes;
        const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, {"--compare", path});
        EXPECT_EQ(Exit_Status(run), 2) << row.message;
        EXPECT_EQ(run.output, "");
        EXPECT_NE(
            run.errors.find(std::string("'") + path + "' cannot be compared with: " + row.message),
            std::string::npos)
            << run.errors;
        EXPECT_EQ(run.errors.find('\x1b'), std::string::npos) << run.errors;
    }

    // Files that never end are refused as soon as they run past what their
    // first bytes say, holding no more memory than that.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << saved;
    const struct {
        const char* command;
        std::string message;
    } endless[] = {
        {"\"$0\" --compare /dev/zero", "it is not a file of mwc-check --save"},
        {"\"$0\" --compare - < /dev/urandom", "it is not a file of mwc-check --save"},
        {"(head -c 1000 \"$1\"; cat /dev/zero) | \"$0\" --compare -",
         "it runs past the " + std::to_string(saved.size()) + " bytes its header says"},
    };
    for (const auto& row : endless) {
        const Mwc_Run run = Run_Command_On_Pipes(
            {"/bin/sh", "-c", std::string(MEMORY_LIMIT) + row.command, MWC_CHECK_PATH, path}, "",
            NO_WALL_CLOCK_S);
        EXPECT_EQ(Exit_Status(run), 2) << row.command << run.errors;
        EXPECT_NE(run.errors.find(row.message), std::string::npos) << run.errors;
    }
    unlink(path);
}

TEST(Check, FilesAreWrittenWholeOrNotAtAllAndStandardOutputByItsNames)
{
    char path[] = "/tmp/mwc-check-written-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const auto run = [&path](const std::string& command) {
        return Run_Command_On_Pipes(
            {"/bin/sh", "-c", std::string(MEMORY_LIMIT) + command, MWC_CHECK_PATH, path}, "",
            NO_WALL_CLOCK_S);
    };
    // Standard output by any of its names takes the graph, or the script
    // after the answers, even though the program points its own elsewhere.
    ASSERT_EQ(Exit_Status(run("\"$0\" --save \"$1\"")), 0);
    const std::string saved = Read_File(path);
    const std::string copy = std::string(path) + ".copy";
    for (const char* name : {"-", "/dev/stdout", "/dev/fd/1"}) {
        const Mwc_Run save = run(std::string("\"$0\" --save ") + name + " > \"$1.copy\"");
        EXPECT_EQ(Exit_Status(save), 0) << name << save.errors;
        EXPECT_TRUE(Read_File(copy) == saved) << name << ": " << Read_File(copy).size() << " bytes";
        const Mwc_Run script = run(std::string("\"$0\" --reach door --script ") + name);
        EXPECT_EQ(Exit_Status(script), 0) << name << script.errors;
        EXPECT_TRUE(script.output.ends_with("}\nf")) << name << ": " << script.output;
    }
    // A write that fails part way, here at a file size limit, is said,
    // naming the file, and leaves the old file as it was.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "old";
    const Mwc_Run limited = run("ulimit -f 1024; \"$0\" --save \"$1\"");
    EXPECT_EQ(Exit_Status(limited), 1);
    EXPECT_NE(limited.errors.find(std::string("cannot write '") + path + "': File too large"),
              std::string::npos)
        << limited.errors;
    const Mwc_Run script = run("ulimit -f 0; \"$0\" --reach door --script \"$1\"");
    EXPECT_EQ(Exit_Status(script), 1);
    EXPECT_NE(script.errors.find("File too large"), std::string::npos) << script.errors;
    EXPECT_EQ(Read_File(path), "old");
    // A file written keeps its mode; a link is followed, not replaced.
    const std::string link = std::string(path) + ".link";
    ASSERT_EQ(chmod(path, 0640), 0);
    ASSERT_EQ(symlink(path, link.c_str()), 0);
    EXPECT_EQ(Exit_Status(run("\"$0\" --reach door --script \"$1.link\"")), 0);
    EXPECT_EQ(Read_File(path), "f");
    struct stat status {
    };
    ASSERT_EQ(stat(path, &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640U);
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    unlink(link.c_str());
    unlink(copy.c_str());
    unlink(path);
}

TEST(Check, ACoverAndATourOfTheDiagramReplayAsMwcReplayRunsThem)
{
    char path[] = "/tmp/mwc-check-cover-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const auto ticks_replayed = [&path] {
        const std::string trace = Run_Tool(MWC_REPLAY_PATH, {"--trace", path}).output;
        return std::to_string(std::count(trace.begin(), trace.end(), '\n'));
    };
    // The learner's script: a temperature target and a start; mwc-replay
    // runs on without a key to rest, through the heating to the buzzer.
    std::ofstream(path, std::ios::binary) << "ca.b.e";
    const Mwc_Run cover = Run_Tool(MWC_CHECK_PATH, {"--cover", path});
    EXPECT_EQ(Exit_Status(cover), 1);
    EXPECT_NE(cover.output.find("covered 10 of 22 transitions"), std::string::npos) << cover.output;
    EXPECT_NE(cover.output.find("6 ticks of the script, then 92 without a key to rest"),
              std::string::npos);
    EXPECT_EQ(ticks_replayed(), "98");
    EXPECT_NE(cover.output.find("missed Time_Cooking -> Finished: all but e [time = 0]\n"
                                "         shortest: a . e .{101}"),
              std::string::npos);

    // The tour takes all 22, and covering it says so.
    const Mwc_Run tour = Run_Tool(MWC_CHECK_PATH, {"--tour", "--script", path, "--json"});
    EXPECT_EQ(Exit_Status(tour), 0) << tour.errors;
    const std::string script = Read_File(path);
    EXPECT_LT(script.size(), 180U);
    EXPECT_NE(tour.output.find("\"ticks\":" + std::to_string(script.size())), std::string::npos);
    const Mwc_Run covered = Run_Tool(MWC_CHECK_PATH, {"--cover", path, "--json"});
    EXPECT_EQ(Exit_Status(covered), 0);
    EXPECT_NE(covered.output.find("\"covered\":22,\"total\":22"), std::string::npos)
        << covered.output;
    EXPECT_EQ(covered.output.find("\"taken\":0"), std::string::npos);
    unlink(path);

    // A file's name that is no UTF-8 is written so that JSON readers take it.
    const std::string odd = std::string(path) + "\xff\x1b";
    std::ofstream(odd, std::ios::binary) << "ca.b.e";
    const Mwc_Run named = Run_Tool(MWC_CHECK_PATH, {"--cover", odd, "--json"});
    EXPECT_EQ(Exit_Status(named), 1);
    EXPECT_NE(named.output.find("\"file\":\"" + std::string(path) + "\\\\xFF\\u001b\""),
              std::string::npos)
        << named.output;
    const Mwc_Run named_text = Run_Tool(MWC_CHECK_PATH, {"--cover", odd});
    EXPECT_NE(named_text.output.find("cover " + std::string(path) + "\\xFF\\x1B\n"),
              std::string::npos)
        << named_text.output;
    unlink(odd.c_str());

    const Mwc_Run missing = Run_Tool(MWC_CHECK_PATH, {"--cover", "/nonexistent/script"});
    EXPECT_EQ(Exit_Status(missing), 1);
    EXPECT_NE(missing.errors.find("cannot read '/nonexistent/script'"), std::string::npos);
}
