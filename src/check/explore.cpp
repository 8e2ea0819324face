#include "check/explore.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <type_traits>
#include <utility>

#include "console/keyboard.h"
#include "oven/oven.h"

namespace
{

constexpr std::uint32_t NO_NODE = UINT32_MAX;
constexpr signed char NONE = INPUTS[0];

// One configuration met: how it was first reached (the configuration before
// and the input), and where no key takes it.
struct Node {
    std::uint32_t parent;
    signed char input;
    std::uint32_t idle_next = NO_NODE;
};

// A hash over the members of a plain struct, found by the compiler from
// the struct's own definition, as its defaulted == is: a member added to the
// oven's configuration or to the tick's record cannot be left out of one
// and not the other. Members are packed into 64-bit words, and each word
// takes a multiply; splitmix64's finaliser at the end spreads the high bits
// into the low ones that the tables use. This runs several times for every
// transition.

// Converts to whatever a member asks for: how many of these a struct can be
// built from is how many members it has.
struct Any_Member {
    template <class T> operator T() const; // NOLINT(google-explicit-constructor)
};

template <class T, class... Members> constexpr std::size_t Member_Count()
{
    if constexpr (requires { T{Members{}..., Any_Member{}}; }) {
        return Member_Count<T, Members..., Any_Member>();
    } else {
        return sizeof...(Members);
    }
}

class Hasher
{
  public:
    template <class T> void Add(const T& value)
    {
        if constexpr (std::is_same_v<T, bool>) {
            Pack(value ? 1 : 0, 1);
        } else if constexpr (std::is_integral_v<T>) {
            static_assert(sizeof(T) <= sizeof(std::uint32_t));
            Pack(static_cast<std::uint32_t>(value), 32);
        } else if constexpr (std::is_floating_point_v<T>) {
            // -0.0 == 0.0: equal values hash alike.
            Pack(std::bit_cast<std::uint64_t>(value == 0 ? 0.0 : static_cast<double>(value)), 64);
        } else {
            Add_Members(value);
        }
    }
    std::uint64_t Done()
    {
        Flush();
        std::uint64_t hash = hash_;
        hash ^= hash >> 30U;
        hash *= 0xbf58476d1ce4e5b9ULL;
        hash ^= hash >> 27U;
        hash *= 0x94d049bb133111ebULL;
        return hash ^ (hash >> 31U);
    }

  private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
    std::uint64_t word_ = 0;
    unsigned used_ = 0; // bits of word_ filled

    void Pack(std::uint64_t bits, unsigned width)
    {
        if (used_ + width > 64) {
            Flush();
        }
        word_ = width == 64 ? bits : word_ | bits << used_;
        used_ += width;
    }
    void Flush()
    {
        hash_ = (hash_ ^ word_) * 0x100000001b3ULL;
        word_ = 0;
        used_ = 0;
    }

    template <class T> void Add_Members(const T& value)
    {
        constexpr std::size_t COUNT = Member_Count<T>();
        static_assert(COUNT >= 1 && COUNT <= 6, "a struct of 1 to 6 members");
        const auto add = [this](const auto&... members) { (this->Add(members), ...); };
        if constexpr (COUNT == 1) {
            const auto& [a] = value;
            add(a);
        } else if constexpr (COUNT == 2) {
            const auto& [a, b] = value;
            add(a, b);
        } else if constexpr (COUNT == 3) {
            const auto& [a, b, c] = value;
            add(a, b, c);
        } else if constexpr (COUNT == 4) {
            const auto& [a, b, c, d] = value;
            add(a, b, c, d);
        } else if constexpr (COUNT == 5) {
            const auto& [a, b, c, d, e] = value;
            add(a, b, c, d, e);
        } else {
            const auto& [a, b, c, d, e, f] = value;
            add(a, b, c, d, e, f);
        }
    }
};

template <class T> std::uint64_t Hash_Of(const T& value)
{
    Hasher hasher;
    hasher.Add(value);
    return hasher.Done();
}

// A set of indexes into a vector that the caller keeps, by open addressing:
// one flat array, so a lookup touches one or two cache lines where a chained
// table chases a pointer per entry.
class Index_Table
{
  public:
    // The index of the entry equal to `candidate` (`same(entry, candidate)`)
    // and false; or `candidate` itself, now added, and true.
    template <class Same>
    std::pair<std::uint32_t, bool> Insert(std::uint64_t hash, std::uint32_t candidate, Same same)
    {
        if (2 * (used_ + 1) > slots_.size()) {
            Grow();
        }
        const auto short_hash = static_cast<std::uint32_t>(hash);
        for (std::size_t i = short_hash & Mask();; i = (i + 1) & Mask()) {
            Slot& slot = slots_[i];
            if (slot.index == NO_NODE) {
                slot = {candidate, short_hash};
                ++used_;
                return {candidate, true};
            }
            if (slot.hash == short_hash && same(slot.index, candidate)) {
                return {slot.index, false};
            }
        }
    }

