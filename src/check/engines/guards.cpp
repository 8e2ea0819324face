#include "check/engines/guards.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>

namespace
{

// A set of a group's distinct configurations, a bit each.
using Bits = std::vector<std::uint64_t>;

Bits Empty(std::size_t size)
{
    return Bits((size + 63) / 64, 0);
}
void Set(Bits& bits, std::size_t i)
{
    bits[i / 64] |= std::uint64_t{1} << (i % 64);
}
bool Has(const Bits& bits, std::size_t i)
{
    return (bits[i / 64] >> (i % 64) & 1U) != 0;
}
std::size_t Count(const Bits& bits)
{
    std::size_t count = 0;
    for (const std::uint64_t word : bits) {
        count += static_cast<std::size_t>(__builtin_popcountll(word));
    }
    return count;
}

// One comparison and its opposite, and where it holds.
struct Atom {
    std::string text;
    std::string opposite;
    Bits holds;
};

// The fields a guard reads: what the configuration shows before a tick,
// but the state, which the transition already names.
bool Guard_Field(const Trace_Field& field)
{
    return !field.of_the_tick && field.type != Field_Type::STATE &&
           field.type != Field_Type::STATE_NAME;
}

// Every comparison of one field with a value it takes, or with another
// field of its kind, over `rows` (lines of the configurations).
std::vector<Atom> Atoms(const std::vector<const Trace_Line*>& rows)
{
    std::vector<Atom> atoms;
    const auto add = [&](std::string text, std::string opposite, auto test) {
        Atom atom{std::move(text), std::move(opposite), Empty(rows.size())};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (test(*rows[i])) {
                Set(atom.holds, i);
            }
        }
        const std::size_t count = Count(atom.holds);
        if (count == 0 || count == rows.size()) {
            return; // one that splits nothing says nothing
        }
        // Its opposite too, as a comparison of its own.
        Atom other{atom.opposite, atom.text, atom.holds};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            other.holds[i / 64] ^= std::uint64_t{1} << (i % 64);
        }
        atoms.push_back(std::move(atom));
        atoms.push_back(std::move(other));
    };
    for (std::size_t f = 0; f < TRACE_FIELDS.size(); ++f) {
        const Trace_Field& field = TRACE_FIELDS[f];
        if (!Guard_Field(field)) {
            continue;
        }
        const std::string name = field.name;
        if (field.type == Field_Type::BOOLEAN) {
            add(name, "not " + name, [f](const Trace_Line& line) { return line[f] != 0; });
            continue;
        }
        std::vector<double> values;
        values.reserve(rows.size());
        for (const Trace_Line* row : rows) {
            values.push_back((*row)[f]);
        }
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        // "name = value" and "name != value", and the same with a field.
        const auto compared = [&name](const std::string& with) {
            std::string equal = name;
            std::string unequal = name;
            equal.append(" = ").append(with);
            unequal.append(" != ").append(with);
            return std::pair{equal, unequal};
        };
        for (const double value : values) {
            auto [equal, unequal] = compared(Condition_Number(value));
            add(std::move(equal), std::move(unequal),
                [f, value](const Trace_Line& line) { return line[f] == value; });
        }
        for (std::size_t g = f + 1; g < TRACE_FIELDS.size(); ++g) {
            if (TRACE_FIELDS[g].type == field.type && Guard_Field(TRACE_FIELDS[g])) {
                auto [equal, unequal] = compared(TRACE_FIELDS[g].name);
                add(std::move(equal), std::move(unequal),
                    [f, g](const Trace_Line& line) { return line[f] == line[g]; });
            }
        }
    }
    return atoms;
}

// A decision tree over the atoms, as conditions: each path to a leaf of
// `target` rows is the atoms along it, the paths joined by or.
void Tree(const std::vector<Atom>& atoms, const std::vector<std::size_t>& rows, const Bits& target,
          std::vector<std::string>& path, std::vector<std::string>& paths)
{
    std::size_t in = 0;
    for (const std::size_t row : rows) {
        in += Has(target, row) ? 1 : 0;
    }
    if (in == 0 || in == rows.size()) {
        if (in != 0) {
            std::string conjunction;
            for (const std::string& atom : path) {
                conjunction.append(conjunction.empty() ? "" : " and ").append(atom);
            }
            paths.push_back(conjunction.empty() ? "true" : conjunction);
        }
        return;
    }
    // The split that leaves the least mixed halves (Gini), the first on ties.
    const auto mixed = [](double yes, double all) {
        return all == 0 ? 0 : yes * (all - yes) / all;
    };
    std::size_t best = atoms.size();
    double best_score = 0;
    for (std::size_t a = 0; a < atoms.size(); ++a) {
        double holds = 0;
        double holds_in = 0;
        for (const std::size_t row : rows) {
            if (Has(atoms[a].holds, row)) {
                holds += 1;
                holds_in += Has(target, row) ? 1 : 0;
            }
        }
        const double all = static_cast<double>(rows.size());
        if (holds == 0 || holds == all) {
            continue;
        }
        const double score =
            mixed(holds_in, holds) + mixed(static_cast<double>(in) - holds_in, all - holds);
        if (best == atoms.size() || score < best_score) {
            best = a;
            best_score = score;
        }
    }
    if (best == atoms.size()) {
        return; // rows no atom tells apart: left to the exactness check
    }
    std::vector<std::size_t> yes;
    std::vector<std::size_t> no;
    for (const std::size_t row : rows) {
        (Has(atoms[best].holds, row) ? yes : no).push_back(row);
    }
    path.push_back(atoms[best].text);
    Tree(atoms, yes, target, path, paths);
    path.back() = atoms[best].opposite;
    Tree(atoms, no, target, path, paths);
    path.pop_back();
}

