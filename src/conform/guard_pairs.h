// Tests of the controller's guards, condition by condition (MC/DC, unique
// cause): for each guard that mwc-check finds exact, and each condition in
// it, two configurations of its state, taken by the same input, on which
// every other condition is the same and this one and the guard's outcome
// are not; each reached by a shortest script.
#pragma once

#include <string>
#include <vector>

#include "check/exploration/explore.h"
#include "conform/suite.h"

// The pairs' tests, each condition's two in turn, and why none could be
// found for a condition that no two configurations show to matter. The
// exploration kept what the guards are found from.
void Add_Guard_Pairs(const Exploration& exploration, std::vector<Conformance_Test>& tests,
                     std::vector<std::string>& unmet);
