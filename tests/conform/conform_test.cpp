// mwc-conform, the real program: the real controller passes through mwc-replay
// and through mwc itself; a changed build fails with a shortened script that
// replays to the frames it reports; stand-ins that crash, hang or write short
// frames fail saying so, and leave nothing running.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "run_tool.h"

namespace
{

constexpr char FAKETIME_LIBRARY[] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// A JSON string field's raw text, as mwc-conform wrote it.
std::string Field(const std::string& json, const std::string& name)
{
    const std::regex field("\"" + name + "\":(\"(?:[^\"\\\\]|\\\\.)*\"|[0-9a-z]+)");
    std::smatch found;
    return std::regex_search(json, found, field) ? found[1].str() : "";
}

// The text of a JSON string as mwc-conform escapes frames: \uNNNN and \".
std::string Unquoted(const std::string& quoted)
{
    std::string text;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '\\' && quoted[i + 1] == 'u') {
            text.push_back(static_cast<char>(std::stoi(quoted.substr(i + 2, 4), nullptr, 16)));
            i += 5;
        } else if (quoted[i] == '\\') {
            text.push_back(quoted[++i]);
        } else {
            text.push_back(quoted[i]);
        }
    }
    return text;
}

// Frame `tick` (from 1) of what a replay of `script` writes: the runs
// between the 21 newlines that end each.
std::string Frame_Of(const char* replay, const std::string& script_path, std::size_t tick)
{
    const std::string output = Run_Tool(replay, {script_path}).output;
    const std::string end(21, '\n');
    std::size_t from = 0;
    for (std::size_t k = 1; k < tick; ++k) {
        from = output.find(end, from) + end.size();
    }
    return output.substr(from, output.find(end, from) + end.size() - from);
}

// Whether any process runs with `word` in its command line.
bool Running(const std::string& word)
{
    DIR* proc = opendir("/proc");
    bool found = false;
    for (dirent* entry = readdir(proc); entry != nullptr && !found; entry = readdir(proc)) {
        const std::string command = Read_File(std::string("/proc/") + entry->d_name + "/cmdline");
        found = command.find(word) != std::string::npos && std::isdigit(entry->d_name[0]) != 0;
    }
    closedir(proc);
    return found;
}

} // namespace

TEST(Conform, TheRealControllerPasses)
{
    const std::string list = Run_Tool(MWC_CONFORM_PATH, {"--list"}).output;
    const std::smatch tests = [&] {
        std::smatch found;
        std::regex_search(list, found, std::regex("\n([0-9]+) tests, ([0-9]+) ticks"));
        return found;
    }();
    ASSERT_EQ(tests.size(), 3U) << list;
    const Mwc_Run replay = Run_Tool(MWC_CONFORM_PATH, {"--json", "--", MWC_REPLAY_PATH});
    EXPECT_EQ(Exit_Status(replay), 0) << replay.output << replay.errors;
    EXPECT_EQ(replay.output,
              "{\"query\":\"conform\",\"verdict\":\"passes\",\"tests\":" + tests[1].str() +
                  ",\"ticks\":" + tests[2].str() + ",\"evidence\":[]}\n");
    struct stat library {
    };
    if (stat(FAKETIME_LIBRARY, &library) != 0) {
        GTEST_SKIP() << "mwc itself is run with --fast, which needs libfaketime";
    }
#ifdef MWC_ADDRESS_SANITIZER
    // A sanitized mwc takes libfaketime ahead of its runtime only when told to.
    const char* const had = std::getenv("ASAN_OPTIONS");
    const std::string options =
        std::string(had != nullptr ? had : "") + ":verify_asan_link_order=0";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
#endif
    const Mwc_Run mwc = Run_Tool(MWC_CONFORM_PATH, {"--fast", "--", MWC_PATH});
    EXPECT_EQ(Exit_Status(mwc), 0) << mwc.output << mwc.errors;
    EXPECT_EQ(mwc.output, "passes: " + tests[1].str() + " tests, " + tests[2].str() + " ticks\n");
}

