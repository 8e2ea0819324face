// The shortest lasso from a configuration over the transitions marked: a
// breadth-first way in, the strongly connected components (Tarjan, without
// recursion), and the shortest way round.
#include <algorithm>
#include <cassert>

#include "check/engines/ctl.h"
#include "check/engines/graph.h"

namespace
{

// Breadth first from `first` over the transitions that `step` gives (UNSEEN
// for none), within `keep`: the order met, and the way into each as the
// configuration before it and the input.
struct Breadth_First {
    std::vector<Configuration_Index> order;
    std::vector<Configuration_Index> from;
    std::vector<signed char> by;

    template <class Step, class Keep>
    void Run(Configuration_Index first, std::size_t count, Step step, Keep keep)
    {
        from.assign(count, UNSEEN);
        by.assign(count, -1);
        order.assign(1, first);
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (int input = 0; input < STEP_INPUTS; ++input) {
                const Configuration_Index to = step(order[i], input);
                if (to != UNSEEN && to != first && from[to] == UNSEEN && keep(to)) {
                    from[to] = order[i];
                    by[to] = static_cast<signed char>(input);
                    order.push_back(to);
                }
            }
        }
    }
    // The inputs from `begin` to `end`, met from `begin`.
    std::string Way(Configuration_Index begin, Configuration_Index end) const
    {
        std::string script;
        for (Configuration_Index at = end; at != begin; at = from[at]) {
            script.push_back(Script_Byte(by[at]));
        }
        return {script.rbegin(), script.rend()};
    }
};

// Tarjan's strongly connected components of the configurations in `order`
// over `step`, without recursion: each configuration's component, named by
// one of its members.
template <class Step>
std::vector<Configuration_Index> Components(const std::vector<Configuration_Index>& order,
                                            std::size_t count, Step step)
{
    std::vector<std::uint32_t> index(count, UNSEEN);
    std::vector<std::uint32_t> low(count, 0);
    std::vector<Configuration_Index> component(count, UNSEEN);
    std::vector<Configuration_Index> open;
    std::uint32_t next_index = 0;
    struct Frame {
        Configuration_Index at;
        int input;
    };
    std::vector<Frame> calls;
    for (const Configuration_Index first : order) {
        if (index[first] != UNSEEN) {
            continue;
        }
        calls.push_back({first, 0});
        index[first] = low[first] = next_index++;
        open.push_back(first);
        while (!calls.empty()) {
            Frame& top = calls.back();
            if (top.input < STEP_INPUTS) {
                const Configuration_Index to = step(top.at, top.input++);
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
            const Configuration_Index at = top.at;
            calls.pop_back();
            if (!calls.empty()) {
                low[calls.back().at] = std::min(low[calls.back().at], low[at]);
            }
            if (low[at] == index[at]) {
                Configuration_Index member = UNSEEN;
                while (member != at) {
                    member = open.back();
                    open.pop_back();
                    component[member] = at;
                }
            }
        }
    }
    return component;
}

} // namespace

Lasso Shortest_Lasso(const Exploration& exploration, Configuration_Index root, const Labels& follow)
{
    const std::size_t count = exploration.parent.size();
    const auto step = [&](Configuration_Index at, int input) {
        const Transition_Index edge = Edge(at, input);
        return follow[edge] != 0 ? exploration.next[edge] : UNSEEN;
    };
    Breadth_First met;
    met.Run(root, count, step, [](Configuration_Index) { return true; });
    const std::vector<Configuration_Index> component = Components(met.order, count, step);
    // The first met that is on a loop: it steps to itself, or to another
    // of its component (whose members all reach each other).
    for (const Configuration_Index at : met.order) {
        bool looped = false;
        for (int input = 0; input < STEP_INPUTS && !looped; ++input) {
            const Configuration_Index to = step(at, input);
            looped = to != UNSEEN && component[to] == component[at];
        }
        if (!looped) {
            continue;
        }
        Lasso lasso{met.Way(root, at), ""};
        // The shortest way round, within the component, back to `at`: the
        // first met, in order of distance, that steps to it.
        Breadth_First round;
        round.Run(at, count, step,
                  [&](Configuration_Index to) { return component[to] == component[at]; });
        for (const Configuration_Index last : round.order) {
            for (int input = 0; input < STEP_INPUTS; ++input) {
                if (step(last, input) == at) {
                    lasso.loop = round.Way(at, last) + Script_Byte(input);
                    return lasso;
                }
            }
        }
    }
    assert(false && "called only where a loop is known to exist");
    return {};
}
