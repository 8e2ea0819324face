#include "check/temporal.h"

#include <algorithm>
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

std::size_t Edge(std::uint32_t configuration, int input)
{
    return std::size_t{configuration} * STEP_INPUTS + static_cast<std::size_t>(input);
}

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

// A lasso as short as it comes: the fewest ticks from `root` to a
// configuration on a loop of FOLLOW steps, then the shortest loop through
// it. Called once one is known to exist.
template <class Classify>
void Shortest_Lasso(const Exploration& exploration, std::uint32_t root, Classify classify,
                    Walk& walk)
{
    constexpr std::uint32_t UNSEEN = std::numeric_limits<std::uint32_t>::max();
    const std::size_t count = exploration.parent.size();
    const auto step = [&](std::uint32_t at, int input) {
        return classify(Edge(at, input)) == FOLLOW ? exploration.next[Edge(at, input)] : UNSEEN;
    };
    // Breadth first from `first`, within `keep`: the order met and the way
    // in to each, as (from, input).
    std::vector<std::uint32_t> from(count, UNSEEN);
    std::vector<signed char> by(count, NO_INPUT);
    const auto breadth_first = [&](std::uint32_t first, auto keep) {
        std::vector<std::uint32_t> order{first};
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (int input = 0; input < STEP_INPUTS; ++input) {
                const std::uint32_t to = step(order[i], input);
                if (to != UNSEEN && to != first && from[to] == UNSEEN && keep(to)) {
                    from[to] = order[i];
                    by[to] = static_cast<signed char>(input);
                    order.push_back(to);
                }
            }
        }
        return order;
    };
    const auto way = [&](std::uint32_t begin, std::uint32_t end) {
        std::string script;
        for (std::uint32_t at = end; at != begin; at = from[at]) {
            script.push_back(Script_Byte(by[at]));
        }
        return std::string(script.rbegin(), script.rend());
    };
    const std::vector<std::uint32_t> order =
        breadth_first(root, [](std::uint32_t) { return true; });

    // Tarjan's components of what was met, without recursion.
    std::vector<std::uint32_t> index(count, UNSEEN);
    std::vector<std::uint32_t> low(count, 0);
    std::vector<std::uint32_t> component(count, UNSEEN);
    std::vector<std::uint32_t> open;
    std::uint32_t next_index = 0;
    struct Frame {
        std::uint32_t at;
        int input;
    };
    std::vector<Frame> calls;
    for (const std::uint32_t first : order) {
        if (index[first] != UNSEEN) {
            continue;
        }
        calls.push_back({first, 0});
        index[first] = low[first] = next_index++;
        open.push_back(first);
        while (!calls.empty()) {
            Frame& top = calls.back();
            if (top.input < STEP_INPUTS) {
                const std::uint32_t to = step(top.at, top.input++);
                if (to == UNSEEN) {
                    continue;
                }
                if (index[to] == UNSEEN) {
                    index[to] = low[to] = next_index++;
                    open.push_back(to);
                    calls.push_back({to, 0});
                } else if (component[to] == UNSEEN) {
                    low[top.at] = std::min(low[top.at], index[to]);
                }
                continue;
            }
            const std::uint32_t at = top.at;
            calls.pop_back();
            if (!calls.empty()) {
                low[calls.back().at] = std::min(low[calls.back().at], low[at]);
            }
            if (low[at] == index[at]) {
                std::uint32_t member = UNSEEN;
                while (member != at) {
                    member = open.back();
                    open.pop_back();
                    component[member] = at;
                }
            }
        }
    }
    // The first met that is on a loop: it steps to itself, or to another
    // of its component (whose members all reach each other).
    for (const std::uint32_t at : order) {
        bool looped = false;
        for (int input = 0; input < STEP_INPUTS && !looped; ++input) {
            const std::uint32_t to = step(at, input);
            looped = to != UNSEEN && component[to] == component[at];
        }
        if (!looped) {
            continue;
        }
        walk.prefix = way(root, at);
        // The shortest way round, within the component, back to `at`.
        std::fill(from.begin(), from.end(), UNSEEN);
        const auto inside = [&](std::uint32_t to) { return component[to] == component[at]; };
        const std::vector<std::uint32_t> round = breadth_first(at, inside);
        walk.loop.clear();
        for (const std::uint32_t last : round) { // in order of distance: the first is shortest
            int input = 0;
            while (input < STEP_INPUTS && step(last, input) != at) {
                ++input;
            }
            if (input < STEP_INPUTS) {
                walk.loop = way(at, last) + Script_Byte(input);
                break;
            }
        }
        return;
    }
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

std::vector<char> Truth(const Exploration& exploration, const Expression& expression)
{
    std::vector<char> truth;
    truth.reserve(exploration.lines.size());
    for (const Trace_Line& line : exploration.lines) {
        truth.push_back(Evaluate(expression, line) ? 1 : 0);
    }
    return truth;
}

} // namespace

