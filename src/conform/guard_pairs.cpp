#include "conform/guard_pairs.h"

#include <cstdint>
#include <map>
#include <utility>

#include "check/engines/graph.h"
#include "check/engines/guards.h"
#include "oven/controller.h"

namespace
{

constexpr std::size_t MAX_CONDITIONS = 32; // of one guard, a bit each

using enum Expression::Kind;

bool Connective(int kind)
{
    return kind == NOT || kind == AND || kind == OR || kind == IMPLIES;
}

// The guard's conditions: its parts that are no connective, each under one.
std::vector<int> Conditions(const Expression& guard)
{
    std::vector<char> under_connective(guard.nodes.size(), 0);
    for (const Expression::Node& node : guard.nodes) {
        for (const int operand : {node.left, node.right}) {
            if (operand >= 0 && Connective(node.kind)) {
                under_connective[static_cast<std::size_t>(operand)] = 1;
            }
        }
    }
    std::vector<int> conditions;
    for (int k = 0; k <= guard.root; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (!Connective(guard.nodes[at].kind) && (k == guard.root || under_connective[at] != 0)) {
            conditions.push_back(k);
        }
    }
    return conditions;
}

void Pairs_Of(const Exploration& exploration, const Guarded_Move& move,
              std::vector<Conformance_Test>& tests, std::vector<std::string>& unmet)
{
    Expression guard;
    Expression_Error error;
    if (!Parse_Expression(move.guard, guard, error)) {
        return; // mwc-check writes every guard in its own language
    }
    const std::vector<int> conditions = Conditions(guard);
    if (conditions.size() > MAX_CONDITIONS) {
        return;
    }
    const std::vector<int> first = Part_Starts(guard);
    int input = 0;
    while (input < STEP_INPUTS && !Pressed(move.inputs, input)) {
        ++input;
    }
    constexpr std::size_t STATE = Field_Index("state");
    // By the conditions' values, a bit each: the first configuration met
    // that gives them, and whether the guard holds there.
    std::map<std::uint32_t, std::pair<std::uint32_t, bool>> seen;
    for (std::uint32_t c = 0; c < exploration.parent.size() && input < STEP_INPUTS; ++c) {
        const Trace_Line& before = exploration.before_lines[exploration.before_of[c]];
        if (static_cast<int>(before[STATE]) != move.from) {
            continue;
        }
        std::uint32_t bits = 0;
        for (std::size_t i = 0; i < conditions.size(); ++i) {
            const int k = conditions[i];
            const bool holds =
                Evaluate_Part(guard, first[static_cast<std::size_t>(k)], k, before, before);
            bits |= (holds ? 1U : 0U) << i;
        }
        seen.emplace(bits, std::pair{c, Evaluate(guard, before, before)});
    }
    const std::string of = std::string("the guard of ") + State_Name(move.from) + " --> " +
                           State_Name(move.to) + " [" + move.guard + "]: condition ";
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        const std::string which =
            of + std::to_string(i + 1) + " of " + std::to_string(conditions.size());
        bool shown = false;
        for (auto it = seen.begin(); it != seen.end() && !shown; ++it) {
            const auto other = seen.find(it->first ^ (1U << i));
            if ((it->first >> i & 1U) != 0 || other == seen.end() ||
                other->second.second == it->second.second) {
                continue;
            }
            for (const auto& [name, side] :
                 {std::pair{" fails", it->second}, std::pair{" holds", other->second}}) {
                const auto [configuration, holds] = side;
                tests.push_back({which + name + (holds ? ", the guard holds" : ", the guard fails"),
                                 Script_To(exploration, configuration) + Script_Byte(input)});
            }
            shown = true;
        }
        if (!shown) {
            unmet.push_back(which + " shown to matter: no two configurations of " +
                            State_Name(move.from) +
                            " differ in it alone and in the guard's outcome");
        }
    }
}

} // namespace

void Add_Guard_Pairs(const Exploration& exploration, std::vector<Conformance_Test>& tests,
                     std::vector<std::string>& unmet)
{
    const Guarded_Graph graph = Find_Guards(exploration);
    if (!graph.exact) {
        unmet.push_back("the guards, which are not exact: " + graph.fault);
        return;
    }
    for (const Guarded_Move& move : graph.moves) {
        if (!move.guard.empty()) {
            Pairs_Of(exploration, move, tests, unmet);
        }
    }
}
