#include <algorithm>
#include <cassert>
#include <optional>

#include "check/ctl.h"
#include "check/graph.h"

namespace
{

using enum Expression::Kind;

// The shortest script from tick 0, on `keys`, through positions in
// `through` (all, when null) to one in `target`; none when there is none.
std::optional<std::string> Shortest_Script(const Graph& graph, unsigned keys, Where through,
                                           Where target)
{
    const std::size_t start = graph.Positions() - 1;
    if (target.Has(start)) {
        return std::string{};
    }
    if (!through.Has(start)) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> way_in(graph.Configurations(), UNSEEN); // the edge, by configuration
    std::vector<std::uint32_t> queue{0};
    way_in[0] = UNSEEN - 1; // start-up: no edge
    const auto script_to = [&](std::uint32_t c, std::size_t last) {
        std::string script(1, Script_Byte(static_cast<int>(last % STEP_INPUTS)));
        for (; way_in[c] != UNSEEN - 1; c = way_in[c] / STEP_INPUTS) {
            script.push_back(Script_Byte(static_cast<int>(way_in[c] % STEP_INPUTS)));
        }
        return std::string(script.rbegin(), script.rend());
    };
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const std::uint32_t c = queue[i];
        for (int input = 0; input < STEP_INPUTS; ++input) {
            const std::size_t edge = Edge(c, input);
            if (!Pressed(keys, input)) {
                continue;
            }
            if (target.Has(edge)) {
                return script_to(c, edge);
            }
            const std::uint32_t to = graph.After(edge);
            if (through.Has(edge) && way_in[to] == UNSEEN) {
                way_in[to] = static_cast<std::uint32_t>(edge);
                queue.push_back(to);
            }
        }
    }
    return std::nullopt;
}

// A lasso from tick 0 that stays in `within` on `keys`; one exists.
Ctl_Evidence Lasso_Within(const Graph& graph, unsigned keys, Where within, const char* role)
{
    assert(within.Has(graph.Positions() - 1) && "tick 0 is on it");
    Labels follow(graph.Positions() - 1);
    for (std::size_t e = 0; e < follow.size(); ++e) {
        follow[e] = Pressed(keys, static_cast<int>(e % STEP_INPUTS)) && within.Has(e) ? 1 : 0;
    }
    Lasso lasso = Shortest_Lasso(graph.exploration(), 0, follow);
    return {role, std::move(lasso.prefix), std::move(lasso.loop), true};
}

// The evidence for `node` standing as `holds` at tick 0, if a script shows it.
std::vector<Ctl_Evidence> Evidence(const Graph& graph, const Expression& formula, int node,
                                   bool holds, const char* role)
{
    const Expression::Node& n = formula.nodes[static_cast<std::size_t>(node)];
    const unsigned keys = Keys_Of(n);
    const Labels left = Label_In(graph, formula, n.left);
    const Where f{&left, true};
    const Where not_f{&left, false};
    const auto script = [&](Where through, Where target) {
        const std::optional<std::string> found = Shortest_Script(graph, keys, through, target);
        assert(found && "the labels say that one exists");
        return std::vector<Ctl_Evidence>{{role, *found, "", false}};
    };
    const auto lasso = [&](Where within) {
        return std::vector<Ctl_Evidence>{Lasso_Within(graph, keys, within, role)};
    };
    // An A that holds, or an E that fails, is about every script: none shows it.
    const bool shown = holds == (n.kind == EX || n.kind == EF || n.kind == EG || n.kind == EU);
    if (!shown) {
        return {};
    }
    switch (n.kind) {
    case EX:
    case AX: {
        // The one tick after start-up.
        int input = 0;
        while (!Pressed(keys, input) || !(n.kind == EX ? f : not_f).Has(Edge(0, input))) {
            ++input;
            assert(input < STEP_INPUTS && "the labels say that one exists");
        }
        return {{role, std::string(1, Script_Byte(input)), "", false}};
    }
    case EF:
        return script({}, f);
    case AG:
        return script({}, not_f);
    case EG:
        return lasso(f);
    case AF:
        return lasso(not_f);
    case EU: {
        const Labels right = Label_In(graph, formula, n.right);
        return script(f, Where{&right, true});
    }
    default: {
        assert(n.kind == AU);
        // Never g: either f fails first, or g never comes.
        const Labels right = Label_In(graph, formula, n.right);
        const Labels neither = Neither(left, right);
        const std::optional<std::string> found =
            Shortest_Script(graph, keys, Where{&right, false}, Where{&neither});
        return found ? std::vector<Ctl_Evidence>{{role, *found, "", false}}
                     : lasso(Where{&right, false});
    }
    }
}

} // namespace

Ctl_Answer Judge_Formula(const Exploration& exploration, const Expression& formula)
{
    Graph graph(exploration);
    Ctl_Answer answer;
    answer.holds = Label_In(graph, formula, formula.root)[Start_Position(exploration)] != 0;
    // Under nots, the operator that the answer turns on.
    int node = formula.root;
    while (formula.nodes[static_cast<std::size_t>(node)].kind == NOT) {
        node = formula.nodes[static_cast<std::size_t>(node)].left;
    }
    const Expression::Node& top = formula.nodes[static_cast<std::size_t>(node)];
    if (!Is_Temporal(top.kind)) {
        return answer;
    }
    answer.outermost = Temporal_Name(top.kind);
    answer.outermost += top.kind == EU || top.kind == AU ? "[ U ]" : "";
    const std::vector<char> inside = Temporal_Inside(formula);
    const auto of = [&inside](int operand) {
        return operand >= 0 && inside[static_cast<std::size_t>(operand)] != 0;
    };
    answer.nested = of(top.left) || of(top.right);
    const bool top_holds = Label_In(graph, formula, node)[Start_Position(exploration)] != 0;
    answer.evidence =
        Evidence(graph, formula, node, top_holds, answer.holds ? "witness" : "counterexample");
    return answer;
}
