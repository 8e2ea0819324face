// mwc-replay, the real program: its frames against mwc's, its trace, where
// it ends, and its exits.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "run_mwc.h"

namespace
{

constexpr double LIMIT_S = 60.0;                  // for mwc, which sleeps between ticks
constexpr std::size_t LONG_SCRIPT_SIZE = 1 << 20; // many reads of the replay's buffer

Mwc_Run Replay(std::vector<std::string> arguments, std::string_view script = "")
{
    arguments.insert(arguments.begin(), MWC_REPLAY_PATH);
    return Run_Command_On_Pipes(arguments, script, NO_WALL_CLOCK_S);
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

TEST(Replay, TraceOfAHeatingSaysWhichKeysWereTaken)
{
    // By temperature (the a after it dropped), target 50, the door open
    // refuses a start, shut, start; then bytes above 0x7f, DEL, and the
    // two that JSON escapes, dropped too.
    const Mwc_Run run = Replay({"--trace"}, "ca.b.fefe\x80\x7f\"\\");
    ASSERT_EQ(Exit_Status(run), 0);
    const auto taken = Field(run.output, "taken");
    ASSERT_GT(taken.size(), 40U);
    EXPECT_EQ(std::vector<std::string>(taken.begin(), taken.begin() + 10),
              (std::vector<std::string>{"true", "false", "false", "true", "false", "true", "false",
                                        "true", "true", "false"}));
    EXPECT_EQ(Field(run.output, "char")[0], "\"c\"");
    EXPECT_EQ(Field(run.output, "key")[9], "128");
    EXPECT_EQ(Field(run.output, "char")[9], "null");
    EXPECT_EQ(Field(run.output, "key")[10], "127");
    EXPECT_EQ(Field(run.output, "char")[10], "null") << "DEL is not printable";
    EXPECT_EQ(Field(run.output, "char")[11], "\"\\\"\"");
    EXPECT_EQ(Field(run.output, "char")[12], "\"\\\\\"");
    // 30 heating steps from the tick after the start: 30 degrees of 50.
    EXPECT_EQ(Field(run.output, "state_name")[38], "\"Temp_Cooking\"");
    EXPECT_EQ(Field(run.output, "state")[38], "8");
    EXPECT_EQ(Field(run.output, "cur_temp")[38], "30.0");
    EXPECT_EQ(Field(run.output, "set_temp")[38], "50.0");
}

TEST(Replay, AReadErrorPartWayEndsTheReplayAtOnce)
{
    // The peer closes with a byte it never read: after the script, the
    // next read fails with a connection reset.
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ASSERT_EQ(write(ends[0], "x", 1), 1);
    ASSERT_EQ(write(ends[1], "axe", 3), 3);
    close(ends[1]);
    const Mwc_Run run =
        Run_Command_On_Pipes({MWC_REPLAY_PATH, "--trace"}, "", NO_WALL_CLOCK_S, 0, ends[0]);
    close(ends[0]);
    EXPECT_EQ(Exit_Status(run), 1);
    EXPECT_EQ(Field(run.output, "tick"), (std::vector<std::string>{"1", "2", "3"}))
        << "the ticks run stay written, and no other";
    EXPECT_NE(run.errors.find("cannot read standard input: Connection reset by peer"),
              std::string::npos)
        << run.errors;
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
        {{"/no/such/script"}, 1, false, "cannot read '/no/such/script': No such file"},
        {{"/"}, 1, false, "cannot read '/': Is a directory"},
        {{""}, 1, false, "cannot read '': No such file"},
        {{"/no/\x1b]0;title\x07"}, 1, false, "cannot read '/no/\\x1B]0;title\\x07'"},
        {{"--bogus"}, 2, false, "Usage: mwc-replay [--trace | --vcd] [SCRIPT]"},
        {{"one", "two"}, 2, false, "extra operand 'two'"},
        {{"--trace", "--vcd"}, 2, false, "--trace or --vcd, not both"},
        {{"--help"}, 0, true, ""},
        {{"--version"}, 0, true, ""},
    };
    for (const auto& row : cases) {
        const Mwc_Run run = Replay(row.arguments);
        EXPECT_EQ(Exit_Status(run), row.status) << row.arguments.front();
        EXPECT_EQ(!run.output.empty(), row.output) << row.arguments.front();
        if (*row.error == '\0') {
            EXPECT_EQ(run.errors, "") << row.arguments.front();
        } else {
            EXPECT_NE(run.errors.find(row.error), std::string::npos) << run.errors;
            EXPECT_TRUE(run.errors.starts_with("mwc-replay: ")) << "one name:\n" << run.errors;
        }
    }
    EXPECT_TRUE(
        Replay({"--help"}).output.starts_with("Usage: mwc-replay [--trace | --vcd] [SCRIPT]\n"));
    EXPECT_EQ(Replay({"--version"}).output, "mwc-replay " MWC_VERSION "\n");
}

TEST(Replay, AFullDeviceIsAnErrorForEveryOutput)
{
    // Over 4 KiB of frames or trace, and the short texts of the options.
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"--trace"}, {"--vcd"}, {"--help"}, {"--version"}}) {
        std::vector<std::string> command = {"/bin/sh", "-c", "exec \"$0\" \"$@\" > /dev/full",
                                            MWC_REPLAY_PATH};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const Mwc_Run run = Run_Command_On_Pipes(command, "axe", NO_WALL_CLOCK_S);
        const std::string name = arguments.empty() ? "frames" : arguments.front();
        EXPECT_EQ(Exit_Status(run), 1) << name;
        EXPECT_NE(run.errors.find("mwc-replay: cannot write"), std::string::npos)
            << name << ": " << run.errors;
    }

    // Every frame fits in the file, but the colour reset at the end does
    // not: the open door's yellow is in force when the script ends.
    const std::string whole = Replay({}, "f").output;
    ASSERT_TRUE(whole.ends_with("\033[0m")) << whole;
    char frames[] = "/tmp/mwc-replay-frames-XXXXXX";
    const int frames_fd = mkstemp(frames);
    ASSERT_GE(frames_fd, 0);
    close(frames_fd);
    const std::size_t fits = whole.size() - std::string_view("\033[0m").size();
    const Mwc_Run cut = Run_Command_On_Pipes(
        {"/bin/sh", "-c", "trap '' XFSZ; exec prlimit --fsize=\"$1\" \"$0\" > \"$2\"",
         MWC_REPLAY_PATH, std::to_string(fits), frames},
        "f", NO_WALL_CLOCK_S);
    EXPECT_EQ(Exit_Status(cut), 1) << "the reset is lost";
    EXPECT_NE(cut.errors.find("mwc-replay: cannot write the frames: File too large"),
              std::string::npos)
        << cut.errors;
    std::ifstream kept(frames, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), whole.substr(0, fits));
    unlink(frames);

    // The frames' first failed write ends the replay: of a long script on
    // a file, only the first read's worth is taken.
    char path[] = "/tmp/mwc-replay-script-XXXXXX";
    const int script = mkstemp(path);
    ASSERT_GE(script, 0);
    unlink(path);
    const std::string idle(LONG_SCRIPT_SIZE, '.');
    ASSERT_EQ(write(script, idle.data(), idle.size()), static_cast<ssize_t>(idle.size()));
    ASSERT_EQ(lseek(script, 0, SEEK_SET), 0);
    const Mwc_Run run =
        Run_Command_On_Pipes({"/bin/sh", "-c", "exec \"$0\" > /dev/full", MWC_REPLAY_PATH}, "",
                             NO_WALL_CLOCK_S, 0, script);
    EXPECT_EQ(Exit_Status(run), 1);
    EXPECT_LT(lseek(script, 0, SEEK_CUR), static_cast<off_t>(LONG_SCRIPT_SIZE / 4))
        << "the replay ran on after its output failed";
    close(script);
}

