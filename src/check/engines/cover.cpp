#include "check/engines/cover.h"

#include <cassert>
#include <limits>

namespace
{

constexpr unsigned Q_ONLY = 1U << STEP_INPUTS; // the input bit of q alone

// As mwc-replay ends a script: the controller waits and nothing cooks.
bool Rests(const Exploration& exploration, std::uint32_t c)
{
    constexpr std::size_t state = Field_Index("state");
    constexpr std::size_t start = Field_Index("start");
    static_assert(state < TRACE_FIELD_COUNT && start < TRACE_FIELD_COUNT);
    const Trace_Line& before = exploration.before_lines[exploration.before_of[c]];
    return At_Rest(static_cast<int>(before[state]), before[start] != 0);
}

// One tick of the walk with `input`.
void Step(const Exploration& exploration, const std::vector<std::uint16_t>& taken_by, int input,
          long tick, Coverage& coverage)
{
    const std::size_t move =
        taken_by[std::size_t{coverage.at} * INPUT_COUNT + static_cast<std::size_t>(input)];
    assert(move < coverage.moves.size() && "every input of every configuration takes a move");
    Move_Coverage& covered = coverage.moves[move];
    coverage.covered += covered.taken == 0 ? 1 : 0;
    covered.first = covered.taken == 0 ? tick : covered.first;
    ++covered.taken;
    if (input == STEP_INPUTS) {
        coverage.ended = true; // q: the script ends with this tick
    } else {
        coverage.at = exploration.next[Edge(coverage.at, input)];
    }
}

} // namespace

Coverage Start_Cover(const Exploration& exploration, const std::vector<Guarded_Move>& moves,
                     const std::vector<std::uint16_t>& taken_by)
{
    Coverage coverage;
    coverage.moves.resize(moves.size());
    for (std::size_t m = 0; m < moves.size(); ++m) {
        coverage.moves[m].q_only = moves[m].inputs == Q_ONLY;
    }
    // Configurations are numbered in the order met, breadth first: the
    // first that takes a move is at the least distance from start-up.
    std::size_t found = 0;
    for (std::uint32_t c = 0; c < exploration.parent.size() && found < moves.size(); ++c) {
        for (int input = 0; input < INPUT_COUNT; ++input) {
            const std::size_t move =
                taken_by[std::size_t{c} * INPUT_COUNT + static_cast<std::size_t>(input)];
            if (coverage.moves[move].shortest.empty()) {
                coverage.moves[move].shortest = Script_To(exploration, c) + Script_Byte(input);
                ++found;
            }
        }
    }
    return coverage;
}

void Cover_Bytes(const Exploration& exploration, const std::vector<std::uint16_t>& taken_by,
                 const char* bytes, std::size_t size, Coverage& coverage)
{
    for (std::size_t i = 0; i < size && !coverage.ended; ++i) {
        Step(exploration, taken_by, Input_Of_Byte(bytes[i]), ++coverage.script_ticks, coverage);
    }
}

void Finish_Cover(const Exploration& exploration, const std::vector<std::uint16_t>& taken_by,
                  Coverage& coverage)
{
    // A controller that never comes to rest without a key would go round
    // for ever: no more ticks than there are configurations.
    const auto most = static_cast<long>(exploration.parent.size());
    while (!coverage.ended && !Rests(exploration, coverage.at) && coverage.rest_ticks < most) {
        ++coverage.rest_ticks;
        Step(exploration, taken_by, 0, coverage.script_ticks + coverage.rest_ticks, coverage);
    }
}

std::string Tour(const Exploration& exploration, const std::vector<Guarded_Move>& moves,
                 const std::vector<std::uint16_t>& taken_by, std::vector<std::size_t>& left)
{
    constexpr std::uint32_t UNSEEN = std::numeric_limits<std::uint32_t>::max();
    std::vector<char> wanted(moves.size());
    std::size_t remaining = 0;
    for (std::size_t m = 0; m < moves.size(); ++m) {
        wanted[m] = moves[m].inputs != Q_ONLY ? 1 : 0;
        remaining += static_cast<std::size_t>(wanted[m]);
    }
    const std::size_t count = exploration.parent.size();
    std::vector<std::uint32_t> via(count, UNSEEN); // the edge each was first reached by
    std::vector<std::uint32_t> queue;
    std::string tour;
    std::uint32_t at = 0;
    while (remaining > 0) {
        // Breadth first from where the tour stands, to the nearest edge
        // that takes a move not yet taken.
        std::fill(via.begin(), via.end(), UNSEEN);
        queue.assign(1, at);
        via[at] = UNSEEN - 1;
        std::size_t found = UNSEEN;
        for (std::size_t next = 0; next < queue.size() && found == UNSEEN; ++next) {
            const std::uint32_t c = queue[next];
            for (int input = 0; input < STEP_INPUTS && found == UNSEEN; ++input) {
                const std::size_t edge = Edge(c, input);
                if (wanted[taken_by[std::size_t{c} * INPUT_COUNT +
                                    static_cast<std::size_t>(input)]] != 0) {
                    found = edge;
                } else if (via[exploration.next[edge]] == UNSEEN) {
                    via[exploration.next[edge]] = static_cast<std::uint32_t>(edge);
                    queue.push_back(exploration.next[edge]);
                }
            }
        }
        if (found == UNSEEN) {
            break; // what is left cannot be reached from here
        }
        // The way there, from its end back to where the tour stood.
        std::string way(1, Script_Byte(Input_Of(found)));
        for (std::uint32_t c = Source_Of(found); c != at;) {
            way.push_back(Script_Byte(Input_Of(via[c])));
            c = Source_Of(via[c]);
        }
        for (auto byte = way.rbegin(); byte != way.rend(); ++byte) {
            const std::size_t move = taken_by[std::size_t{at} * INPUT_COUNT +
                                              static_cast<std::size_t>(Input_Of_Byte(*byte))];
            remaining -= static_cast<std::size_t>(wanted[move]);
            wanted[move] = 0;
            tour.push_back(*byte);
            at = exploration.next[Edge(at, Input_Of_Byte(*byte))];
        }
    }
    for (std::size_t m = 0; m < moves.size(); ++m) {
        if (wanted[m] != 0) {
            left.push_back(m);
        }
    }
    return tour;
}