// Rules, one after another, each a conjunction grown an atom at a time
// (the one that keeps the most rows of `target` among those it keeps, then
// the most of them) until it holds on no other row; each covers some rows
// of `target` that the rules before did not, until all are covered.
std::string Rules(const std::vector<Atom>& atoms, const Bits& target, std::size_t size)
{
    Bits uncovered = target;
    std::string rules;
    while (Count(uncovered) != 0) {
        Bits rows = Empty(size); // where the rule holds so far, less the covered rows
        for (std::size_t i = 0; i < size; ++i) {
            if (!Has(target, i) || Has(uncovered, i)) {
                Set(rows, i);
            }
        }
        std::string rule;
        for (;;) {
            std::size_t wrong = 0;
            for (std::size_t w = 0; w < rows.size(); ++w) {
                wrong += static_cast<std::size_t>(__builtin_popcountll(rows[w] & ~target[w]));
            }
            if (wrong == 0) {
                break;
            }
            // FOIL's gain: the rows of `target` kept, times how much surer
            // the rule becomes of them.
            const std::size_t all_now = Count(rows);
            const double sure_now =
                std::log2(static_cast<double>(all_now - wrong) / static_cast<double>(all_now));
            std::size_t best = atoms.size();
            double best_gain = 0;
            for (std::size_t a = 0; a < atoms.size(); ++a) {
                std::size_t kept = 0;
                std::size_t all = 0;
                for (std::size_t w = 0; w < rows.size(); ++w) {
                    const std::uint64_t both = rows[w] & atoms[a].holds[w];
                    all += static_cast<std::size_t>(__builtin_popcountll(both));
                    kept += static_cast<std::size_t>(__builtin_popcountll(both & uncovered[w]));
                }
                if (kept == 0 || all == all_now) {
                    continue;
                }
                const double gain =
                    static_cast<double>(kept) *
                    (std::log2(static_cast<double>(kept) / static_cast<double>(all)) - sure_now);
                if (best == atoms.size() || gain > best_gain) {
                    best = a;
                    best_gain = gain;
                }
            }
            if (best == atoms.size()) {
                return ""; // no atom tells the rest apart
            }
            for (std::size_t w = 0; w < rows.size(); ++w) {
                rows[w] &= atoms[best].holds[w];
            }
            rule.append(rule.empty() ? "" : " and ").append(atoms[best].text);
        }
        for (std::size_t w = 0; w < rows.size(); ++w) {
            uncovered[w] &= ~rows[w];
        }
        rules.append(rules.empty() ? "" : " or ").append(rule.empty() ? "true" : rule);
    }
    return rules;
}

// The shortest condition found that holds exactly on `target`: one atom,
// two joined by and or or, else the shorter of the rules and a decision
// tree's paths.
std::string Guard(const std::vector<Atom>& atoms, const Bits& target, std::size_t size)
{
    for (const Atom& atom : atoms) {
        if (atom.holds == target) {
            return atom.text;
        }
    }
    Bits both = Empty(size);
    for (std::size_t a = 0; a < atoms.size(); ++a) {
        for (std::size_t b = a + 1; b < atoms.size(); ++b) {
            for (const bool conjunction : {true, false}) {
                for (std::size_t w = 0; w < both.size(); ++w) {
                    both[w] = conjunction ? atoms[a].holds[w] & atoms[b].holds[w]
                                          : atoms[a].holds[w] | atoms[b].holds[w];
                }
                if (both == target) {
                    return atoms[a].text + (conjunction ? " and " : " or ") + atoms[b].text;
                }
            }
        }
    }
    std::vector<std::size_t> rows(size);
    for (std::size_t i = 0; i < size; ++i) {
        rows[i] = i;
    }
    std::vector<std::string> path;
    std::vector<std::string> paths;
    Tree(atoms, rows, target, path, paths);
    std::string guard;
    for (const std::string& conjunction : paths) {
        guard.append(guard.empty() ? "" : " or ").append(conjunction);
    }
    const std::string rules = Rules(atoms, target, size);
    return !rules.empty() && rules.size() <= guard.size() ? rules : guard;
}

} // namespace

