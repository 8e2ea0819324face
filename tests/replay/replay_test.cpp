// mwc-replay, the real program: its frames against mwc's, its trace, where
// it ends, and its exits.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "run_mwc.h"

namespace
{

constexpr double LIMIT_S = 60.0;

Mwc_Run Replay(std::vector<std::string> arguments, std::string_view script = "")
{
    arguments.insert(arguments.begin(), MWC_REPLAY_PATH);
    return Run_Command_On_Pipes(arguments, script, LIMIT_S);
}

int Exit_Status(const Mwc_Run& run)
{
    return WIFEXITED(run.wait_status) ? WEXITSTATUS(run.wait_status) : -1;
}

// The values of one field of every line of a trace.
std::vector<std::string> Field(const std::string& trace, const std::string& name)
{
    const std::regex pattern("\"" + name + "\":([^,}]*)");
    std::vector<std::string> values;
    for (std::sregex_iterator it(trace.begin(), trace.end(), pattern), end; it != end; ++it) {
        values.push_back((*it)[1]);
    }
    return values;
}

} // namespace

TEST(Replay, FramesOfAHeatingAreExactlyMwcsThroughAPipe)
{
    // By temperature, target 30, start; the buzzer, then quit with the light off.
    const std::string script = Script({"c", Idle(1), "a", Idle(1), "e", Idle(36), "q"});
    const Mwc_Run mwc = Run_On_Pipes(script, LIMIT_S);
    const Mwc_Run replay = Replay({}, script);
    ASSERT_EQ(Exit_Status(mwc), 0);
    ASSERT_EQ(Exit_Status(replay), 0);
    EXPECT_EQ(mwc.frames.size(), script.size());
    EXPECT_EQ(replay.output, mwc.output) << "byte for byte";
    EXPECT_EQ(replay.errors, "") << "no bell: the buzzer is silent";
}

TEST(Replay, TraceFollowsTheControllerThroughACookingToRest)
{
    // No q: after the script the oven runs on, with no key, until at rest.
    const Mwc_Run run = Replay({"--trace"}, "axe");
    ASSERT_EQ(Exit_Status(run), 0);
    const auto states = Field(run.output, "state");
    ASSERT_EQ(states.size(), 105U) << "the buzzer is in the 102nd tick after the e tick";
    std::vector<std::string> visited;
    for (const std::string& state : states) {
        if (visited.empty() || visited.back() != state) {
            visited.push_back(state);
        }
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"2", "1", "6", "7", "9", "1"}));
    const auto buzzer = Field(run.output, "buzzer");
    EXPECT_EQ(std::count(buzzer.begin(), buzzer.end(), "true"), 1);
    EXPECT_EQ(buzzer.back(), "true");
    EXPECT_EQ(Field(run.output, "key").front(), "97");
    EXPECT_EQ(Field(run.output, "key").back(), "null");
    EXPECT_EQ(Field(run.output, "state_name")[3], "\"Time_Cooking\"");
    EXPECT_EQ(Field(run.output, "light")[3], "true");
    EXPECT_EQ(Field(run.output, "start").back(), "false");
}

TEST(Replay, EndsAfterQuitOrAtRestAfterTheScript)
{
    const struct {
        const char* script;
        std::size_t ticks;
    } cases[] = {
        {"", 0},   // nothing to do
        {"a", 2},  // the one-tick state after the key, then at rest
        {"aq", 2}, // the tick that reads q is the last
        {"qa", 1}, // nothing after q is read
        {"fe", 2}, // the door open refuses the start: at rest
        {"fq", 2}, // the light on at the end: frames end in a colour reset
    };
    for (const auto& row : cases) {
        const Mwc_Run run = Replay({}, row.script);
        EXPECT_EQ(Exit_Status(run), 0) << row.script;
        EXPECT_EQ(run.frame_error, "") << row.script;
        EXPECT_EQ(run.frames.size(), row.ticks) << row.script;
    }
    EXPECT_TRUE(Replay({}, "fq").colour_reset);
}

TEST(Replay, ErrorsAndUsage)
{
    const struct {
        std::vector<std::string> arguments;
        int status;
        bool output;       // something on standard output
        const char* error; // found on standard error
    } cases[] = {
        {{"/no/such/script"}, 1, false, "/no/such/script"},
        {{"/"}, 1, false, "cannot read /: Is a directory"},
        {{"--bogus"}, 2, false, "Usage: mwc-replay [--trace] [SCRIPT]"},
        {{"one", "two"}, 2, false, "Usage: mwc-replay"},
        {{"--help"}, 0, true, ""},
        {{"--version"}, 0, true, ""},
    };
    for (const auto& row : cases) {
        const Mwc_Run run = Replay(row.arguments);
        EXPECT_EQ(Exit_Status(run), row.status) << row.arguments.front();
        EXPECT_EQ(!run.output.empty(), row.output) << row.arguments.front();
        EXPECT_NE(run.errors.find(row.error), std::string::npos) << run.errors;
    }
    EXPECT_TRUE(Replay({"--help"}).output.starts_with("Usage: mwc-replay [--trace] [SCRIPT]\n"));
    EXPECT_EQ(Replay({"--version"}).output, "mwc-replay " MWC_VERSION "\n");
}
