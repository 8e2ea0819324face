// mwc-check's questions over time and formulas, the real program: each
// form against the formula it is, and every answer's evidence replayed by
// mwc-replay to where it says.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "run_tool.h"

namespace
{

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

} // namespace

TEST(Over_Time, QuestionsOverTimeAnswerWithScriptsThatReplay)
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

TEST(Over_Time, EachFormOfQuestionIsItsFormula)
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

TEST(Over_Time, FormulasAndQuestionsOverTimeGiveEvidenceThatReplays)
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