Guarded_Graph Find_Guards(const Exploration& exploration)
{
    constexpr std::size_t state_field = Field_Index("state");
    const std::size_t count = exploration.before_of.size();
    const auto from_state = [&](std::size_t c) {
        return static_cast<int>(exploration.before_lines[exploration.before_of[c]][state_field]);
    };
    Guarded_Graph graph;
    // (from, to, guard) → inputs
    std::map<std::tuple<int, int, std::string>, unsigned> found;
    for (int from = Wait_Input; from <= Finished; ++from) {
        for (int input = 0; input < INPUT_COUNT; ++input) {
            // The distinct lines before the tick, and where each goes.
            std::map<std::uint32_t, int> goes;
            for (std::size_t c = 0; c < count; ++c) {
                if (from_state(c) != from) {
                    continue;
                }
                const int to =
                    exploration.moved_to[c * INPUT_COUNT + static_cast<std::size_t>(input)];
                const auto [entry, added] = goes.emplace(exploration.before_of[c], to);
                if (!added && entry->second != to) {
                    graph.exact = false;
                    graph.fault = std::string(State_Name(from)) + " with input " +
                                  Script_Byte(input) + ": one line before the tick, two ways on";
                }
            }
            std::vector<const Trace_Line*> rows;
            std::vector<int> targets;
            for (const auto& [line, to] : goes) {
                rows.push_back(&exploration.before_lines[line]);
                targets.push_back(to);
            }
            std::vector<int> distinct = targets;
            std::sort(distinct.begin(), distinct.end());
            distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
            const std::vector<Atom> atoms = distinct.size() > 1 ? Atoms(rows) : std::vector<Atom>{};
            std::vector<std::string> guard(distinct.size());
            for (std::size_t t = 0; distinct.size() > 1 && t < distinct.size(); ++t) {
                Bits target = Empty(rows.size());
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    if (targets[i] == distinct[t]) {
                        Set(target, i);
                    }
                }
                guard[t] = Guard(atoms, target, rows.size());
            }
            // Of two ways, one may read better as "not" the other.
            for (std::size_t t = 0; distinct.size() == 2 && t < 2; ++t) {
                const std::string negated = std::string("not (").append(guard[1 - t]).append(")");
                if (negated.size() < guard[t].size()) {
                    guard[t] = negated;
                    break;
                }
            }
            for (std::size_t t = 0; t < distinct.size(); ++t) {
                found[{from, distinct[t], guard[t]}] |= 1U << input;
            }
        }
    }
    for (const auto& [move, inputs] : found) {
        graph.moves.push_back({std::get<0>(move), std::get<1>(move), inputs, std::get<2>(move)});
    }
    if (graph.exact) {
        graph.fault = Check_Guards(exploration, graph.moves);
        graph.exact = graph.fault.empty();
    }
    return graph;
}

std::string Check_Guards(const Exploration& exploration, const std::vector<Guarded_Move>& moves)
{
    std::string fault;
    Moves_Taken(exploration, moves, fault);
    return fault;
}

std::vector<std::uint16_t> Moves_Taken(const Exploration& exploration,
                                       const std::vector<Guarded_Move>& moves, std::string& fault)
{
    assert(moves.size() < NO_MOVE);
    constexpr std::size_t state_field = Field_Index("state");
    const std::size_t count = exploration.before_of.size();
    const auto from_state = [&](std::size_t c) {
        return static_cast<int>(exploration.before_lines[exploration.before_of[c]][state_field]);
    };

    // Every configuration and input, through the conditions as the
    // condition language reads them.
    std::vector<Expression> guards(moves.size());
    for (std::size_t m = 0; m < moves.size(); ++m) {
        Expression_Error error;
        if (!moves[m].guard.empty() && !Parse_Expression(moves[m].guard, guards[m], error)) {
            fault = "the guard '" + moves[m].guard + "' is no condition: " + error.message;
            return {};
        }
    }
    std::vector<std::uint16_t> taken_by(count * INPUT_COUNT, NO_MOVE);
    for (std::size_t c = 0; c < count; ++c) {
        const Trace_Line& before = exploration.before_lines[exploration.before_of[c]];
        for (int input = 0; input < INPUT_COUNT; ++input) {
            std::size_t holding = 0;
            int to = 0;
            const std::size_t at = c * INPUT_COUNT + static_cast<std::size_t>(input);
            for (std::size_t m = 0; m < moves.size(); ++m) {
                const Guarded_Move& move = moves[m];
                if (move.from == from_state(c) && (move.inputs >> input & 1U) != 0 &&
                    (move.guard.empty() || Evaluate(guards[m], before))) {
                    ++holding;
                    to = move.to;
                    taken_by[at] = static_cast<std::uint16_t>(m);
                }
            }
            const int taken = exploration.moved_to[at];
            if (holding != 1 || to != taken) {
                fault = "after the script '" +
                        Script_To(exploration, static_cast<std::uint32_t>(c)) + "', input " +
                        Script_Byte(input) + " goes to " + State_Name(taken) + ", but " +
                        std::to_string(holding) + " of the guards for it hold";
                return {};
            }
        }
    }
    return taken_by;
}
