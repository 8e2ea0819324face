// The exploration against a slow and simple one, and the report's verdicts.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "check/engines/guards.h"
#include "check/exploration/explore.h"
#include "check/outputs/diagram.h"
#include "check/outputs/report.h"
#include "check/outputs/scripts.h"
#include "plain_configuration.h"
#include "without_frames.h"

namespace
{

std::vector<Property> Always(const std::vector<std::string>& conditions)
{
    std::vector<Property> properties(conditions.size(), Property{true, {}});
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        Expression_Error error;
        EXPECT_TRUE(Parse_Expression(conditions[i], properties[i].expression, error))
            << conditions[i] << ": " << error.message;
    }
    return properties;
}

std::vector<std::string> Builtin_Conditions()
{
    std::vector<std::string> conditions;
    for (const Builtin_Property& builtin : Builtin_Properties()) {
        conditions.push_back(builtin.condition);
    }
    return conditions;
}

struct Slow_Result {
    std::size_t configurations = 0;
    std::size_t transitions = 0;
    std::array<std::size_t, Finished + 1> shortest{}; // ticks to each state; 0 for never
    std::size_t longest_rest = 0;
};

// Breadth first with an ordered map of whole configurations, field by
// field: no hash, no shared equality, nothing clever.
Slow_Result Slow_Explore()
{
    constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();
    Slow_Result result;
    std::vector<Oven_Configuration> queue{Save_Configuration()};
    std::vector<std::size_t> depth{0};
    std::vector<std::size_t> idle_next{NONE};
    std::map<decltype(Configuration_Parts(queue[0])), std::size_t> seen{
        {Configuration_Parts(queue[0]), 0}};
    for (std::size_t at = 0; at < queue.size(); ++at) {
        for (const signed char key : INPUTS) {
            Restore_Configuration(queue[at]);
            std::size_t& shortest =
                result.shortest[static_cast<std::size_t>(Replay_Tick(key).state)];
            shortest = shortest == 0 ? depth[at] + 1 : shortest;
            ++result.transitions;
            if (key == 'q') {
                continue;
            }
            const auto [found, added] =
                seen.emplace(Configuration_Parts(Save_Configuration()), queue.size());
            if (added) {
                queue.push_back(Save_Configuration());
                depth.push_back(depth[at] + 1);
                idle_next.push_back(NONE);
            }
            idle_next[at] = key == -1 ? found->second : idle_next[at];
        }
    }
    result.configurations = queue.size();
    // Ticks to rest with no key, each worked out once along its chain.
    std::vector<std::size_t> rest(queue.size(), NONE);
    for (std::size_t first = 0; first < queue.size(); ++first) {
        std::vector<std::size_t> chain;
        std::size_t at = first;
        while (rest[at] == NONE &&
               !(queue[at].controller.state == Wait_Input && !queue[at].record.Start)) {
            chain.push_back(at);
            at = idle_next[at];
        }
        std::size_t ticks = rest[at] = rest[at] == NONE ? 0 : rest[at];
        for (auto step = chain.rbegin(); step != chain.rend(); ++step) {
            rest[*step] = ++ticks;
        }
        result.longest_rest = std::max(result.longest_rest, rest[first]);
    }
    Restore_Configuration(queue[0]);
    return result;
}

// The default report's verdict, text and first script.
std::tuple<bool, std::string, std::string> Report(const Exploration& exploration)
{
    std::FILE* file = std::tmpfile();
    std::string first_script;
    const bool all = Print_Default_Report(file, fileno(file), exploration, {}, first_script);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return {all, text, first_script};
}

} // namespace

