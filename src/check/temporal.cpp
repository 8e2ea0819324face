#include "check/temporal.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <limits>
#include <tuple>

namespace
{

// What a walk does with a transition: leaves it out, takes it as its last
// tick, or takes it and goes on.
enum Step : unsigned char { SKIP, END, FOLLOW };

constexpr unsigned char WHITE = 0; // not met yet
constexpr unsigned char GREY = 1;  // on the walk's stack
constexpr unsigned char BLACK = 2; // done: no loop of FOLLOW steps from here
constexpr signed char NO_INPUT = -1;

// Depth first over the FOLLOW steps, shared by every walk of one query:
// for each configuration done, the fewest and the most ticks until a walk
// from it ends, and the input that takes each; or a loop of FOLLOW steps.
struct Walk {
    explicit Walk(std::size_t configurations)
        : colour(configurations, WHITE), fewest(configurations), most(configurations),
          fewest_by(configurations, NO_INPUT), most_by(configurations, NO_INPUT)
    {
    }
    std::vector<unsigned char> colour;
    std::vector<std::uint32_t> fewest;
    std::vector<std::uint32_t> most;
    std::vector<signed char> fewest_by;
    std::vector<signed char> most_by;
    // The lasso found: from the walk's root to the loop, then the loop.
    std::string prefix;
    std::string loop;
};

template <class Classify>
void Finish(const Exploration& exploration, std::uint32_t at, Classify classify, Walk& walk)
{
    std::uint32_t fewest = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t most = 0;
    bool any = false;
    for (int input = 0; input < STEP_INPUTS; ++input) {
        const std::size_t edge = Edge(at, input);
        const Step step = classify(edge);
        if (step == SKIP) {
            continue;
        }
        const std::uint32_t ticks = step == END ? 1 : 1 + walk.most[exploration.next[edge]];
        const std::uint32_t least = step == END ? 1 : 1 + walk.fewest[exploration.next[edge]];
        if (!any || least < fewest) {
            fewest = least;
            walk.fewest_by[at] = static_cast<signed char>(input);
        }
        if (!any || ticks > most) {
            most = ticks;
            walk.most_by[at] = static_cast<signed char>(input);
        }
        any = true;
    }
    walk.fewest[at] = any ? fewest : 0;
    walk.most[at] = most;
    walk.colour[at] = BLACK;
}

// Walks from `root`; false, with the lasso in `walk`, when a loop of FOLLOW
// steps is reached. The stack is the program's own: a walk may be
// thousands of ticks long.
template <class Classify>
bool Walk_From(const Exploration& exploration, std::uint32_t root, Classify classify, Walk& walk)
{
    if (walk.colour[root] == BLACK) {
        return true;
    }
    struct Frame {
        std::uint32_t at;
        int input; // the next to try; the one taken is input - 1
    };
    std::vector<Frame> stack{{root, 0}};
    walk.colour[root] = GREY;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.input == STEP_INPUTS) {
            Finish(exploration, top.at, classify, walk);
            stack.pop_back();
            continue;
        }
        const int input = top.input++;
        const std::size_t edge = Edge(top.at, input);
        if (classify(edge) != FOLLOW) {
            continue;
        }
        const std::uint32_t to = exploration.next[edge];
        if (walk.colour[to] == GREY) {
            walk.prefix.clear();
            walk.loop.clear();
            bool in_loop = false;
            for (const Frame& frame : stack) {
                in_loop = in_loop || frame.at == to;
                (in_loop ? walk.loop : walk.prefix).push_back(Script_Byte(frame.input - 1));
            }
            return false;
        }
        if (walk.colour[to] == WHITE) {
            walk.colour[to] = GREY;
            stack.push_back({to, 0});
        }
    }
    return true;
}

// The lasso of the transitions that `steps` marks FOLLOW, into `walk`.
void Shortest_Lasso(const Exploration& exploration, std::uint32_t root,
                    const std::vector<Step>& steps, Walk& walk)
{
    Labels follow(steps.size());
    std::transform(steps.begin(), steps.end(), follow.begin(),
                   [](Step step) { return step == FOLLOW ? 1 : 0; });
    Lasso lasso = Shortest_Lasso(exploration, root, follow);
    walk.prefix = std::move(lasso.prefix);
    walk.loop = std::move(lasso.loop);
}