  private:
    struct Slot {
        std::uint32_t index = NO_NODE;
        std::uint32_t hash = 0;
    };
    static constexpr std::size_t FIRST_SIZE = 1 << 10;
    std::vector<Slot> slots_ = std::vector<Slot>(FIRST_SIZE);
    std::size_t used_ = 0;

    std::size_t Mask() const
    {
        return slots_.size() - 1;
    }

    void Grow()
    {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.index == NO_NODE) {
                continue;
            }
            std::size_t i = slot.hash & Mask();
            while (slots_[i].index != NO_NODE) {
                i = (i + 1) & Mask();
            }
            slots_[i] = slot;
        }
    }
};

// What a trace line is read from: the oven's record after the tick, and
// the tick's own.
struct Line_Source {
    Oven_Data record;
    Tick_Record tick;
    bool operator==(const Line_Source&) const = default;
};

// Lines repeat a great deal, so each property is evaluated once per
// distinct line. The panel-and-record part of a line leaves out what the
// tick was given or did: its key, and whether it was taken or buzzed.
std::uint64_t Hash_Line(const Trace_Line& line, bool panel_only)
{
    Hasher hasher;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!(panel_only && TRACE_FIELDS[i].of_the_tick)) {
            hasher.Add(line[i]);
        }
    }
    return hasher.Done();
}
bool Same_Panel(const Trace_Line& a, const Trace_Line& b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!TRACE_FIELDS[i].of_the_tick && a[i] != b[i]) {
            return false;
        }
    }
    return true;
}
// The lowest and highest value of each field over the lines met so far.
struct Extremes {
    Trace_Line low;
    Trace_Line high;
};
void Widen(Extremes& extremes, const Trace_Line& line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        extremes.low[i] = std::min(extremes.low[i], line[i]);
        extremes.high[i] = std::max(extremes.high[i], line[i]);
    }
}

bool Numeric(Field_Type type)
{
    return type == Field_Type::INTEGER || type == Field_Type::TEMPERATURE;
}

// The numeric fields whose range still widened after `halfway`.
std::string Growing(const Extremes& halfway, const Extremes& end)
{
    std::string growing;
    for (std::size_t i = 0; i < TRACE_FIELDS.size(); ++i) {
        const Trace_Field& field = TRACE_FIELDS[i];
        if (!Numeric(field.type) ||
            (end.low[i] == halfway.low[i] && end.high[i] == halfway.high[i])) {
            continue;
        }
        const bool rising = end.high[i] != halfway.high[i];
        const char* format = field.type == Field_Type::TEMPERATURE
                                 ? "%s%s (%.1f to %.1f halfway, %.1f at the end)"
                                 : "%s%s (%.0f to %.0f halfway, %.0f at the end)";
        char text[128];
        std::snprintf(text, sizeof text, format, growing.empty() ? "" : ", ", field.name,
                      rising ? halfway.low[i] : halfway.high[i],
                      rising ? halfway.high[i] : halfway.low[i], rising ? end.high[i] : end.low[i]);
        growing += text;
    }
    return growing;
}

// Configuration `c` as a trace line shows it before a tick: the door, the
// light as last drawn, the record and the state, with no key.
Trace_Line Before_Line(const Oven_Configuration& c)
{
    Restore_Configuration(c);
    return Line_Of({NONE, c.door, c.light.enable, c.controller.state, false, false});
}

bool At_Rest(const Oven_Configuration& c)
{
    return c.controller.state == Wait_Input && !c.record.Start;
}

// The script that first reached node `index`, one byte per tick.
std::string Script_To(const std::vector<Node>& nodes, std::uint32_t index)
{
    std::string script;
    for (; nodes[index].parent != NO_NODE; index = nodes[index].parent) {
        script.push_back(nodes[index].input == NONE ? IDLE_TICK
                                                    : static_cast<char>(nodes[index].input));
    }
    return {script.rbegin(), script.rend()};
}

