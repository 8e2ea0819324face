// The controller's graph with its guards: where one input takes different
// transitions from the same state, the condition on the configuration
// before the tick under which each is taken, found from the exploration
// and checked against every configuration it reached.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/exploration/explore.h"

// A transition and what takes it: `inputs` (bits of INPUTS), under `guard`,
// a condition in the condition language; empty where the inputs decide.
struct Guarded_Move {
    int from;
    int to;
    unsigned inputs;
    std::string guard;
};

struct Guarded_Graph {
    std::vector<Guarded_Move> moves; // by state from, then to
    // Whether, for every configuration reached and every input, exactly one
    // move's guard holds and it is the move really taken; else where not.
    bool exact = true;
    std::string fault;
};

Guarded_Graph Find_Guards(const Exploration& exploration);

// Checks `moves` as above; says where they are not exact, or is empty.
std::string Check_Guards(const Exploration& exploration, const std::vector<Guarded_Move>& moves);

// The move of `moves` that each configuration c and input takes, at
// c * INPUT_COUNT + input; empty, with `fault` saying where, when the
// guards are not exact as above.
constexpr std::uint16_t NO_MOVE = UINT16_MAX;
std::vector<std::uint16_t> Moves_Taken(const Exploration& exploration,
                                       const std::vector<Guarded_Move>& moves, std::string& fault);
