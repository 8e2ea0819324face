#include "check/engines/ctl.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <map>
#include <optional>

#include "check/engines/graph.h"

namespace
{

using enum Expression::Kind;

// For each configuration: whether some input of `keys` from it starts a way
// through positions in `through` to one in `target`. A search backwards
// from the configurations with a target one tick on.
std::vector<char> Exists_Until(const Graph& graph, unsigned keys, Where through, Where target)
{
    std::vector<char> reached(graph.Configurations(), 0);
    std::vector<Configuration_Index> queue;
    for (Configuration_Index c = 0; c < graph.Configurations(); ++c) {
        for (int input = 0; input < STEP_INPUTS && reached[c] == 0; ++input) {
            reached[c] = Pressed(keys, input) && target.Has(Edge(c, input)) ? 1 : 0;
        }
        if (reached[c] != 0) {
            queue.push_back(c);
        }
    }
    for (std::size_t i = 0; i < queue.size(); ++i) {
        graph.Into(queue[i], keys, [&](Transition_Index edge) {
            const Configuration_Index from = Source_Of(edge);
            if (reached[from] == 0 && through.Has(edge)) {
                reached[from] = 1;
                queue.push_back(from);
            }
        });
    }
    return reached;
}

// For each configuration: whether some input of `keys` from it starts a
// way that stays in `through` for ever. Each counts its inputs into
// `through`; a configuration none is left of drops out, and takes one from
// each configuration that led into it that way.
std::vector<char> Exists_Always(const Graph& graph, unsigned keys, Where through)
{
    std::vector<std::uint8_t> ways(graph.Configurations(), 0);
    std::vector<Configuration_Index> queue;
    for (Configuration_Index c = 0; c < graph.Configurations(); ++c) {
        for (int input = 0; input < STEP_INPUTS; ++input) {
            if (Pressed(keys, input) && through.Has(Edge(c, input))) {
                ++ways[c];
            }
        }
        if (ways[c] == 0) {
            queue.push_back(c);
        }
    }
    for (std::size_t i = 0; i < queue.size(); ++i) {
        graph.Into(queue[i], keys, [&](Transition_Index edge) {
            const Configuration_Index from = Source_Of(edge);
            if (through.Has(edge) && ways[from] > 0 && --ways[from] == 0) {
                queue.push_back(from);
            }
        });
    }
    std::vector<char> stays(ways.size());
    std::transform(ways.begin(), ways.end(), stays.begin(), [](auto n) { return n > 0; });
    return stays;
}

} // namespace

// Where neither f nor g holds: an A[f U g] has failed there.
Labels Neither(const Labels& f, const Labels& g)
{
    Labels neither(f.size());
    for (Position_Index p = 0; p < neither.size(); ++p) {
        neither[p] = f[p] == 0 && g[p] == 0 ? 1 : 0;
    }
    return neither;
}

// The first node of each node's part: its operands' parts come just before it.
std::vector<int> Part_Starts(const Expression& formula)
{
    std::vector<int> first(formula.nodes.size());
    for (std::size_t k = 0; k < formula.nodes.size(); ++k) {
        const Expression::Node& node = formula.nodes[k];
        first[k] =
            node.left >= 0 ? first[static_cast<std::size_t>(node.left)] : static_cast<int>(k);
    }
    return first;
}

std::vector<char> Temporal_Inside(const Expression& formula)
{
    std::vector<char> inside(formula.nodes.size(), 0);
    for (std::size_t k = 0; k < formula.nodes.size(); ++k) {
        const Expression::Node& node = formula.nodes[k];
        const auto of = [&inside](int operand) {
            return operand >= 0 && inside[static_cast<std::size_t>(operand)] != 0;
        };
        inside[k] = Is_Temporal(node.kind) || of(node.left) || of(node.right) ? 1 : 0;
    }
    return inside;
}

