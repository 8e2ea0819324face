#include "conform/shrink.h"

#include <algorithm>
#include <vector>

std::string Shrink(const Runner& runner, std::string script, Outcome& outcome)
{
    std::size_t runs = 0;
    // Runs of ticks taken out, longest first (the whole script, then
    // halves, ...); at each length every place is tried side by side, and
    // the first that still fails is kept.
    for (std::size_t length = script.size(); length >= 1 && runs < MAX_SHRINK_RUNS;) {
        std::vector<std::string> tries;
        for (std::size_t at = 0; at + length <= script.size(); at += length) {
            tries.push_back(script.substr(0, at) + script.substr(at + length));
        }
        if (tries.size() > MAX_SHRINK_RUNS - runs) {
            tries.resize(MAX_SHRINK_RUNS - runs);
        }
        runs += tries.size();
        const std::vector<Outcome> outcomes = Run_Scripts(runner, tries);
        bool shorter = false;
        for (std::size_t i = 0; i < tries.size() && !shorter; ++i) {
            if (!outcomes[i].passed && !outcomes[i].not_run) {
                script = tries[i];
                outcome = outcomes[i];
                shorter = true;
            }
        }
        if (!shorter) {
            length /= 2;
        } else {
            length = std::min(length, script.size());
        }
    }
    return script;
}