// The inputs a walk from `at` takes to its fewest or most ticks.
template <class Classify>
std::string Follow(const Exploration& exploration, const Walk& walk, std::uint32_t at, bool most,
                   Classify classify)
{
    std::string script;
    for (;;) {
        const signed char input = most ? walk.most_by[at] : walk.fewest_by[at];
        if (input == NO_INPUT) {
            return script;
        }
        script.push_back(Script_Byte(input));
        const std::size_t edge = Edge(at, input);
        if (classify(edge) == END) {
            return script;
        }
        at = exploration.next[edge];
    }
}

} // namespace

Expression Formula_Of(const Temporal_Query& query)
{
    using enum Expression::Kind;
    switch (query.kind) {
    case Temporal_Kind::INEVITABLE:
        return Apply(AX, Apply(AF, query.condition, query.keys), query.keys);
    case Temporal_Kind::FOREVER:
        return Apply(EX, Apply(EG, query.condition, query.keys), query.keys);
    case Temporal_Kind::LEADS_TO:
        break;
    }
    // P lines on any script; Q after them on the keys asked.
    return Apply(AX,
                 Apply(AG, Combine(IMPLIES, query.from, Apply(AF, query.condition, query.keys))));
}

namespace
{

// The fewest and most ticks from each P line to a Q line, and the first
// such from a P line met; the leads-to holds.
void Leads_To_Bounds(const Exploration& exploration, const Labels& from, const Labels& satisfied,
                     const std::vector<Step>& until_steps, Temporal_Answer& answer)
{
    const auto until = [&until_steps](std::size_t edge) { return until_steps[edge]; };
    Walk walk(exploration.parent.size());
    struct Bound {
        bool found = false;
        long ticks = 0;
        std::size_t edge = 0;
    };
    Bound fewest;
    Bound most;
    for (std::size_t edge = 0; edge < exploration.next.size(); ++edge) {
        if (from[edge] == 0) {
            continue;
        }
        const std::uint32_t to = exploration.next[edge];
        const bool here = satisfied[edge] != 0;
        if (!here) {
            [[maybe_unused]] const bool ends = Walk_From(exploration, to, until, walk);
            assert(ends && "Q comes after every P line: the leads-to holds");
        }
        const long least = here ? 0 : static_cast<long>(walk.fewest[to]);
        const long longest = here ? 0 : static_cast<long>(walk.most[to]);
        if (!fewest.found || least < fewest.ticks) {
            fewest = {true, least, edge};
        }
        if (!most.found || longest > most.ticks) {
            most = {true, longest, edge};
        }
    }
    answer.bounded = fewest.found;
    if (!fewest.found) {
        return; // no P line at all
    }
    answer.fewest = fewest.ticks;
    answer.most = most.ticks;
    for (const auto& [role, bound, longest] :
         {std::tuple{"fewest", fewest, false}, std::tuple{"most", most, true}}) {
        const auto at = static_cast<std::uint32_t>(bound.edge / STEP_INPUTS);
        const int input = static_cast<int>(bound.edge % STEP_INPUTS);
        const std::string way_in = Script_To(exploration, at) + Script_Byte(input);
        const std::string after =
            satisfied[bound.edge] != 0
                ? ""
                : Follow(exploration, walk, exploration.next[bound.edge], longest, until);
        answer.evidence.push_back(
            {role, way_in + after, "", false, static_cast<long>(way_in.size()), {}});
    }
}

// `from`: where P holds; `comes`: where AF Q does.
Temporal_Answer Leads_To(const Exploration& exploration, bool holds, const Labels& from,
                         const Labels& comes, const Labels& satisfied,
                         const std::vector<Step>& until_steps)
{
    Temporal_Answer answer;
    answer.holds = holds;
    if (answer.holds) {
        Leads_To_Bounds(exploration, from, satisfied, until_steps, answer);
        return answer;
    }
    // The first P line met, so that it has a shortest way in, after which
    // Q need never come.
    std::size_t edge = 0;
    while (from[edge] == 0 || comes[edge] != 0) {
        ++edge;
        assert(edge < exploration.next.size() && "the leads-to fails somewhere");
    }
    Walk walk(exploration.parent.size());
    Shortest_Lasso(exploration, exploration.next[edge], until_steps, walk);
    const auto at = static_cast<std::uint32_t>(edge / STEP_INPUTS);
    const std::string way_in =
        Script_To(exploration, at) + Script_Byte(static_cast<int>(edge % STEP_INPUTS));
    answer.evidence.push_back({"counterexample",
                               way_in + walk.prefix,
                               walk.loop,
                               true,
                               static_cast<long>(way_in.size()),
                               {}});
    return answer;
}

} // namespace

