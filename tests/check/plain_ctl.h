// A slow and plain labeller of formulas over time, written without the
// engine's code: each operator's definition applied again and again over
// the explored graph's transitions until nothing changes. Its atoms are the
// conditions' own evaluation. The oracle of the engine's tests.
#pragma once

#include <cstddef>
#include <vector>

#include "check/exploration/explore.h"
#include "check/language/expression.h"

using Marks = std::vector<char>;

// Where a script can stand: the line of each transition (c, input) at
// c * STEP_INPUTS + input, then tick 0, the oven at start-up, which is its
// own line before. After a position come the transitions of the
// configuration it leaves the oven in, on the inputs of an operator.
struct Plain_Graph {
    const Exploration& x;
    std::size_t edges = x.next.size(); // and tick 0's position

    const Trace_Line& Line(std::size_t p) const
    {
        if (p == edges) {
            return x.start_line;
        }
        return x.lines[x.line_of[p]];
    }
    const Trace_Line& Before(std::size_t p) const
    {
        if (p == edges) {
            return x.start_line;
        }
        return x.before_lines[x.before_of[p / STEP_INPUTS]];
    }
    std::size_t Next(std::size_t p, int input) const
    {
        const std::size_t c = p == edges ? 0 : x.next[p];
        return c * STEP_INPUTS + static_cast<std::size_t>(input);
    }
};

// Whether input `input` is one of `keys`.
bool On(unsigned keys, int input);

// Whether node `n` of `f` holds a temporal operator in its part.
bool Temporal_Below(const Expression& f, int n);

// Every node's marks, at every position; operands come before the nodes
// that use them.
std::vector<Marks> Plain_Label(const Plain_Graph& g, const Expression& f);