TEST(Conform, ASuiteKeptInAFileRunsAgainAndAFileThatIsNoSuiteIsRefused)
{
    const Scratch_File suite;
    ASSERT_EQ(Exit_Status(Run_Tool(MWC_CONFORM_PATH, {"--suite", suite.Path()})), 0);
    const std::string saved = Read_File(suite.Path());
    EXPECT_EQ(saved.rfind("{\"tests\":[\n{\"why\":\"no key in Wait_Input\",\"script\":\"..\"},", 0),
              0U)
        << saved.substr(0, 80);
    EXPECT_EQ(Run_Tool(MWC_CONFORM_PATH, {"--suite-from", suite.Path(), "--list"}).output,
              Run_Tool(MWC_CONFORM_PATH, {"--list"}).output);
    const Scratch_File cut;
    std::ofstream(cut.Path(), std::ios::binary | std::ios::trunc)
        << "{\"tests\":[{\"script\":\"d.d.d.d.d\",\"why\":\"pizza\"}]}";
    const Mwc_Run pizza =
        Run_Tool(MWC_CONFORM_PATH, {"--suite-from", cut.Path(), "--", MWC_REPLAY_PIZZA_PATH});
    EXPECT_EQ(Exit_Status(pizza), 1);
    EXPECT_EQ(pizza.output.substr(0, 32), "FAILS  test 1, pizza\n  the frame") << pizza.output;
    std::ofstream(cut.Path(), std::ios::binary | std::ios::trunc)
        << "{\"tests\":[{\"why\":\"x\",\"script\":\"aq\"}]}";
    const Mwc_Run bad = Run_Tool(MWC_CONFORM_PATH, {"--suite-from", cut.Path(), "--", "true"});
    EXPECT_EQ(Exit_Status(bad), 2);
    EXPECT_NE(bad.errors.find("is no suite: a script is keys a to f and . for no key, not 'q' at "
                              "byte 35"),
              std::string::npos)
        << bad.errors;
}

TEST(Conform, AChangedBuildFailsWithAScriptThatReplaysToTheFramesShown)
{
    for (const char* changed : {MWC_REPLAY_PIZZA_PATH, MWC_REPLAY_HEATING_PATH}) {
        const Scratch_File script;
        const Mwc_Run run =
            Run_Tool(MWC_CONFORM_PATH, {"--json", "--script", script.Path(), "--", changed});
        ASSERT_EQ(Exit_Status(run), 1) << changed << run.output << run.errors;
        EXPECT_EQ(Field(run.output, "verdict"), "\"fails\"");
        const std::size_t tick = std::stoul(Field(run.output, "tick"));
        EXPECT_EQ(Read_File(script.Path()), Unquoted(Field(run.output, "script")));
        EXPECT_EQ(Frame_Of(MWC_REPLAY_PATH, script.Path(), tick),
                  Unquoted(Field(run.output, "expected")))
            << changed;
        EXPECT_EQ(Frame_Of(changed, script.Path(), tick), Unquoted(Field(run.output, "got")))
            << changed;
        // Shortened: the pizza differs only after its preset's 120 s.
        EXPECT_LT(Read_File(script.Path()).size(), 1400U) << changed;
    }
}

TEST(Conform, FaultsOfTheImplementationAreSaidAndNothingIsLeftRunning)
{
    const std::string replay = MWC_REPLAY_PATH;
    const struct {
        std::vector<std::string> command;
        const char* why; // of the first failure
    } cases[] = {
        {{"/bin/sh", "-c", "kill -SEGV $$"},
         "\n  crashed after 0 frames of 1: killed by signal 11 (SIGSEGV"},
        {{"/bin/sh", "-c", "exec sleep 987"},
         "\n  did not finish within 0.5 s, after 0 frames of 1"},
        {{"/bin/sh", "-c", "\"$0\" | head -c 40", replay},
         "\n  exited with status 0 after 0 frames of 1"},
        {{"/bin/sh", "-c", "\"$0\"; printf q | \"$0\"", replay}, "\n  wrote 2 frames for 1 tick\n"},
        {{"/bin/sh", "-c", "head -c 1 >/dev/null; exit 3"},
         "\n  exited with status 3 after 0 frames of 1"},
    };
    // The first failure is shortened, to q alone.
    for (const auto& row : cases) {
        std::vector<std::string> arguments = {"--timeout", "0.5", "-j", "8", "--"};
        arguments.insert(arguments.end(), row.command.begin(), row.command.end());
        const Mwc_Run run = Run_Tool(MWC_CONFORM_PATH, arguments);
        EXPECT_EQ(Exit_Status(run), 1) << row.command.back() << run.errors;
        EXPECT_NE(run.output.find(row.why), std::string::npos) << run.output;
    }
    // The hanging stand-in's command line, NUL-separated as /proc has it.
    EXPECT_FALSE(Running(std::string("sleep") + '\0' + "987"));
    const Mwc_Run missing = Run_Tool(MWC_CONFORM_PATH, {"--", "/nonexistent/oven"});
    EXPECT_EQ(Exit_Status(missing), 1);
    EXPECT_EQ(missing.errors,
              "mwc-conform: cannot run '/nonexistent/oven': No such file or directory\n");
    for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                                {"-j", "0", "--", "true"},
                                                {"--timeout", "-1", "--", "true"},
                                                {"--bogus", "--", "true"}}) {
        EXPECT_EQ(Exit_Status(Run_Tool(MWC_CONFORM_PATH, bad)), 2);
    }
}