// A part without temporal operators, at every position: once per distinct
// line where it reads no before. field.
Labels Condition_Labels(const Exploration& exploration, const Expression& formula, int first,
                        int root)
{
    bool before = false;
    for (int k = first; k <= root; ++k) {
        before = before || formula.nodes[static_cast<std::size_t>(k)].kind == BEFORE;
    }
    const std::size_t edges = exploration.next.size();
    Labels labels(Position_Count(exploration));
    if (before) {
        assert(exploration.before_of.size() == exploration.parent.size() &&
               "the exploration kept the lines before each tick");
        for (Transition_Index e = 0; e < edges; ++e) {
            const Trace_Line& was = exploration.before_lines[exploration.before_of[Source_Of(e)]];
            labels[e] =
                Evaluate_Part(formula, first, root, exploration.lines[exploration.line_of[e]], was)
                    ? 1
                    : 0;
        }
    } else {
        std::vector<char> by_line(exploration.lines.size());
        for (std::size_t i = 0; i < by_line.size(); ++i) {
            const Trace_Line& line = exploration.lines[i];
            by_line[i] = Evaluate_Part(formula, first, root, line, line) ? 1 : 0;
        }
        for (Transition_Index e = 0; e < edges; ++e) {
            labels[e] = by_line[exploration.line_of[e]];
        }
    }
    const Trace_Line& start = exploration.start_line;
    labels[Start_Position(exploration)] = Evaluate_Part(formula, first, root, start, start) ? 1 : 0;
    return labels;
}

namespace
{

// For each configuration, whether `f` holds on the line of some (EX) or
// every (AX) input of the node's keys from it.
std::vector<char> Next_Holds(const Graph& graph, const Expression::Node& node, const char* f)
{
    const unsigned keys = Keys_Of(node);
    const bool some = node.kind == EX;
    std::vector<char> after(graph.Configurations());
    for (Configuration_Index c = 0; c < graph.Configurations(); ++c) {
        bool all = true;
        bool any = false;
        for (int input = 0; input < STEP_INPUTS; ++input) {
            const bool holds = f[Edge(c, input)] != 0;
            all = all && (!Pressed(keys, input) || holds);
            any = any || (Pressed(keys, input) && holds);
        }
        after[c] = (some ? any : all) ? 1 : 0;
    }
    return after;
}

// A temporal node's labels, from its operands'. The loops read and write
// through plain pointers: a store through a char may change anything a
// vector holds, and the compiler would read each vector's place again.
Labels Temporal_Labels(const Graph& graph, const Expression::Node& node, const Labels& left,
                       const Labels* right)
{
    const unsigned keys = Keys_Of(node);
    const std::size_t edges = graph.exploration().next.size();
    const Configuration_Index* const next = graph.exploration().next.data();
    const char* const f = left.data();
    const char* const g = right == nullptr ? nullptr : right->data();
    Labels labels(graph.Positions());
    char* const out = labels.data();
    // Each position's label from its own and the configuration after it.
    const auto fill = [&](auto value) {
        for (Transition_Index e = 0; e < edges; ++e) {
            out[Position_Of(e)] = value(Position_Of(e), next[e]) ? 1 : 0;
        }
        const Position_Index start = graph.Start(); // tick 0, before start-up's configuration
        out[start] = value(start, graph.After(start)) ? 1 : 0;
    };
    if (node.kind == EX || node.kind == AX) {
        const std::vector<char> after = Next_Holds(graph, node, f);
        const char* const x = after.data();
        fill([x](Position_Index, Configuration_Index c) { return x[c] != 0; });
        return labels;
    }
    // The rest in terms of E[ U ] and EG: AF f = not EG not f, AG f = not
    // EF not f, A[f U g] = not (E[not g U not f and not g] or EG not g).
    const Where holds{&left, true};
    const Where fails{&left, false};
    switch (node.kind) {
    case EF: {
        const std::vector<char> until = Exists_Until(graph, keys, {}, holds);
        const char* const u = until.data();
        fill([f, u](Position_Index p, Configuration_Index c) { return f[p] != 0 || u[c] != 0; });
        break;
    }
    case AG: {
        const std::vector<char> until = Exists_Until(graph, keys, {}, fails);
        const char* const u = until.data();
        fill([f, u](Position_Index p, Configuration_Index c) { return f[p] != 0 && u[c] == 0; });
        break;
    }
    case EG: {
        const std::vector<char> always = Exists_Always(graph, keys, holds);
        const char* const a = always.data();
        fill([f, a](Position_Index p, Configuration_Index c) { return f[p] != 0 && a[c] != 0; });
        break;
    }
    case AF: {
        const std::vector<char> always = Exists_Always(graph, keys, fails);
        const char* const a = always.data();
        fill([f, a](Position_Index p, Configuration_Index c) { return f[p] != 0 || a[c] == 0; });
        break;
    }
    case EU: {
        const std::vector<char> until = Exists_Until(graph, keys, holds, Where{right, true});
        const char* const u = until.data();
        fill([f, g, u](Position_Index p, Configuration_Index c) {
            return g[p] != 0 || (f[p] != 0 && u[c] != 0);
        });
        break;
    }
    default: {
        assert(node.kind == AU && right != nullptr);
        const Labels neither = Neither(left, *right);
        const std::vector<char> until =
            Exists_Until(graph, keys, Where{right, false}, Where{&neither});
        const std::vector<char> always = Exists_Always(graph, keys, Where{right, false});
        const char* const u = until.data();
        const char* const a = always.data();
        fill([f, g, u, a](Position_Index p, Configuration_Index c) {
            return g[p] != 0 || (f[p] != 0 && u[c] == 0 && a[c] == 0);
        });
        break;
    }
    }
    return labels;
}

} // namespace

