// The graph of never-ending scripts as the engines over it walk it, and
// what the labelling shares with the evidence search.
#pragma once

#include <cassert>
#include <cstdint>
#include <limits>
#include <vector>

#include "check/engines/ctl.h"

constexpr std::uint32_t UNSEEN = std::numeric_limits<std::uint32_t>::max();

inline unsigned Keys_Of(const Expression::Node& node)
{
    assert(Is_Temporal(node.kind) && node.keys != 0 && "Restrict_Keys gave the formula its keys");
    return node.keys;
}

inline bool Pressed(unsigned keys, int input)
{
    return (keys >> input & 1U) != 0;
}

// Where the formula's positions lead, and from where.
class Graph
{
  public:
    explicit Graph(const Exploration& exploration) : exploration_(exploration)
    {
        assert(exploration.into_first.size() == exploration.parent.size() + 1 &&
               "a complete exploration, with its transitions into each configuration");
    }

    const Exploration& exploration() const
    {
        return exploration_;
    }
    Configuration_Index Configurations() const
    {
        return static_cast<Configuration_Index>(exploration_.parent.size());
    }
    std::size_t Positions() const
    {
        return Position_Count(exploration_);
    }
    // Tick 0's position.
    Position_Index Start() const
    {
        return Start_Position(exploration_);
    }
    // The configuration after position `p`: a transition's, or start-up.
    Configuration_Index After(Position_Index p) const
    {
        return p < exploration_.next.size() ? exploration_.next[p] : 0;
    }
    // Calls `visit(edge)` for each transition on `keys` into `c`.
    template <class Visit> void Into(Configuration_Index c, unsigned keys, Visit visit) const
    {
        for (std::uint32_t k = exploration_.into_first[c]; k < exploration_.into_first[c + 1];
             ++k) {
            const Transition_Index edge = exploration_.into_edges[k];
            if (Pressed(keys, Input_Of(edge))) {
                visit(edge);
            }
        }
    }

  private:
    const Exploration& exploration_;
};

// Positions where labels hold, or fail: `value`; everywhere, without labels.
struct Where {
    Where() = default;
    explicit Where(const Labels* labels, bool value = true)
        : labels_(labels == nullptr ? nullptr : labels->data()), value_(value)
    {
    }
    bool Has(Position_Index p) const
    {
        return labels_ == nullptr || (labels_[p] != 0) == value_;
    }

  private:
    const char* labels_ = nullptr;
    bool value_ = true;
};

// Where neither f nor g holds: an A[f U g] has failed there.
Labels Neither(const Labels& f, const Labels& g);
// The first node of each node's part: its operands' parts come just before it.
std::vector<int> Part_Starts(const Expression& formula);
// For each node, whether a temporal operator is in its part.
std::vector<char> Temporal_Inside(const Expression& formula);
// A part without temporal operators, from node `first` to `root`, at every
// position.
Labels Condition_Labels(const Exploration& exploration, const Expression& formula, int first,
                        int root);
// NOT, AND, OR or IMPLIES of labels, position by position.
Labels Boolean_Labels(const Expression::Node& node, const Labels& left, const Labels* right);
// The labels of the nodes in `wanted`.
std::vector<Labels> Label_Nodes(const Graph& graph, const Expression& formula,
                                const std::vector<int>& wanted);
Labels Label_In(const Graph& graph, const Expression& formula, int node);
