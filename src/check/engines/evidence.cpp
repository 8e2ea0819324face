// A formula's evidence at tick 0: a script for its outermost temporal
// operator; then, where that script ends, a script for each operator
// nested inside it that decides it there, continuing from that tick; and
// so on down to the innermost.
#include <algorithm>
#include <cassert>
#include <string_view>

#include "check/engines/ctl.h"
#include "check/engines/graph.h"

namespace
{

using enum Expression::Kind;

// The position that `script`, taken from position `from`, ends on.
Position_Index Walk(const Graph& graph, Position_Index from, std::string_view script)
{
    Position_Index at = from;
    for (const char byte : script) {
        at = Position_Of(Edge(graph.After(at), Input_Of_Byte(byte)));
    }
    return at;
}

// The shortest script from position `from`, on `keys`, through positions
// in `through` to one in `target`, and the position it ends on; false when
// there is none.
bool Shortest_Script(const Graph& graph, Position_Index from, unsigned keys, Where through,
                     Where target, std::string& script, Position_Index& end)
{
    script.clear();
    end = from;
    if (target.Has(from)) {
        return true;
    }
    if (!through.Has(from)) {
        return false;
    }
    // The transition into each configuration met, by configuration.
    constexpr Transition_Index ROOT = UNSEEN - 1; // where the search starts: none
    std::vector<Transition_Index> way_in(graph.Configurations(), UNSEEN);
    std::vector<Configuration_Index> queue{graph.After(from)};
    way_in[queue[0]] = ROOT;
    const auto script_to = [&](Configuration_Index c, Transition_Index last) {
        std::string backwards(1, Script_Byte(Input_Of(last)));
        for (; way_in[c] != ROOT; c = Source_Of(way_in[c])) {
            backwards.push_back(Script_Byte(Input_Of(way_in[c])));
        }
        return std::string(backwards.rbegin(), backwards.rend());
    };
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const Configuration_Index c = queue[i];
        for (int input = 0; input < STEP_INPUTS; ++input) {
            const Transition_Index edge = Edge(c, input);
            if (!Pressed(keys, input)) {
                continue;
            }
            if (target.Has(Position_Of(edge))) {
                script = script_to(c, edge);
                end = Position_Of(edge);
                return true;
            }
            const Configuration_Index to = graph.exploration().next[edge];
            if (through.Has(Position_Of(edge)) && way_in[to] == UNSEEN) {
                way_in[to] = edge;
                queue.push_back(to);
            }
        }
    }
    return false;
}

// A lasso as short as it comes from position `from`, staying in `within`
// on `keys`; one exists.
Lasso Lasso_From(const Graph& graph, Position_Index from, unsigned keys, Where within)
{
    assert(within.Has(from) && "the lasso's first line is on it");
    Labels follow(graph.exploration().next.size()); // by transition
    for (Transition_Index e = 0; e < follow.size(); ++e) {
        follow[e] = Pressed(keys, Input_Of(e)) && within.Has(Position_Of(e)) ? 1 : 0;
    }
    return Shortest_Lasso(graph.exploration(), graph.After(from), follow);
}

// Labels a formula's temporal operators once, and answers from them what
// each piece of evidence needs: an operand's labels everywhere, and which
// operators decide a part at one position.
class Search
{
  public:
    Search(const Graph& graph, const Expression& formula)
        : graph_(graph), formula_(formula), first_(Part_Starts(formula)),
          inside_(Temporal_Inside(formula)), temporal_(formula.nodes.size())
    {
        std::vector<int> wanted;
        for (std::size_t k = 0; k < formula.nodes.size(); ++k) {
            if (Is_Temporal(formula.nodes[k].kind)) {
                wanted.push_back(static_cast<int>(k));
            }
        }
        std::vector<Labels> found = Label_Nodes(graph, formula, wanted);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            temporal_[static_cast<std::size_t>(wanted[i])] = std::move(found[i]);
        }
    }

    // Whether node `node` holds at position `p`.
    bool Holds(int node, Position_Index p) const
    {
        return Values_At(p, node)[static_cast<std::size_t>(node)] != 0;
    }

    // The evidence for temporal node `node` at position `from`, with the
    // evidence of the operators nested inside that decide it where it ends.
    Ctl_Evidence For(int node, Position_Index from) const;

  private:
    const Expression::Node& Node_At(int k) const
    {
        return formula_.nodes[static_cast<std::size_t>(k)];
    }
    bool Inside(int k) const
    {
        return inside_[static_cast<std::size_t>(k)] != 0;
    }
    // The value at `p` of every node up to `last` that holds a temporal
    // operator; a condition is evaluated where it is used.
    std::vector<char> Values_At(Position_Index p, int last) const;
    bool Condition_At(int k, Position_Index p) const;
    Labels Everywhere(int node) const;
    std::vector<int> Deciding(const std::vector<int>& parts, Position_Index p) const;

    const Graph& graph_;
    const Expression& formula_;
    std::vector<int> first_;
    std::vector<char> inside_;
    std::vector<Labels> temporal_; // by node: the temporal operators' labels
};