Labels Boolean_Labels(const Expression::Node& node, const Labels& left, const Labels* right)
{
    Labels labels(left.size());
    const std::size_t size = labels.size();
    const char* const a = left.data();
    const char* const b = right == nullptr ? a : right->data();
    char* const out = labels.data();
    const auto fill = [&](auto value) {
        for (std::size_t p = 0; p < size; ++p) {
            out[p] = value(a[p] != 0, b[p] != 0) ? 1 : 0;
        }
    };
    switch (node.kind) {
    case NOT:
        fill([](bool x, bool) { return !x; });
        break;
    case AND:
        fill([](bool x, bool y) { return x && y; });
        break;
    case OR:
        fill([](bool x, bool y) { return x || y; });
        break;
    default:
        assert(node.kind == IMPLIES);
        fill([](bool x, bool y) { return !x || y; });
        break;
    }
    return labels;
}

// The labels of the nodes in `wanted`, each node they need labelled in
// order (operands first), and each freed once its one user has it unless
// it is wanted.
std::vector<Labels> Label_Nodes(const Graph& graph, const Expression& formula,
                                const std::vector<int>& wanted)
{
    const std::vector<int> first = Part_Starts(formula);
    const std::vector<char> temporal = Temporal_Inside(formula);
    std::vector<Labels> labels(formula.nodes.size());
    std::vector<char> keep(formula.nodes.size(), 0);
    int last = -1;
    for (const int node : wanted) {
        assert(node >= 0 && static_cast<std::size_t>(node) < formula.nodes.size());
        keep[static_cast<std::size_t>(node)] = 1;
        last = std::max(last, node);
    }
    // A part without temporal operators is labelled where it is used.
    Labels scratch[2];
    const auto operand = [&](int k, Labels& room) -> const Labels& {
        const auto at = static_cast<std::size_t>(k);
        if (labels[at].empty()) {
            room = Condition_Labels(graph.exploration(), formula, first[at], k);
            return room;
        }
        return labels[at];
    };
    const auto done_with = [&](int k) {
        if (k >= 0 && keep[static_cast<std::size_t>(k)] == 0) {
            Labels().swap(labels[static_cast<std::size_t>(k)]);
        }
    };
    for (int k = 0; k <= last; ++k) {
        const auto at = static_cast<std::size_t>(k);
        const Expression::Node& n = formula.nodes[at];
        if (temporal[at] == 0) {
            if (keep[at] != 0) {
                labels[at] = Condition_Labels(graph.exploration(), formula, first[at], k);
            }
            continue;
        }
        const Labels& left = operand(n.left, scratch[0]);
        const Labels* right = n.right >= 0 ? &operand(n.right, scratch[1]) : nullptr;
        labels[at] = Is_Temporal(n.kind) ? Temporal_Labels(graph, n, left, right)
                                         : Boolean_Labels(n, left, right);
        done_with(n.left);
        done_with(n.right);
    }
    std::vector<Labels> found(wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        found[i] = labels[static_cast<std::size_t>(wanted[i])];
    }
    return found;
}

Labels Label_In(const Graph& graph, const Expression& formula, int node)
{
    return std::move(Label_Nodes(graph, formula, {node}).front());
}

std::size_t Position_Count(const Exploration& exploration)
{
    return exploration.next.size() + 1;
}

Position_Index Start_Position(const Exploration& exploration)
{
    return exploration.next.size();
}

void Restrict_Keys(Expression& formula, unsigned keys)
{
    for (Expression::Node& node : formula.nodes) {
        if (Is_Temporal(node.kind)) {
            node.keys = keys;
        }
    }
}

Labels Label(const Exploration& exploration, const Expression& formula, int node)
{
    Graph graph(exploration);
    return Label_In(graph, formula, node);
}

std::vector<Labels> Label(const Exploration& exploration, const Expression& formula,
                          const std::vector<int>& nodes)
{
    Graph graph(exploration);
    return Label_Nodes(graph, formula, nodes);
}