Temporal_Answer Answer(const Exploration& exploration, const Temporal_Query& query)
{
    const std::vector<char> holds = Truth(exploration, query.condition);
    const auto satisfies = [&](std::size_t edge) { return holds[exploration.line_of[edge]] != 0; };
    // A walk asks for a transition's step more than once, and there are a
    // million transitions: each step is worked out once, in one pass.
    const auto steps_of = [&](auto step_of) {
        std::vector<Step> steps(exploration.next.size());
        for (std::uint32_t at = 0; at < exploration.parent.size(); ++at) {
            for (int input = 0; input < STEP_INPUTS; ++input) {
                const std::size_t edge = Edge(at, input);
                steps[edge] = (query.keys >> input & 1U) == 0 ? SKIP : step_of(satisfies(edge));
            }
        }
        return steps;
    };
    // Until the condition: it ends a walk; without it the walk goes on.
    const std::vector<Step> until_steps =
        query.kind == Temporal_Kind::FOREVER
            ? std::vector<Step>{}
            : steps_of([](bool satisfied) { return satisfied ? END : FOLLOW; });
    const auto until = [&until_steps](std::size_t edge) { return until_steps[edge]; };
    Walk walk(exploration.parent.size());
    Temporal_Answer answer;

    if (query.kind == Temporal_Kind::INEVITABLE) {
        answer.holds = Walk_From(exploration, 0, until, walk);
        if (!answer.holds) {
            Shortest_Lasso(exploration, 0, until, walk);
            answer.evidence.push_back({"counterexample", walk.prefix, walk.loop, true, 0});
            return answer;
        }
        answer.bounded = true;
        answer.fewest = walk.fewest[0];
        answer.most = walk.most[0];
        answer.evidence.push_back(
            {"fewest", Follow(exploration, walk, 0, false, until), "", false, 0});
        answer.evidence.push_back(
            {"most", Follow(exploration, walk, 0, true, until), "", false, 0});
        return answer;
    }

    if (query.kind == Temporal_Kind::FOREVER) {
        const std::vector<Step> within_steps =
            steps_of([](bool satisfied) { return satisfied ? FOLLOW : SKIP; });
        const auto within = [&within_steps](std::size_t edge) { return within_steps[edge]; };
        answer.holds = !Walk_From(exploration, 0, within, walk);
        if (answer.holds) {
            Shortest_Lasso(exploration, 0, within, walk);
            answer.evidence.push_back({"witness", walk.prefix, walk.loop, true, 0});
            return answer;
        }
        answer.bounded = true;
        answer.most = walk.most[0];
        answer.fewest = answer.most; // one number: the longest run from tick 1
        answer.evidence.push_back(
            {"most", Follow(exploration, walk, 0, true, within), "", false, 0});
        return answer;
    }

    // Leads-to: from every P line that any never-ending script reaches, in
    // the order met, so that the first found has a shortest way in.
    const std::vector<char> from = Truth(exploration, query.from);
    struct Bound {
        bool found = false;
        long ticks = 0;
        std::size_t edge = 0;
    };
    Bound fewest;
    Bound most;
    for (std::uint32_t at = 0; at < exploration.parent.size(); ++at) {
        for (int input = 0; input < STEP_INPUTS; ++input) {
            const std::size_t edge = Edge(at, input);
            if (from[exploration.line_of[edge]] == 0) {
                continue;
            }
            const std::uint32_t to = exploration.next[edge];
            const bool here = satisfies(edge);
            if (!here && !Walk_From(exploration, to, until, walk)) {
                Shortest_Lasso(exploration, to, until, walk);
                const std::string way_in = Script_To(exploration, at) + Script_Byte(input);
                answer.evidence.push_back({"counterexample", way_in + walk.prefix, walk.loop, true,
                                           static_cast<long>(way_in.size())});
                return answer;
            }
            const long least = here ? 0 : walk.fewest[to];
            const long longest = here ? 0 : walk.most[to];
            if (!fewest.found || least < fewest.ticks) {
                fewest = {true, least, edge};
            }
            if (!most.found || longest > most.ticks) {
                most = {true, longest, edge};
            }
        }
    }
    answer.holds = true;
    answer.bounded = fewest.found;
    if (!fewest.found) {
        return answer; // no P line at all
    }
    answer.fewest = fewest.ticks;
    answer.most = most.ticks;
    for (const auto& [role, bound, longest] :
         {std::tuple{"fewest", fewest, false}, std::tuple{"most", most, true}}) {
        const auto at = static_cast<std::uint32_t>(bound.edge / STEP_INPUTS);
        const int input = static_cast<int>(bound.edge % STEP_INPUTS);
        const std::string way_in = Script_To(exploration, at) + Script_Byte(input);
        const std::string after =
            satisfies(bound.edge)
                ? ""
                : Follow(exploration, walk, exploration.next[bound.edge], longest, until);
        answer.evidence.push_back(
            {role, way_in + after, "", false, static_cast<long>(way_in.size())});
    }
    return answer;
}
