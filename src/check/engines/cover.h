// A key script against the controller's diagram: which of its transitions
// the script takes and which it misses, each missed one with a shortest
// script that takes it; and one key script that takes them all, a
// transition tour. A tester's coverage report and conformance test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/engines/guards.h"

// What a script did to one move of the diagram.
struct Move_Coverage {
    std::size_t taken = 0; // ticks that took it
    long first = 0;        // the first of them, from 1; 0 for none
    std::string shortest;  // a shortest script from start-up that takes it
    bool q_only = false;   // only q takes it, which no never-ending script has
};

// A script walked through the explored graph, a byte at a time, as
// mwc-replay reads it: a to f and q are keys, every other byte no key; q
// ends it. When it runs out without q, the ticks without a key until the
// oven is at rest follow, as mwc-replay runs them.
struct Coverage {
    std::vector<Move_Coverage> moves; // in the diagram's order
    long script_ticks = 0;            // ticks of the script itself, its q too
    long rest_ticks = 0;              // ticks without a key after it
    std::size_t covered = 0;          // moves taken at least once
    std::uint32_t at = 0;             // the configuration the walk is in
    bool ended = false;               // q was read
};

// A walk at start-up, with the shortest script of every move. `taken_by`
// is Moves_Taken's.
Coverage Start_Cover(const Exploration& exploration, const std::vector<Guarded_Move>& moves,
                     const std::vector<std::uint16_t>& taken_by);
// The next `size` bytes of the script; none after its q.
void Cover_Bytes(const Exploration& exploration, const std::vector<std::uint16_t>& taken_by,
                 const char* bytes, std::size_t size, Coverage& coverage);
// The script ran out: the ticks to rest, unless it ended with q.
void Finish_Cover(const Exploration& exploration, const std::vector<std::uint16_t>& taken_by,
                  Coverage& coverage);

// A never-ending key script that takes every move that one can (all but
// those only q takes): from where it stands, the nearest move not yet taken,
// breadth first, again and again. `left` gets the moves it could not reach
// from where it came to stand (none for this oven).
std::string Tour(const Exploration& exploration, const std::vector<Guarded_Move>& moves,
                 const std::vector<std::uint16_t>& taken_by, std::vector<std::size_t>& left);
