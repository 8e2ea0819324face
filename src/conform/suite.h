// The conformance suite: key scripts generated from the explored graph of
// the real controller, each shortest from start-up where that is possible,
// each with why it is there.
#pragma once

#include <string>
#include <vector>

#include "check/exploration/explore.h"

struct Conformance_Test {
    std::string why;
    std::string script; // a byte a tick, IDLE_TICK for no key; q is added as it runs
};

struct Suite {
    std::vector<Conformance_Test> tests;
    // The objectives that no key script meets, each with why it was asked:
    // the exploration of every configuration is the proof that none does.
    std::vector<std::string> unmet;
};

// Explores the controller and makes the suite: every input in every state,
// then every preset, limit and wrap, each counter run to its end, a cancel
// in each cooking state and the buzzer after each kind of cooking. A script
// that another test already runs is left out.
Suite Make_Suite();

// The ticks the suite takes, the q that ends each script included.
std::size_t Suite_Ticks(const std::vector<Conformance_Test>& tests);