TEST(Replay, TheWaveformsAreTheTraceTickByTick)
{
    // A heating, a door refused, a cancel: every kind of variable moves.
    const std::string script = "ca.b.fefe" + std::string(20, '.') + "e";
    const Mwc_Run vcd = Replay({"--vcd"}, script);
    const Mwc_Run trace = Replay({"--trace"}, script);
    ASSERT_EQ(Exit_Status(vcd), 0) << vcd.errors;
    std::map<char, std::string> names; // variable code → trace field
    std::map<std::string, std::string> now;
    std::map<std::string, std::vector<std::string>> at_tick; // the values after each tick
    const std::size_t ticks = Field(trace.output, "tick").size();
    std::size_t time = 0;
    std::size_t end_of_dump = 0;
    const auto note_until = [&](std::size_t end) {
        end_of_dump = end;
        for (; time < end && time <= ticks; ++time) {
            for (const auto& [name, value] : now) {
                at_tick[name].push_back(value);
            }
        }
    };
    std::istringstream lines(vcd.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "$var") {
            std::string type;
            std::string width;
            std::string code;
            std::string name;
            words >> type >> width >> code >> name;
            names[code[0]] = name;
        } else if (word[0] == '#') {
            note_until(std::stoul(word.substr(1)));
        } else if (word[0] == 'b' || word[0] == 'r') {
            std::string code;
            words >> code;
            const std::string value = word.substr(1);
            now[names.at(code[0])] = word[0] == 'r' ? std::to_string(std::stod(value))
                                                    : std::to_string(std::stoul(value, nullptr, 2));
        } else if ((word[0] == '0' || word[0] == '1') && word.size() == 2) {
            now[names.at(word[1])] = word.substr(0, 1);
        }
    }
    EXPECT_EQ(end_of_dump, ticks + 1) << "the last tick's 100 ms end the dump";
    note_until(ticks + 1);
    ASSERT_EQ(names.size(), 12U) << "the trace's fields but tick, char and state_name";
    for (const auto& [code, name] : names) {
        const std::vector<std::string> traced = Field(trace.output, name);
        ASSERT_EQ(at_tick[name].size(), ticks + 1) << name;
        for (std::size_t tick = 1; tick <= ticks; ++tick) {
            std::string expected = traced[tick - 1];
            expected = expected == "true"    ? "1"
                       : expected == "false" ? "0"
                       : expected == "null"  ? "255"
                                             : expected;
            if (expected.find('.') != std::string::npos) {
                expected = std::to_string(std::stod(expected));
            }
            EXPECT_EQ(at_tick[name][tick], expected) << name << " at tick " << tick;
        }
    }
    EXPECT_EQ(at_tick["key"][0], "255") << "start-up: no key";
    EXPECT_EQ(at_tick["state"][0], "1");
}
