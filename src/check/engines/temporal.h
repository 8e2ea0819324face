// Questions over time, on the graph of never-ending scripts: every tick
// takes no key or one of a to f (q would end the script). Each answer comes
// with evidence that replays, and with the number of ticks it takes: the
// line after a line is one tick later.
#pragma once

#include <string>
#include <vector>

#include "check/engines/ctl.h"
#include "check/exploration/explore.h"
#include "check/language/expression.h"

enum class Temporal_Kind {
    INEVITABLE, // on every never-ending script, some line satisfies the condition
    FOREVER,    // on some never-ending script, every line from tick 1 does
    LEADS_TO,   // after every line with P, Q on that line or a later one
};

// `keys`: which of the STEP_INPUTS may be pressed, a bit each: in the whole
// script for inevitable and forever, in the continuations after P for
// leads-to.
struct Temporal_Query {
    Temporal_Kind kind;
    Expression condition; // Q for leads-to
    Expression from;      // P, for leads-to only
    unsigned keys = ALL_STEP_INPUTS;
};

// A script shown as evidence. A lasso goes round `loop` for ever after
// `script`; `at` is the tick of the P line of a leads-to, or 0.
struct Temporal_Evidence {
    const char* role; // "counterexample", "witness", "fewest" or "most"
    std::string script;
    std::string loop;
    bool lasso = false;
    long at = 0;
    // --ctl: the operators nested inside the outermost one that decide it
    // where this evidence ends, each with its own.
    std::vector<Ctl_Evidence> nested;
};

struct Temporal_Answer {
    bool holds = false;   // holds, or for forever: met
    bool bounded = false; // fewest and most are known
    long fewest = 0;
    long most = 0;
    std::vector<Temporal_Evidence> evidence;
};

// Answers `query` from a complete exploration: the condition's labels, then
// one walk over the graph for the verdict, the bounds and the evidence. The
// verdict is the formula's at tick 0: inevitable is AX AF P, forever
// EX EG P, and leads-to AX AG (P implies AF Q), with the AG on every input
// and the others on `keys`.
Temporal_Answer Answer(const Exploration& exploration, const Temporal_Query& query);
