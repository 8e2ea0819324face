#include "check/engines/temporal.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <limits>
#include <tuple>

#include "check/engines/graph.h"

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
void Finish(const Exploration& exploration, Configuration_Index at, Classify classify, Walk& walk)
{
    std::uint32_t fewest = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t most = 0;
    bool any = false;
    for (int input = 0; input < STEP_INPUTS; ++input) {
        const Transition_Index edge = Edge(at, input);
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
bool Walk_From(const Exploration& exploration, Configuration_Index root, Classify classify,
               Walk& walk)
{
    if (walk.colour[root] == BLACK) {
        return true;
    }
    struct Frame {
        Configuration_Index at;
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
        const Transition_Index edge = Edge(top.at, input);
        if (classify(edge) != FOLLOW) {
            continue;
        }
        const Configuration_Index to = exploration.next[edge];
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
void Shortest_Lasso(const Exploration& exploration, Configuration_Index root,
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
std::string Follow(const Exploration& exploration, const Walk& walk, Configuration_Index at,
                   bool most, Classify classify)
{
    std::string script;
    for (;;) {
        const signed char input = most ? walk.most_by[at] : walk.fewest_by[at];
        if (input == NO_INPUT) {
            return script;
        }
        script.push_back(Script_Byte(input));
        const Transition_Index edge = Edge(at, input);
        if (classify(edge) == END) {
            return script;
        }
        at = exploration.next[edge];
    }
}

// A leads-to, judged by walking on from each P line until Q: it fails at
// the first P line met after which a loop of ticks without Q can be taken,
// a lasso shows it; else each walk ends, and its ticks are the bounds. The
// P lines are met in the order of their transitions, so the first that
// fails has a shortest way in.
Temporal_Answer Leads_To(const Exploration& exploration, const Labels& from,
                         const Labels& satisfied, const std::vector<Step>& until_steps)
{
    const auto until = [&until_steps](Transition_Index edge) { return until_steps[edge]; };
    Walk walk(exploration.parent.size());
    struct Bound {
        bool found = false;
        long ticks = 0;
        Transition_Index edge = 0;
    };
    Bound fewest;
    Bound most;
    Temporal_Answer answer;
    const auto way_in = [&exploration](Transition_Index edge) {
        const auto at = Source_Of(edge);
        return Script_To(exploration, at) + Script_Byte(Input_Of(edge));
    };
    for (Transition_Index edge = 0; edge < exploration.next.size(); ++edge) {
        if (from[Position_Of(edge)] == 0) {
            continue;
        }
        const Configuration_Index to = exploration.next[edge];
        const bool here = satisfied[Position_Of(edge)] != 0;
        if (!here && !Walk_From(exploration, to, until, walk)) {
            Shortest_Lasso(exploration, to, until_steps, walk);
            const std::string in = way_in(edge);
            answer.evidence.push_back({"counterexample",
                                       in + walk.prefix,
                                       walk.loop,
                                       true,
                                       static_cast<long>(in.size()),
                                       {}});
            return answer;
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
    answer.holds = true;
    answer.bounded = fewest.found;
    if (!fewest.found) {
        return answer; // no P line at all
    }
    answer.fewest = fewest.ticks;
    answer.most = most.ticks;
    for (const auto& [role, bound, longest] :
         {std::tuple{"fewest", fewest, false}, std::tuple{"most", most, true}}) {
        const std::string in = way_in(bound.edge);
        const std::string after =
            satisfied[Position_Of(bound.edge)] != 0
                ? ""
                : Follow(exploration, walk, exploration.next[bound.edge], longest, until);
        answer.evidence.push_back({role, in + after, "", false, static_cast<long>(in.size()), {}});
    }
    return answer;
}

} // namespace

Temporal_Answer Answer(const Exploration& exploration, const Temporal_Query& query)
{
    // Only the conditions are labelled. The walks that find the bounds
    // decide the verdict on the way, in the same pass: a walk that can go
    // round a loop without ending is the formula failing (inevitable,
    // leads-to) or met (forever).
    const Labels satisfied = Label(exploration, query.condition, query.condition.root);
    // A walk asks for a transition's step more than once, and there are a
    // million transitions: each step is worked out once, in one pass.
    const auto steps_of = [&](auto step_of) {
        std::vector<Step> steps(exploration.next.size());
        for (Transition_Index edge = 0; edge < steps.size(); ++edge) {
            const bool met = satisfied[Position_Of(edge)] != 0;
            steps[edge] = Pressed(query.keys, Input_Of(edge)) ? step_of(met) : SKIP;
        }
        return steps;
    };
    // Until the condition: it ends a walk; without it the walk goes on.
    // Forever: the walk goes on while it holds.
    const bool forever = query.kind == Temporal_Kind::FOREVER;
    const std::vector<Step> steps = forever ? steps_of([](bool met) { return met ? FOLLOW : SKIP; })
                                            : steps_of([](bool met) { return met ? END : FOLLOW; });
    if (query.kind == Temporal_Kind::LEADS_TO) {
        return Leads_To(exploration, Label(exploration, query.from, query.from.root), satisfied,
                        steps);
    }
    const auto step = [&steps](Transition_Index edge) { return steps[edge]; };
    Temporal_Answer answer;
    Walk walk(exploration.parent.size());
    const bool ends = Walk_From(exploration, 0, step, walk);
    answer.holds = ends != forever;
    // Inevitable fails, or forever is met: a lasso shows it.
    if (!ends) {
        Shortest_Lasso(exploration, 0, steps, walk);
        answer.evidence.push_back(
            {forever ? "witness" : "counterexample", walk.prefix, walk.loop, true, 0, {}});
        return answer;
    }
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
