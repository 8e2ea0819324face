#include "plain_ctl.h"

#include <gtest/gtest.h>

#include <algorithm>

using enum Expression::Kind;

bool On(unsigned keys, int input)
{
    return (keys >> input & 1U) != 0;
}

bool Temporal_Below(const Expression& f, int n)
{
    const Expression::Node& node = f.nodes[static_cast<std::size_t>(n)];
    return Is_Temporal(node.kind) || (node.left >= 0 && Temporal_Below(f, node.left)) ||
           (node.right >= 0 && Temporal_Below(f, node.right));
}

namespace
{

int First_Node(const Expression& f, int n)
{
    const Expression::Node& node = f.nodes[static_cast<std::size_t>(n)];
    int first = n;
    first = node.left >= 0 ? std::min(first, First_Node(f, node.left)) : first;
    return node.right >= 0 ? std::min(first, First_Node(f, node.right)) : first;
}

// `marks` again and again, each position from the last to the first, by
// `step`, until a whole pass changes nothing.
template <class Step> void Until_Nothing_Changes(Marks& marks, Step step)
{
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t p = marks.size(); p-- > 0;) {
            const char now = step(p) ? 1 : 0;
            changed = changed || now != marks[p];
            marks[p] = now;
        }
    }
}

// Node `n`, its operands' marks known.
Marks Plain_Node(const Plain_Graph& g, const Expression& f, int n, const std::vector<Marks>& known)
{
    const Expression::Node& node = f.nodes[static_cast<std::size_t>(n)];
    Marks marks(g.edges + 1);
    if (!Temporal_Below(f, n)) {
        const int first = First_Node(f, n);
        for (std::size_t p = 0; p < marks.size(); ++p) {
            marks[p] = Evaluate_Part(f, first, n, g.Line(p), g.Before(p)) ? 1 : 0;
        }
        return marks;
    }
    const Marks& l = known[static_cast<std::size_t>(node.left)];
    const Marks& r = known[static_cast<std::size_t>(std::max(node.right, node.left))];
    const unsigned keys = node.keys;
    const auto some = [&](std::size_t p, const Marks& z) {
        bool any = false;
        for (int i = 0; i < STEP_INPUTS; ++i) {
            any = any || (On(keys, i) && z[g.Next(p, i)] != 0);
        }
        return any;
    };
    const auto every = [&](std::size_t p, const Marks& z) {
        bool all = true;
        for (int i = 0; i < STEP_INPUTS; ++i) {
            all = all && (!On(keys, i) || z[g.Next(p, i)] != 0);
        }
        return all;
    };
    // Least fixed points start from their base, greatest from their operand.
    marks = node.kind == EU || node.kind == AU ? r : l;
    switch (node.kind) {
    case NOT:
        std::transform(l.begin(), l.end(), marks.begin(), [](char v) { return v == 0; });
        break;
    case AND:
    case OR:
    case IMPLIES:
        for (std::size_t p = 0; p < marks.size(); ++p) {
            const bool a = l[p] != 0;
            const bool b = r[p] != 0;
            marks[p] = (node.kind == AND ? a && b : node.kind == OR ? a || b : !a || b) ? 1 : 0;
        }
        break;
    case EX:
    case AX:
        for (std::size_t p = 0; p < marks.size(); ++p) {
            marks[p] = (node.kind == EX ? some(p, l) : every(p, l)) ? 1 : 0;
        }
        break;
    case EF:
        Until_Nothing_Changes(marks, [&](std::size_t p) { return l[p] != 0 || some(p, marks); });
        break;
    case AF:
        Until_Nothing_Changes(marks, [&](std::size_t p) { return l[p] != 0 || every(p, marks); });
        break;
    case EG:
        Until_Nothing_Changes(marks, [&](std::size_t p) { return l[p] != 0 && some(p, marks); });
        break;
    case AG:
        Until_Nothing_Changes(marks, [&](std::size_t p) { return l[p] != 0 && every(p, marks); });
        break;
    case EU:
        Until_Nothing_Changes(
            marks, [&](std::size_t p) { return r[p] != 0 || (l[p] != 0 && some(p, marks)); });
        break;
    case AU:
        Until_Nothing_Changes(
            marks, [&](std::size_t p) { return r[p] != 0 || (l[p] != 0 && every(p, marks)); });
        break;
    default:
        ADD_FAILURE() << "a node of kind " << node.kind << " over temporal operators";
    }
    return marks;
}

} // namespace

std::vector<Marks> Plain_Label(const Plain_Graph& g, const Expression& f)
{
    std::vector<Marks> known;
    for (std::size_t n = 0; n < f.nodes.size(); ++n) {
        known.push_back(Plain_Node(g, f, static_cast<int>(n), known));
    }
    return known;
}