Temporal_Answer Answer(const Exploration& exploration, const Temporal_Query& query)
{
    // The verdict, and the condition's labels, in one labelling of the
    // formula; for a leads-to, P's and AF Q's too. Formula_Of puts P's
    // nodes first, then Q's, then AF.
    const bool leads_to = query.kind == Temporal_Kind::LEADS_TO;
    const Expression formula = Formula_Of(query);
    const int shift = leads_to ? static_cast<int>(query.from.nodes.size()) : 0;
    const int after = shift + static_cast<int>(query.condition.nodes.size());
    std::vector<int> nodes = {formula.root, shift + query.condition.root};
    if (leads_to) {
        nodes.insert(nodes.end(), {query.from.root, after});
        assert(formula.nodes[static_cast<std::size_t>(after)].kind == Expression::AF);
    }
    const std::vector<Labels> labels = Label(exploration, formula, nodes);
    const bool holds = labels[0][Start_Position(exploration)] != 0;
    const Labels& satisfied = labels[1];
    // A walk asks for a transition's step more than once, and there are a
    // million transitions: each step is worked out once, in one pass.
    const auto steps_of = [&](auto step_of) {
        std::vector<Step> steps(exploration.next.size());
        for (std::size_t edge = 0; edge < steps.size(); ++edge) {
            const bool pressed = (query.keys >> (edge % STEP_INPUTS) & 1U) != 0;
            steps[edge] = pressed ? step_of(satisfied[edge] != 0) : SKIP;
        }
        return steps;
    };
    // Until the condition: it ends a walk; without it the walk goes on.
    // Forever: the walk goes on while it holds.
    const bool forever = query.kind == Temporal_Kind::FOREVER;
    const std::vector<Step> steps = forever ? steps_of([](bool met) { return met ? FOLLOW : SKIP; })
                                            : steps_of([](bool met) { return met ? END : FOLLOW; });
    if (leads_to) {
        return Leads_To(exploration, holds, labels[2], labels[3], satisfied, steps);
    }
    const auto step = [&steps](std::size_t edge) { return steps[edge]; };
    Temporal_Answer answer;
    answer.holds = holds;
    Walk walk(exploration.parent.size());
    // Inevitable fails, or forever is met: a lasso shows it.
    if (answer.holds == forever) {
        Shortest_Lasso(exploration, 0, steps, walk);
        answer.evidence.push_back(
            {forever ? "witness" : "counterexample", walk.prefix, walk.loop, true, 0, {}});
        return answer;
    }
    [[maybe_unused]] const bool ends = Walk_From(exploration, 0, step, walk);
    assert(ends && "no loop: every walk ends");
    answer.bounded = true;
    answer.most = static_cast<long>(walk.most[0]);
    if (forever) {
        answer.fewest = answer.most; // one number: the longest run from tick 1
        answer.evidence.push_back(
            {"most", Follow(exploration, walk, 0, true, step), "", false, 0, {}});
        return answer;
    }
    answer.fewest = static_cast<long>(walk.fewest[0]);
    answer.evidence.push_back(
        {"fewest", Follow(exploration, walk, 0, false, step), "", false, 0, {}});
    answer.evidence.push_back({"most", Follow(exploration, walk, 0, true, step), "", false, 0, {}});
    return answer;
}