bool Search::Condition_At(int k, Position_Index p) const
{
    const Exploration& exploration = graph_.exploration();
    const bool start = p == graph_.Start();
    const Trace_Line& line =
        start ? exploration.start_line : exploration.lines[exploration.line_of[p]];
    const Trace_Line& before = !start && formula_.uses_before
                                   ? exploration.before_lines[exploration.before_of[Source_Of(p)]]
                                   : line;
    return Evaluate_Part(formula_, first_[static_cast<std::size_t>(k)], k, line, before);
}

std::vector<char> Search::Values_At(Position_Index p, int last) const
{
    std::vector<char> value(formula_.nodes.size(), 0);
    const auto of = [&](int k) {
        return Inside(k) ? value[static_cast<std::size_t>(k)] != 0 : Condition_At(k, p);
    };
    for (int k = 0; k <= last; ++k) {
        const Expression::Node& n = Node_At(k);
        bool holds = false;
        if (!Inside(k)) {
            continue;
        }
        if (Is_Temporal(n.kind)) {
            holds = temporal_[static_cast<std::size_t>(k)][p] != 0;
        } else if (n.kind == NOT) {
            holds = !of(n.left);
        } else {
            const bool a = of(n.left);
            const bool b = of(n.right);
            holds = n.kind == AND ? a && b : n.kind == OR ? a || b : !a || b;
        }
        value[static_cast<std::size_t>(k)] = holds ? 1 : 0;
    }
    if (!Inside(last)) {
        value[static_cast<std::size_t>(last)] = Condition_At(last, p) ? 1 : 0;
    }
    return value;
}

// Node `node`'s labels at every position, from the temporal operators'.
Labels Search::Everywhere(int node) const
{
    if (!Inside(node)) {
        return Condition_Labels(graph_.exploration(), formula_,
                                first_[static_cast<std::size_t>(node)], node);
    }
    if (Is_Temporal(Node_At(node).kind)) {
        return temporal_[static_cast<std::size_t>(node)];
    }
    // The boolean nodes above the temporal ones, operands first.
    std::vector<int> needed;
    for (std::vector<int> open{node}; !open.empty();) {
        const int k = open.back();
        open.pop_back();
        if (Inside(k) && !Is_Temporal(Node_At(k).kind)) {
            needed.push_back(k);
            open.push_back(Node_At(k).left);
            if (Node_At(k).right >= 0) {
                open.push_back(Node_At(k).right);
            }
        }
    }
    std::sort(needed.begin(), needed.end());
    std::vector<Labels> made(formula_.nodes.size());
    const auto take = [&](int k) {
        if (k < 0) {
            return Labels{};
        }
        const auto at = static_cast<std::size_t>(k);
        if (Inside(k) && !Is_Temporal(Node_At(k).kind)) {
            return std::move(made[at]);
        }
        return Everywhere(k); // a temporal operator or a condition: no deeper than one call
    };
    for (const int k : needed) {
        const Labels left = take(Node_At(k).left);
        const Labels right = take(Node_At(k).right);
        made[static_cast<std::size_t>(k)] =
            Boolean_Labels(Node_At(k), left, right.empty() ? nullptr : &right);
    }
    return std::move(made[static_cast<std::size_t>(node)]);
}

// The temporal operators that decide `parts` at `p`, outermost first: for
// a part that holds or fails because all its operands do, each; because
// one does, that one, or none when a condition is one.
std::vector<int> Search::Deciding(const std::vector<int>& parts, Position_Index p) const
{
    if (parts.empty()) {
        return {};
    }
    const std::vector<char> value = Values_At(p, *std::max_element(parts.begin(), parts.end()));
    const auto holds = [&](int k) {
        return Inside(k) ? value[static_cast<std::size_t>(k)] != 0 : Condition_At(k, p);
    };
    std::vector<int> deciding;
    std::vector<int> open(parts.rbegin(), parts.rend());
    while (!open.empty()) {
        const int k = open.back();
        open.pop_back();
        if (!Inside(k)) {
            continue;
        }
        const Expression::Node& n = Node_At(k);
        if (Is_Temporal(n.kind) || n.kind == NOT) {
            if (Is_Temporal(n.kind)) {
                deciding.push_back(k);
            } else {
                open.push_back(n.left);
            }
            continue;
        }
        // Which value of each operand alone would decide the node as it stands.
        const bool v = holds(k);
        const bool one = n.kind == AND ? !v : v; // one operand suffices
        const bool left_decides = n.kind == AND  ? !holds(n.left)
                                  : n.kind == OR ? holds(n.left)
                                                 : !holds(n.left);
        const bool right_decides = n.kind == AND ? !holds(n.right) : holds(n.right);
        if (!one) {
            open.push_back(n.right);
            open.push_back(n.left);
        } else if ((left_decides && !Inside(n.left)) || (right_decides && !Inside(n.right))) {
            continue; // a condition decides it: nothing over time to show
        } else {
            open.push_back(left_decides ? n.left : n.right);
        }
    }
    return deciding;
}

