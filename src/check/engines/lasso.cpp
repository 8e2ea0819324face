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
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> from;
    std::vector<signed char> by;

    template <class Step, class Keep>
    void Run(std::uint32_t first, std::size_t count, Step step, Keep keep)
    {
        from.assign(count, UNSEEN);
        by.assign(count, -1);
        order.assign(1, first);
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
    }
    // The inputs from `begin` to `end`, met from `begin`.
    std::string Way(std::uint32_t begin, std::uint32_t end) const
    {
        std::string script;
        for (std::uint32_t at = end; at != begin; at = from[at]) {
            script.push_back(Script_Byte(by[at]));
        }
        return {script.rbegin(), script.rend()};
    }
};

// Tarjan's strongly connected components of the configurations in `order`
// over `step`, without recursion: each configuration's component, named by
// one of its members.
template <class Step>
std::vector<std::uint32_t> Components(const std::vector<std::uint32_t>& order, std::size_t count,
                                      Step step)
{
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
    return component;
}

} // namespace

Lasso Shortest_Lasso(const Exploration& exploration, std::uint32_t root, const Labels& follow)
{
    const std::size_t count = exploration.parent.size();
    const auto step = [&](std::uint32_t at, int input) {
        const std::size_t edge = Edge(at, input);
        return follow[edge] != 0 ? exploration.next[edge] : UNSEEN;
    };
    Breadth_First met;
    met.Run(root, count, step, [](std::uint32_t) { return true; });
    const std::vector<std::uint32_t> component = Components(met.order, count, step);
    // The first met that is on a loop: it steps to itself, or to another
    // of its component (whose members all reach each other).
    for (const std::uint32_t at : met.order) {
        bool looped = false;
        for (int input = 0; input < STEP_INPUTS && !looped; ++input) {
            const std::uint32_t to = step(at, input);
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
                  [&](std::uint32_t to) { return component[to] == component[at]; });
        for (const std::uint32_t last : round.order) {
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