// With no key, how many ticks each configuration takes to come to rest,
// from the no-key successors that the exploration noted: each chain is
// walked once and its counts filled in on the way back, so this takes one
// pass over the configurations, not a replay from each.
void Find_Rest(const std::vector<Oven_Configuration>& configurations,
               const std::vector<Node>& nodes, Exploration& result)
{
    constexpr std::uint32_t UNKNOWN = UINT32_MAX;
    constexpr std::uint32_t ON_PATH = UINT32_MAX - 1;
    std::vector<std::uint32_t> ticks(configurations.size(), UNKNOWN);
    std::vector<std::uint32_t> path;
    std::uint32_t longest = 0;
    for (std::uint32_t first = 0; first < configurations.size(); ++first) {
        std::uint32_t at = first;
        path.clear();
        while (ticks[at] == UNKNOWN && !At_Rest(configurations[at])) {
            ticks[at] = ON_PATH;
            path.push_back(at);
            at = nodes[at].idle_next;
        }
        if (ticks[at] == ON_PATH) { // round and round without a key, never at rest
            result.all_rest = false;
            result.rest_script = Script_To(nodes, at);
            return;
        }
        if (ticks[at] == UNKNOWN) {
            ticks[at] = 0;
        }
        for (auto step = path.rbegin(); step != path.rend(); ++step) {
            ticks[*step] = ticks[at] + 1;
            at = *step;
        }
        if (ticks[first] > ticks[longest]) {
            longest = first;
        }
    }
    result.longest_rest = ticks[longest];
    result.rest_script = Script_To(nodes, longest) + std::string(ticks[longest], IDLE_TICK);
}

// The transitions into each configuration, from those out of each.
void Find_Into(Exploration& result)
{
    const std::size_t count = result.parent.size();
    result.into_first.assign(count + 1, 0);
    for (const std::uint32_t to : result.next) {
        ++result.into_first[to + 1];
    }
    for (std::size_t c = 0; c < count; ++c) {
        result.into_first[c + 1] += result.into_first[c];
    }
    result.into_edges.resize(result.next.size());
    std::vector<std::uint32_t> fill(result.into_first.begin(), result.into_first.end() - 1);
    for (std::size_t edge = 0; edge < result.next.size(); ++edge) {
        result.into_edges[fill[result.next[edge]]++] = static_cast<std::uint32_t>(edge);
    }
}

} // namespace

