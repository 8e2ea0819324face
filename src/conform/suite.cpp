#include "conform/suite.h"

#include <cassert>
#include <set>

#include "check/language/expression.h"
#include "conform/guard_pairs.h"
#include "console/keyboard.h"
#include "oven/controller.h"
#include "oven/counters.h"
#include "oven/oven.h"
#include "replay/replay.h"

namespace
{

// What a test does after the line that meets its objective: nothing more,
// or no key until the oven is at rest (a cooking run to its end, the buzzer
// heard out), and one tick at rest.
enum class Tail { NONE, REST };

struct Objective {
    std::string why;
    std::string condition; // a condition of mwc-check's, met by the test's last line
    Tail tail;
};

std::string Number(double value)
{
    return Condition_Number(value);
}

// The objectives, each a condition on a trace line; the oven's own limits
// and names are written in.
std::vector<Objective> Objectives()
{
    std::vector<Objective> objectives;
    for (int mode = MANUAL_MODE + 1; mode < MODE_COUNT; ++mode) {
        objectives.push_back({"food preset " + Number(mode) + " cooked to its end",
                              "mode = " + Number(mode) + " and start", Tail::REST});
    }
    const std::string max_time = Number(MAX_TIME);
    const std::string max_temp = Number(MAX_TEMP);
    objectives.insert(
        objectives.end(),
        {
            {"the time's " + Number(SHORT_TIME) + " s step",
             "key = 'a' and time_mode and time = before.time + " + Number(SHORT_TIME), Tail::NONE},
            {"the time's " + Number(LONG_TIME) + " s step",
             "key = 'b' and time_mode and time = before.time + " + Number(LONG_TIME), Tail::NONE},
            {"the time at its limit of " + max_time + " s", "time = " + max_time, Tail::NONE},
            {"the time wraps past " + max_time + " s",
             "taken and (key = 'a' or key = 'b') and time < before.time", Tail::NONE},
            {"the lowest target, " + Number(AMBIENT_TEMP + SHORT_TEMP) + " degrees",
             "set_temp = " + Number(AMBIENT_TEMP + SHORT_TEMP), Tail::NONE},
            {"the highest target, " + max_temp + " degrees", "set_temp = " + max_temp, Tail::NONE},
            {"key a past " + max_temp + " degrees wraps to " + Number(SHORT_TEMP_WRAP),
             "key = 'a' and before.set_temp = " + max_temp +
                 " and set_temp = " + Number(SHORT_TEMP_WRAP),
             Tail::NONE},
            {"key b at " + max_temp + " degrees wraps to " + Number(LONG_TEMP_WRAP),
             "key = 'b' and before.set_temp = " + max_temp +
                 " and set_temp = " + Number(LONG_TEMP_WRAP),
             Tail::NONE},
            {"cooking by time counted down to its end", "start and time_mode", Tail::REST},
            {"heating to the highest target", "start and not time_mode and set_temp = " + max_temp,
             Tail::REST},
            {"the buzzer after cooking by time", "buzzer and before.time_mode", Tail::REST},
            {"the buzzer after heating", "buzzer and not before.time_mode", Tail::REST},
        });
    for (const int state : {Starting, Time_Cooking, Temp_Cooking}) { // the oven runs in them
        objectives.push_back({std::string("a cancel in ") + State_Name(state),
                              std::string("before.start and before.state = ") + State_Name(state) +
                                  " and not start and not door and not buzzer",
                              Tail::NONE});
    }
    return objectives;
}

// The ticks with no key after `script` until the oven is at rest, and one
// more: at most `most`.
std::string To_Rest(const Exploration& exploration, const std::string& script, std::size_t most)
{
    Restore_Configuration(exploration.start);
    Replay_Draw_Panel(false);
    for (const char byte : script) {
        Replay_Tick(static_cast<signed char>(byte));
    }
    std::string idle(1, IDLE_TICK);
    while (!Oven_At_Rest() && idle.size() <= most) {
        Replay_Tick(NO_KEY);
        idle.push_back(IDLE_TICK);
    }
    Replay_Draw_Panel(true);
    Restore_Configuration(exploration.start);
    return idle;
}

void Add(Suite& suite, std::set<std::string>& scripts, std::string why, std::string script)
{
    if (scripts.insert(script).second) {
        suite.tests.push_back({std::move(why), std::move(script)});
    }
}

} // namespace

Suite Make_Suite()
{
    const std::vector<Objective> objectives = Objectives();
    std::vector<Property> properties;
    for (const Objective& objective : objectives) {
        Property property{false, {}};
        Expression_Error error;
        [[maybe_unused]] const bool parsed =
            Parse_Expression(objective.condition, property.expression, error);
        assert(parsed && "the objectives are written in the condition language");
        properties.push_back(std::move(property));
    }
    const Exploration exploration =
        Explore(properties, DEFAULT_MAX_CONFIGURATIONS, Guard_Data::KEPT);
    assert(exploration.complete && "the controller's configurations are few");
    Suite suite;
    std::set<std::string> scripts;
    for (int state = Wait_Input; state <= Finished; ++state) {
        const std::string& to = exploration.state_reached[static_cast<std::size_t>(state)];
        if (to.empty()) {
            suite.unmet.push_back(std::string("every input in ") + State_Name(state));
            continue;
        }
        for (int input = 0; input < STEP_INPUTS; ++input) {
            const char byte = Script_Byte(input);
            const std::string key = byte == IDLE_TICK ? "no key" : std::string("key ") + byte;
            Add(suite, scripts, key + " in " + State_Name(state), to + byte);
        }
    }
    for (std::size_t i = 0; i < objectives.size(); ++i) {
        const std::string& script = exploration.evidence[i];
        if (script.empty()) {
            suite.unmet.push_back(objectives[i].why);
            continue;
        }
        const bool rest = objectives[i].tail == Tail::REST;
        Add(suite, scripts, objectives[i].why,
            rest ? script + To_Rest(exploration, script, exploration.longest_rest) : script);
    }
    std::vector<Conformance_Test> pairs;
    Add_Guard_Pairs(exploration, pairs, suite.unmet);
    for (Conformance_Test& test : pairs) {
        Add(suite, scripts, std::move(test.why), std::move(test.script));
    }
    return suite;
}

std::size_t Suite_Ticks(const std::vector<Conformance_Test>& tests)
{
    std::size_t ticks = 0;
    for (const Conformance_Test& test : tests) {
        ticks += test.script.size() + 1;
    }
    return ticks;
}