Ctl_Evidence Search::For(int node, Position_Index from) const
{
    const Expression::Node& n = Node_At(node);
    const unsigned keys = Keys_Of(n);
    const bool holds = temporal_[static_cast<std::size_t>(node)][from] != 0;
    Ctl_Evidence evidence{
        holds ? "witness" : "counterexample", "", "", false, Temporal_Name(n.kind), true, {}};
    evidence.operator_name += n.kind == EU || n.kind == AU ? "[ U ]" : "";
    // An A that holds, or an E that fails, is about every script: none shows it.
    evidence.shown = holds == (n.kind == EX || n.kind == EF || n.kind == EG || n.kind == EU);
    if (!evidence.shown) {
        return evidence;
    }
    const Labels left = Everywhere(n.left);
    const Labels right = n.right >= 0 ? Everywhere(n.right) : Labels{};
    const Where f{&left, true};
    const Where not_f{&left, false};
    Position_Index end = from;
    std::vector<int> parts{n.left}; // the operands that decide it where it ends
    const auto script = [&](Where through, Where target) {
        const bool found =
            Shortest_Script(graph_, from, keys, through, target, evidence.script, end);
        assert(found && "the labels say that one exists");
        (void)found;
    };
    const auto lasso = [&](Where within) {
        Lasso found = Lasso_From(graph_, from, keys, within);
        end = Walk(graph_, from, found.prefix);
        evidence.script = std::move(found.prefix);
        evidence.loop = std::move(found.loop);
        evidence.lasso = true;
    };
    switch (n.kind) {
    case EX:
    case AX: {
        const Where then = n.kind == EX ? f : not_f;
        int input = 0;
        while (!Pressed(keys, input) || !then.Has(Edge(graph_.After(from), input))) {
            ++input;
            assert(input < STEP_INPUTS && "the labels say that one exists");
        }
        evidence.script = std::string(1, Script_Byte(input));
        end = Position_Of(Edge(graph_.After(from), input));
        break;
    }
    case EF:
        script({}, f);
        break;
    case AG:
        script({}, not_f);
        break;
    case EG:
        lasso(f);
        break;
    case AF:
        lasso(not_f);
        break;
    case EU:
        script(f, Where{&right, true});
        parts = {n.right};
        break;
    default: {
        assert(n.kind == AU);
        // Never g: either f fails first, or g never comes.
        const Labels neither = Neither(left, right);
        if (Shortest_Script(graph_, from, keys, Where{&right, false}, Where{&neither},
                            evidence.script, end)) {
            parts = {n.left, n.right};
        } else {
            lasso(Where{&right, false});
            parts = {n.right};
        }
        break;
    }
    }
    for (const int inner : Deciding(parts, end)) {
        evidence.nested.push_back(For(inner, end));
    }
    return evidence;
}

} // namespace

Ctl_Answer Judge_Formula(const Exploration& exploration, const Expression& formula)
{
    const Graph graph(exploration);
    const Search search(graph, formula);
    const Position_Index start = Start_Position(exploration);
    Ctl_Answer answer;
    answer.holds = search.Holds(formula.root, start);
    // Under nots, the operator that the answer turns on.
    int node = formula.root;
    while (formula.nodes[static_cast<std::size_t>(node)].kind == NOT) {
        node = formula.nodes[static_cast<std::size_t>(node)].left;
    }
    if (!Is_Temporal(formula.nodes[static_cast<std::size_t>(node)].kind)) {
        return answer;
    }
    Ctl_Evidence evidence = search.For(node, start);
    answer.outermost = evidence.operator_name;
    if (evidence.shown) {
        evidence.role = answer.holds ? "witness" : "counterexample";
        answer.evidence.push_back(std::move(evidence));
    }
    return answer;
}