TEST(Explore, CountsAndShortestScriptsAreThoseOfASlowSimpleExploration)
{
    const Slow_Result slow = Without_Frames(Slow_Explore);
    const Exploration fast = Without_Frames([] { return Explore(Always(Builtin_Conditions())); });
    ASSERT_TRUE(fast.complete);
    EXPECT_EQ(fast.configurations, slow.configurations);
    EXPECT_EQ(fast.transitions, slow.transitions);
    for (int state = Wait_Input; state <= Finished; ++state) {
        EXPECT_EQ(fast.state_reached[static_cast<std::size_t>(state)].size(),
                  slow.shortest[static_cast<std::size_t>(state)])
            << State_Name(state);
    }
    EXPECT_TRUE(fast.all_rest);
    EXPECT_EQ(fast.longest_rest, slow.longest_rest);
    ASSERT_GE(fast.rest_script.size(), fast.longest_rest);
    EXPECT_EQ(fast.rest_script.substr(fast.rest_script.size() - fast.longest_rest),
              std::string(fast.longest_rest, IDLE_TICK))
        << "the rest script is a way in, then the ticks without a key";

    // The report holds; a built-in with evidence fails it, and that
    // evidence is the first script.
    const auto [all, text, first_script] = Report(fast);
    EXPECT_TRUE(all) << text;
    EXPECT_EQ(first_script, fast.rest_script);
    Exploration broken = fast;
    broken.evidence[1] = "f";
    broken.evidence[2] = "ff";
    const auto [broken_all, broken_text, broken_first] = Report(broken);
    EXPECT_FALSE(broken_all);
    EXPECT_NE(broken_text.find("FAILS  " + Builtin_Properties()[1].description), std::string::npos)
        << broken_text;
    EXPECT_EQ(broken_first, "f");
}

TEST(Explore, EveryBoundOfTheBuiltinsIsReachedAndALimitStopsIt)
{
    // Each <= or >= of a built-in made strict, one at a time, must fail:
    // a bound that is never reached (610 for 600) would let it hold.
    std::vector<std::string> strict;
    for (const std::string& condition : Builtin_Conditions()) {
        for (std::size_t at = condition.find('='); at != std::string::npos;
             at = condition.find('=', at + 1)) {
            if (at > 0 && (condition[at - 1] == '<' || condition[at - 1] == '>')) {
                strict.push_back(std::string(condition).erase(at, 1));
            }
        }
    }
    ASSERT_GE(strict.size(), 6U) << "time, target, temperature and mode bounds";
    const Exploration exploration = Without_Frames([&] { return Explore(Always(strict)); });
    for (std::size_t i = 0; i < strict.size(); ++i) {
        EXPECT_NE(exploration.evidence[i], "") << strict[i] << " holds: the bound is not reached";
    }

    const Exploration stopped = Without_Frames([] { return Explore({}, 1000); });
    EXPECT_FALSE(stopped.complete);
    EXPECT_LT(stopped.configurations, 1000U + INPUT_COUNT);
    EXPECT_NE(stopped.growing, "") << "the oven's fields are still widening that early";
}

TEST(Explore, TheGuardsFoundAreExactAndAWrongOneIsCaught)
{
    const Exploration exploration =
        Without_Frames([] { return Explore({}, DEFAULT_MAX_CONFIGURATIONS, Guard_Data::KEPT); });
    const Guarded_Graph graph = Find_Guards(exploration);
    ASSERT_TRUE(graph.exact) << graph.fault;
    constexpr unsigned KEY_A = 1U << 1; // INPUTS[1]
    std::vector<Guarded_Move> wrong = graph.moves;
    std::size_t short_moves = 0;
    for (Guarded_Move& move : wrong) {
        if (move.from == Wait_Input && move.to == Add_Short) {
            EXPECT_EQ(move.inputs, KEY_A);
            EXPECT_EQ(move.guard, "mode = 0") << "the shortest exact guard";
            move.guard = "mode = 1";
            ++short_moves;
        }
    }
    ASSERT_EQ(short_moves, 1U);
    EXPECT_NE(Check_Guards(exploration, wrong), "") << "a wrong guard";
    wrong.pop_back();
    EXPECT_NE(Check_Guards(exploration, wrong), "") << "a move left out";
    // The same move twice: both guards hold, and it is still the move taken.
    std::vector<Guarded_Move> twice = graph.moves;
    twice.push_back(twice.front());
    EXPECT_NE(Check_Guards(exploration, twice).find("but 2 of the guards for it hold"),
              std::string::npos)
        << Check_Guards(exploration, twice);
    EXPECT_EQ(Check_Guards(exploration, graph.moves), "");
}
