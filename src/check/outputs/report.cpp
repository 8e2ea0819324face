#include "check/outputs/report.h"

#include "check/outputs/answers.h"
#include "check/outputs/scripts.h"

#include <algorithm>
#include <cassert>

#include "oven/controller.h"
#include "oven/oven.h"
#include "replay/replay.h"
#include "replay/shown.h"
#include "replay/trace.h"

const std::vector<Builtin_Property>& Builtin_Properties()
{
    const std::string max_time = Condition_Number(MAX_TIME);
    const std::string ambient = Condition_Number(AMBIENT_TEMP);
    const std::string lowest_target = Condition_Number(AMBIENT_TEMP + SHORT_TEMP);
    const std::string max_temp = Condition_Number(MAX_TEMP);
    const std::string last_mode = Condition_Number(MODE_COUNT - 1);
    const std::string manual = Condition_Number(MANUAL_MODE);
    static const std::vector<Builtin_Property> builtins = {
        {"the door is shut whenever the oven runs", "start implies not door"},
        {"the time stays within 0 to " + max_time + " s", "time >= 0 and time <= " + max_time},
        {"the target is " + ambient + " or " + lowest_target + " to " + max_temp + " degrees",
         "set_temp = " + ambient + " or (set_temp >= " + lowest_target +
             " and set_temp <= " + max_temp + ")"},
        {"the oven is never hotter than its target",
         "cur_temp >= " + ambient + " and cur_temp <= set_temp"},
        {"the mode stays within " + manual + " to " + last_mode,
         "mode >= " + manual + " and mode <= " + last_mode},
        {"a food mode only when cooking by time", "mode != " + manual + " implies time_mode"},
        {"the buzzer sounds only as a cooking ends",
         "buzzer implies state = Wait_Input and not start"},
    };
    return builtins;
}

const std::vector<Builtin_Temporal>& Builtin_Temporal_Properties()
{
    constexpr unsigned NO_KEY_ONLY = 1U; // INPUTS[0]
    constexpr long ONE_TICK = 1;
    static const std::vector<Builtin_Temporal> builtins = {
        {"every started cooking ends, whatever is pressed", "start --> not start", ALL_STEP_INPUTS,
         -1},
        {"with no key pressed, the buzzer follows every start", "start --> buzzer", NO_KEY_ONLY,
         -1},
        {"the back light follows a start within one tick", "start --> light", ALL_STEP_INPUTS,
         ONE_TICK},
    };
    return builtins;
}

bool Print_Default_Report(std::FILE* out, int fd, const Exploration& exploration,
                          const std::vector<Question>& temporal, std::string& first_script)
{
    std::fprintf(out,
                 "Every key script of a to f, q and no key, breadth first from start-up:\n"
                 "  %zu configurations, %zu transitions,\n"
                 "  %zu distinct panel-and-record states on the trace lines.\n\n",
                 exploration.configurations, exploration.transitions, exploration.panel_states);

    std::fputs("States, each with its shortest script:\n", out);
    bool every_state = true;
    for (int state = Wait_Input; state <= Finished; ++state) {
        const std::string& script = exploration.state_reached[static_cast<std::size_t>(state)];
        every_state = every_state && !script.empty();
        if (script.empty()) {
            std::fprintf(out, "  %d %-13s never reached\n", state, State_Name(state));
        } else {
            std::fprintf(out, "  %d %-13s reached after %zu %s: %s\n", state, State_Name(state),
                         script.size(), Ticks(script.size()), Readable_Script(script).c_str());
        }
    }

    std::fputs("\nProperties:\n", out);
    bool all = every_state && exploration.all_rest;
    const std::vector<Builtin_Property>& builtins = Builtin_Properties();
    for (std::size_t i = 0; i < builtins.size(); ++i) {
        const std::string& script = exploration.evidence[i];
        std::fprintf(out, "  %-6s %s\n         always %s\n", script.empty() ? "holds" : "FAILS",
                     builtins[i].description.c_str(), builtins[i].condition.c_str());
        if (!script.empty()) {
            all = false;
            std::fprintf(out, "         fails after %zu %s: %s\n", script.size(),
                         Ticks(script.size()), Readable_Script(script).c_str());
            Print_Last_Line(out, fd, exploration, script);
            if (first_script.empty()) {
                first_script = script;
            }
        }
    }
    std::fprintf(out,
                 "  %-6s with no key pressed, every configuration comes to rest "
                 "(Wait_Input, not running)\n",
                 exploration.all_rest ? "holds" : "FAILS");
    if (exploration.all_rest) {
        std::fprintf(out, "         at most %zu ticks, as after this script (%zu ticks): %s\n",
                     exploration.longest_rest, exploration.rest_script.size(),
                     Readable_Script(exploration.rest_script).c_str());
    } else {
        std::fprintf(out, "         after this script, no key never brings it to rest: %s\n",
                     Readable_Script(exploration.rest_script).c_str());
    }
    if (first_script.empty()) {
        first_script = exploration.rest_script;
    }
    std::fprintf(out, "  %-6s every state is reached\n", every_state ? "holds" : "FAILS");

    std::fputs("\nOver time, on never-ending scripts:\n", out);
    const std::vector<Builtin_Temporal>& builtins_over_time = Builtin_Temporal_Properties();
    for (std::size_t i = 0; i < temporal.size(); ++i) {
        const Query_Form& form = Form_Of(temporal[i].query);
        const Verdict verdict = form.judge(temporal[i], exploration);
        all = all && verdict.good;
        std::fprintf(out, "  %-6s %s\n", verdict.good ? "holds" : "FAILS",
                     builtins_over_time[i].description.c_str());
        std::fputs("         ", out);
        form.print(out, fd, temporal[i], verdict, exploration, "       ");
        if (first_script.empty() && !verdict.good && !verdict.evidence.empty()) {
            first_script = Script_Of(verdict.evidence[0]);
        }
    }
    return all;
}

void Print_Stopped_At_Limit(std::FILE* err, const char* program, const Exploration& exploration,
                            std::size_t max_configurations)
{
    std::fprintf(err,
                 "%s: stopped at the limit of %zu configurations (--max-configurations), "
                 "so nothing is answered\n",
                 program, max_configurations);
    if (exploration.growing.empty()) {
        std::fprintf(err, "%s: no field of the trace lines was still growing\n", program);
    } else {
        std::fprintf(err, "%s: still growing in the second half: %s\n", program,
                     exploration.growing.c_str());
    }
}
