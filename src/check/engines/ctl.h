// Formulas over time, judged by labelling the graph of never-ending scripts.
//
// A position is a trace line where a script can stand: the line of every
// transition (Edge(c, input)), and tick 0's, the oven at start-up, last. The
// positions after one are the lines of the ticks from the configuration it
// leaves: from tick 0, the start-up configuration. Every question over time
// is a formula judged at tick 0, and each temporal operator in it is one
// pass over the graph, linear in its transitions: E[ U ] a search backwards
// from where it is met, EG a count of the ways on that falls as they close.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/exploration/explore.h"
#include "check/language/expression.h"

// Which of the STEP_INPUTS may be pressed, a bit each.
constexpr unsigned ALL_STEP_INPUTS = (1U << STEP_INPUTS) - 1;

// The third kind of index, beside a configuration's and a transition's: a
// position. A transition's position is its own index, and tick 0's comes
// after them all.
using Position_Index = std::size_t;

inline Position_Index Position_Of(Transition_Index edge)
{
    return edge;
}

// Whether a formula's node holds at each position.
using Labels = std::vector<char>;

// The number of positions, and tick 0's.
std::size_t Position_Count(const Exploration& exploration);
Position_Index Start_Position(const Exploration& exploration);

// A parsed formula with every temporal operator on the inputs `keys`.
void Restrict_Keys(Expression& formula, unsigned keys);

// Where node `node` of `formula` holds, at every position. The exploration
// is complete, and has its lines before each tick if the formula reads one.
Labels Label(const Exploration& exploration, const Expression& formula, int node);
// The same for several nodes at once, in one pass.
std::vector<Labels> Label(const Exploration& exploration, const Expression& formula,
                          const std::vector<int>& nodes);

// A script as evidence: a shortest one, or a lasso that goes round `loop`
// for ever after `script`. Scripts are one byte per tick, IDLE_TICK for no
// key.
struct Ctl_Evidence {
    const char* role; // "witness" or "counterexample"
    std::string script;
    std::string loop;
    bool lasso = false;
    std::string operator_name; // the operator it is for, as "AX" or "E[ U ]"
    bool shown = true;         // false: that operator holds (A) or fails (E) on every continuation
    // The operators nested inside this one that decide it where this
    // evidence ends (a lasso: where its loop starts), each with evidence
    // of its own that continues from there.
    std::vector<Ctl_Evidence> nested;
};

struct Ctl_Answer {
    bool holds = false;
    // For the outermost temporal operator, under any nots: none when no
    // script can show the answer (an A that holds, an E that fails).
    std::vector<Ctl_Evidence> evidence;
    // The operator the evidence is for, or "" when the formula's outermost
    // operator is not temporal.
    std::string outermost;
};

// Judges `formula` at tick 0.
Ctl_Answer Judge_Formula(const Exploration& exploration, const Expression& formula);

// Shared with the questions over time: a lasso as short as it comes, from
// configuration `root` over the transitions that `follow` marks: the fewest
// ticks to a configuration on a loop of them, then the shortest loop
// through it. One must exist.
struct Lasso {
    std::string prefix;
    std::string loop;
};
Lasso Shortest_Lasso(const Exploration& exploration, Configuration_Index root,
                     const Labels& follow);