Exploration Explore(const std::vector<Property>& properties, std::size_t max_configurations,
                    Guard_Data guard_data)
{
    const bool guards = guard_data == Guard_Data::KEPT;
    const bool any_before =
        std::any_of(properties.begin(), properties.end(),
                    [](const Property& property) { return property.expression.uses_before; });
    const bool before_lines = guard_data != Guard_Data::LEFT_OUT || any_before;
    Exploration result;
    result.start = Save_Configuration();
    result.start_line = Before_Line(result.start);
    result.evidence.assign(properties.size(), "");

    std::vector<Oven_Configuration> configurations{result.start};
    std::vector<Node> nodes{{NO_NODE, NONE}};
    // Room for the oven's configurations as they are today (about 160,000),
    // so the queue is not copied as it grows; more only costs a copy.
    constexpr std::size_t EXPECTED = 1 << 18;
    configurations.reserve(EXPECTED);
    nodes.reserve(EXPECTED);
    result.next.reserve(EXPECTED * STEP_INPUTS);
    result.line_of.reserve(EXPECTED * STEP_INPUTS);
    if (guards) {
        result.moved_to.reserve(EXPECTED * INPUT_COUNT);
    }
    if (before_lines) {
        result.before_of.reserve(EXPECTED);
    }
    const auto same_configuration = [&configurations](std::uint32_t a, std::uint32_t b) {
        return configurations[a] == configurations[b];
    };
    Index_Table known;
    known.Insert(Hash_Of(configurations[0]), 0, same_configuration);
    // Each distinct line met.
    std::vector<Trace_Line> lines;
    std::vector<Line_Source> line_sources;          // of each line, by the same index
    constexpr std::size_t EXPECTED_LINES = 1 << 17; // about 113,000 today
    lines.reserve(EXPECTED_LINES);
    line_sources.reserve(EXPECTED_LINES);
    Index_Table known_lines;
    const auto same_source = [&line_sources](std::uint32_t a, std::uint32_t b) {
        return line_sources[a] == line_sources[b];
    };
    std::size_t undecided = properties.size(); // properties still without evidence
    Index_Table known_before;
    const auto same_before = [&result](std::uint32_t a, std::uint32_t b) {
        return result.before_lines[a] == result.before_lines[b];
    };
    // A change to the controller can make a field grow without end, and the
    // configurations with it: watch how far each field reaches.
    constexpr double UNSEEN = std::numeric_limits<double>::infinity();
    Extremes extremes{};
    extremes.low.fill(UNSEEN);
    extremes.high.fill(-UNSEEN);
    Extremes halfway = extremes;
    bool past_halfway = false;

    // Breadth first: the vector is the queue, in the order met. No frame of
    // these ticks is ever seen, and drawing them would take a fifth of the
    // time: the panel is off until the exploration ends.
    Replay_Draw_Panel(false);
    for (std::uint32_t at = 0; at < configurations.size(); ++at) {
        if (!past_halfway && 2 * configurations.size() >= max_configurations) {
            halfway = extremes;
            past_halfway = true;
        }
        if (configurations.size() > max_configurations) {
            result.complete = false;
            result.growing = Growing(halfway, extremes);
            break;
        }
        if (before_lines) {
            result.before_lines.push_back(Before_Line(configurations[at]));
            const auto [before, added_before] = known_before.Insert(
                Hash_Line(result.before_lines.back(), false),
                static_cast<std::uint32_t>(result.before_lines.size() - 1), same_before);
            if (!added_before) {
                result.before_lines.pop_back();
            }
            result.before_of.push_back(before);
        }
        for (std::size_t input = 0; input < INPUTS.size(); ++input) {
            const signed char key = INPUTS[input];
            Restore_Configuration(configurations[at]);
            const Tick_Record record = Replay_Tick(key);
            ++result.transitions;
            if (guards) {
                result.moved_to.push_back(static_cast<unsigned char>(record.state));
            }

            const int from = configurations[at].controller.state;
            result.moves[static_cast<std::size_t>(from)][static_cast<std::size_t>(record.state)] |=
                1U << input;
            std::string& reached = result.state_reached[static_cast<std::size_t>(record.state)];
            const auto script = [&] {
                return Script_To(nodes, at) + (key == NONE ? IDLE_TICK : static_cast<char>(key));
            };
            if (reached.empty()) {
                reached = script();
            }

            // A line is read from the tick's record and the oven's: the
            // pair is looked up, and only a new one is read into a line.
            line_sources.push_back({Data_Storage, record});
            const auto [line, added_line] = known_lines.Insert(
                Hash_Of(line_sources.back()), static_cast<std::uint32_t>(line_sources.size() - 1),
                same_source);
            if (!added_line) {
                line_sources.pop_back();
            } else {
                lines.push_back(Line_Of(record));
                Widen(extremes, lines.back());
            }
            // A line's first transition ends a shortest script to it, as
            // every configuration is taken in order of its distance: only a
            // new line can give a property its evidence, unless it reads
            // the line before too.
            for (std::size_t i = 0;
                 (added_line || any_before) && undecided > 0 && i < properties.size(); ++i) {
                const Expression& expression = properties[i].expression;
                if (!result.evidence[i].empty() || (!added_line && !expression.uses_before)) {
                    continue;
                }
                const Trace_Line& before =
                    before_lines ? result.before_lines[result.before_of[at]] : lines[line];
                if (Evaluate(expression, lines[line], before) != properties[i].always) {
                    result.evidence[i] = script();
                    --undecided;
                }
            }

            if (key == KEY_QUIT) {
                continue; // the script ends with the tick that reads q
            }
            configurations.push_back(Save_Configuration());
            const auto index = static_cast<std::uint32_t>(configurations.size() - 1);
            const auto [found, added] =
                known.Insert(Hash_Of(configurations.back()), index, same_configuration);
            if (added) {
                nodes.push_back({at, key});
            } else {
                configurations.pop_back();
            }
            if (key == NONE) {
                nodes[at].idle_next = found;
            }
            result.next.push_back(found); // in order: at * STEP_INPUTS + input
            result.line_of.push_back(line);
        }
    }
    Replay_Draw_Panel(true);
    result.configurations = configurations.size();
    if (!result.complete) {
        Restore_Configuration(result.start);
        return result;
    }
    // Distinct panels: lines that differ only in their key or buzzer count once.
    Index_Table panels;
    for (std::uint32_t i = 0; i < lines.size(); ++i) {
        const auto same_panel = [&lines](std::uint32_t a, std::uint32_t b) {
            return Same_Panel(lines[a], lines[b]);
        };
        result.panel_states +=
            panels.Insert(Hash_Line(lines[i], true), i, same_panel).second ? 1 : 0;
    }
    Find_Rest(configurations, nodes, result);
    result.parent.reserve(nodes.size());
    result.reached_by.reserve(nodes.size());
    for (const Node& node : nodes) {
        result.parent.push_back(node.parent);
        result.reached_by.push_back(node.input == NONE ? IDLE_TICK : static_cast<char>(node.input));
    }
    result.lines = std::move(lines);
    Find_Into(result);
    Restore_Configuration(result.start);
    return result;
}

std::string Script_To(const Exploration& exploration, std::uint32_t c)
{
    std::string script;
    for (; exploration.parent[c] != NO_NODE; c = exploration.parent[c]) {
        script.push_back(exploration.reached_by[c]);
    }
    return {script.rbegin(), script.rend()};
}
