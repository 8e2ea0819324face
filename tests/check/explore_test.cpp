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

#include "check/explore.h"
#include "check/report.h"

namespace
{

// The tick draws every frame on standard output: send it nowhere meanwhile.
class Frames_To_Nowhere
{
  public:
    Frames_To_Nowhere() : saved_(dup(STDOUT_FILENO))
    {
        std::fflush(stdout);
        const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
        dup2(nowhere, STDOUT_FILENO);
        close(nowhere);
    }
    ~Frames_To_Nowhere()
    {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
    Frames_To_Nowhere(const Frames_To_Nowhere&) = delete;
    Frames_To_Nowhere& operator=(const Frames_To_Nowhere&) = delete;

  private:
    int saved_;
};

// Every part of a configuration, field by field, compared as a whole.
auto Parts(const Oven_Configuration& c)
{
    return std::tuple(c.record.Time, c.record.Set_Temp, c.record.Cur_Temp, c.record.Mode,
                      c.record.Time_Mode, c.record.Start, c.controller.state,
                      c.controller.TimeCount, c.controller.TempCount, c.counters.time_tick,
                      c.counters.temp_tick, c.light.state, c.light.enable, c.door);
}

struct Slow_Result {
    std::size_t configurations = 0;
    std::size_t transitions = 0;
    std::array<std::size_t, Finished + 1> shortest{}; // ticks to each state; 0 for never
    std::size_t longest_rest = 0;
};

// Breadth first with an ordered map of whole configurations: no hash, no
// shared equality, nothing clever.
Slow_Result Slow_Explore()
{
    constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();
    Slow_Result result;
    std::vector<Oven_Configuration> queue{Save_Configuration()};
    std::vector<std::size_t> depth{0};
    std::vector<std::size_t> idle_next{NONE};
    std::map<decltype(Parts(queue[0])), std::size_t> seen{{Parts(queue[0]), 0}};
    for (std::size_t at = 0; at < queue.size(); ++at) {
        for (const signed char key : INPUTS) {
            Restore_Configuration(queue[at]);
            const int state = Replay_Tick(key).state;
            ++result.transitions;
            std::size_t& shortest = result.shortest[static_cast<std::size_t>(state)];
            shortest = shortest == 0 ? depth[at] + 1 : shortest;
            if (key == 'q') {
                continue;
            }
            const Oven_Configuration next = Save_Configuration();
            const auto [found, added] = seen.emplace(Parts(next), queue.size());
            if (added) {
                queue.push_back(next);
                depth.push_back(depth[at] + 1);
                idle_next.push_back(NONE);
            }
            if (key == -1) {
                idle_next[at] = found->second;
            }
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
        std::size_t ticks = rest[at] == NONE ? 0 : rest[at];
        rest[at] = ticks;
        for (auto step = chain.rbegin(); step != chain.rend(); ++step) {
            rest[*step] = ++ticks;
        }
        result.longest_rest = std::max(result.longest_rest, rest[first]);
    }
    Restore_Configuration(queue[0]);
    return result;
}

std::vector<Property> Builtins()
{
    std::vector<Property> properties;
    for (const Builtin_Property& builtin : Builtin_Properties()) {
        Property property{true, {}};
        Expression_Error error;
        EXPECT_TRUE(Parse_Expression(builtin.condition, property.expression, error))
            << builtin.condition << ": " << error.message;
        properties.push_back(property);
    }
    return properties;
}

// The default report as printed, with its verdict and first script.
struct Report {
    bool all;
    std::string text;
    std::string first_script;
};
Report Print_Report(const Exploration& exploration)
{
    std::FILE* file = std::tmpfile();
    Report report{};
    report.all = Print_Default_Report(file, fileno(file), exploration, report.first_script);
    std::fflush(file);
    std::rewind(file);
    for (int c = 0; (c = std::fgetc(file)) != EOF;) {
        report.text.push_back(static_cast<char>(c));
    }
    std::fclose(file);
    return report;
}

} // namespace

TEST(Explore, CountsAndShortestScriptsAreThoseOfASlowSimpleExploration)
{
    const Frames_To_Nowhere nowhere;
    const Slow_Result slow = Slow_Explore();
    const Exploration fast = Explore(Builtins());
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
    const Report sound = Print_Report(fast);
    EXPECT_TRUE(sound.all) << sound.text;
    EXPECT_EQ(sound.first_script, fast.rest_script);
    Exploration broken = fast;
    broken.evidence[1] = "f";
    broken.evidence[2] = "ff";
    const Report failing = Print_Report(broken);
    EXPECT_FALSE(failing.all);
    EXPECT_NE(failing.text.find("FAILS  " + std::string(Builtin_Properties()[1].description)),
              std::string::npos)
        << failing.text;
    EXPECT_EQ(failing.first_script, "f");
}

TEST(Explore, ALimitStopsItAndNamesWhatStillGrew)
{
    const Frames_To_Nowhere nowhere;
    const Exploration stopped = Explore({}, 1000);
    EXPECT_FALSE(stopped.complete);
    EXPECT_GT(stopped.configurations, 1000U);
    EXPECT_LT(stopped.configurations, 1000U + INPUT_COUNT);
    EXPECT_NE(stopped.growing, "") << "the oven's fields are still widening that early";
}

TEST(Explore, EveryBoundOfTheBuiltinsIsReached)
{
    // Each <= or >= of a built-in made strict, one at a time, must fail:
    // a bound that is never reached (610 for 600) would let it hold.
    std::vector<std::string> strict;
    for (const Builtin_Property& builtin : Builtin_Properties()) {
        const std::string& condition = builtin.condition;
        for (std::size_t at = condition.find('='); at != std::string::npos;
             at = condition.find('=', at + 1)) {
            if (at > 0 && (condition[at - 1] == '<' || condition[at - 1] == '>')) {
                strict.push_back(std::string(condition).erase(at, 1));
            }
        }
    }
    ASSERT_GE(strict.size(), 6U) << "time, target, temperature and mode bounds";
    std::vector<Property> properties;
    for (const std::string& condition : strict) {
        Property property{true, {}};
        Expression_Error error;
        ASSERT_TRUE(Parse_Expression(condition, property.expression, error)) << condition;
        properties.push_back(property);
    }
    const Frames_To_Nowhere nowhere;
    const Exploration exploration = Explore(properties);
    for (std::size_t i = 0; i < strict.size(); ++i) {
        EXPECT_NE(exploration.evidence[i], "") << strict[i] << " holds: the bound is not reached";
    }
}
