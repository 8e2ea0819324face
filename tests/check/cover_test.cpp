// mwc-check --cover against a count of the test's own: each tick of
// mwc-replay's trace of the script, as the move of the diagram from the
// state before it to its own on its key; and each missed move's script
// against the shortest that mwc-check --reach finds for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "run_tool.h"

namespace
{

// A move of the diagram as --cover lists it, and what it says of it.
struct Listed_Move {
    std::string from, to, inputs; // inputs as the JSON lists them: "\".\",\"f\""
    long taken = 0;
    std::string first;  // a tick, or null
    std::string script; // a quoted script, or null
};

std::vector<Listed_Move> Listed(const std::string& json)
{
    const std::regex move(R"re(\{"from":"(\w+)","to":"(\w+)","inputs":\[([^\]]*)\],"guard":)re"
                          R"re((?:null|"[^"]*"),"taken":(\d+),"first":(null|\d+),)re"
                          R"re("script":(null|"[^"]*")\})re");
    std::vector<Listed_Move> moves;
    for (std::sregex_iterator it(json.begin(), json.end(), move), end; it != end; ++it) {
        moves.push_back({(*it)[1], (*it)[2], (*it)[3], std::stol((*it)[4]), (*it)[5], (*it)[6]});
    }
    return moves;
}

// An input as the diagram names it: the key, or "." for no key (any byte
// but a to f and q).
std::string Input_Of(int key)
{
    return key >= 'a' && key <= 'f' ? std::string(1, static_cast<char>(key))
           : key == 'q'             ? "q"
                                    : ".";
}

std::string Field(const std::string& line, const std::string& name)
{
    std::smatch match;
    std::regex_search(line, match, std::regex("\"" + name + "\":\"?([^,\"}]*)"));
    return match[1];
}

// How often, and first when, each (from, to, input) is taken in the trace;
// the oven starts up waiting for input.
struct Taken {
    long count = 0;
    long first = 0;
};
std::map<std::tuple<std::string, std::string, std::string>, Taken> Count(const std::string& trace)
{
    std::map<std::tuple<std::string, std::string, std::string>, Taken> taken;
    std::string before = "Wait_Input";
    long tick = 0;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        ++tick;
        const std::string state = Field(line, "state_name");
        const std::string key = Field(line, "key"); // null for the ticks to rest
        Taken& move = taken[{before, state, Input_Of(key == "null" ? -1 : std::stoi(key))}];
        move.first = move.count++ == 0 ? tick : move.first;
        before = state;
    }
    return taken;
}

// The inputs of a listed move, each as the diagram names it.
std::vector<std::string> Inputs(const std::string& listed)
{
    std::vector<std::string> inputs;
    const std::regex input(R"re("([^"]*)")re");
    for (std::sregex_iterator it(listed.begin(), listed.end(), input), end; it != end; ++it) {
        inputs.push_back((*it)[1]);
    }
    return inputs;
}

} // namespace

TEST(Cover, EachMoveIsCountedAsTheReplaysTraceTakesIt)
{
    char path[] = "/tmp/mwc-check-covered-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    // A scrambled script from a fixed seed: every key, stray bytes, long runs.
    std::string scrambled;
    for (unsigned seed = 12345; scrambled.size() < 3000;) {
        seed = seed * 1103515245U + 12345U;
        const unsigned pick = seed >> 16U & 31U;
        scrambled += pick < 6 ? static_cast<char>('a' + pick) : pick < 8 ? 'x' : '.';
    }
    ASSERT_EQ(Exit_Status(Run_Tool(MWC_CHECK_PATH, {"--tour", "--script", path})), 0);
    const std::string tour = Read_File(path);
    for (const std::string& script : {std::string("ca.b.e"), std::string("a.e...e.f\x01.q..e"),
                                      scrambled, tour, std::string("")}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << script;
        const std::string trace = Run_Tool(MWC_REPLAY_PATH, {"--trace", path}).output;
        auto counted = Count(trace);
        const Mwc_Run cover = Run_Tool(MWC_CHECK_PATH, {"--cover", path, "--json"});
        const std::vector<Listed_Move> moves = Listed(cover.output);
        ASSERT_GT(moves.size(), 10U) << cover.output;
        std::set<std::tuple<std::string, std::string, std::string>> named;
        for (const Listed_Move& move : moves) {
            Taken all;
            for (const std::string& input : Inputs(move.inputs)) {
                ASSERT_TRUE(named.insert({move.from, move.to, input}).second)
                    << "a move is known by its states and input: " << move.from << " -> " << move.to
                    << " on " << input;
                const Taken one = counted[{move.from, move.to, input}];
                if (one.count > 0 && (all.count == 0 || one.first < all.first)) {
                    all.first = one.first;
                }
                all.count += one.count;
            }
            const std::string name = move.from + " -> " + move.to + " in " + script.substr(0, 20);
            EXPECT_EQ(move.taken, all.count) << name;
            EXPECT_EQ(move.first, all.count == 0 ? "null" : std::to_string(all.first)) << name;
        }
        for (const auto& [move, taken] : counted) {
            EXPECT_TRUE(named.count(move) == 1)
                << "a tick took a move not in the diagram: " << std::get<0>(move) << " -> "
                << std::get<1>(move);
        }
    }
    unlink(path);
}

TEST(Cover, AMissedMovesScriptIsAsShortAsAnyThatTakesIt)
{
    // Nothing covered: every move gets its shortest script, each against
    // mwc-check's reach of a line that the move makes, asked all at once.
    const std::vector<Listed_Move> moves =
        Listed(Run_Tool(MWC_CHECK_PATH, {"--cover", "/dev/null", "--json"}).output);
    std::vector<std::string> reaches = {"--json"};
    for (const Listed_Move& move : moves) {
        std::string keys;
        for (const std::string& input : Inputs(move.inputs)) {
            keys += (keys.empty() ? "" : " or ") +
                    (input == "." ? std::string("key = none") : "key = '" + input + "'");
        }
        reaches.insert(reaches.end(), {"--reach", "before.state = " + move.from + " and state = " +
                                                      move.to + " and (" + keys + ")"});
    }
    const std::string answers = Run_Tool(MWC_CHECK_PATH, reaches).output;
    const std::regex fewest(R"re("fewest":(\d+))re");
    std::sregex_iterator reach(answers.begin(), answers.end(), fewest);
    std::size_t missed = 0;
    for (const Listed_Move& move : moves) {
        ASSERT_TRUE(reach != std::sregex_iterator()) << answers;
        const std::size_t shortest = std::stoul((*reach++)[1]);
        missed += move.script != "null" ? 1 : 0;
        EXPECT_EQ(move.script == "null" ? shortest : move.script.size() - 2, shortest)
            << move.from << " -> " << move.to << ": " << move.script;
    }
    EXPECT_EQ(missed, moves.size()) << "an empty script takes none";
}

TEST(Cover, ACoverAndATourOfTheDiagramReplayAsMwcReplayRunsThem)
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
