#include "check/exploration/explore.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

#include "check/exploration/hash_table.h"
#include "console/keyboard.h"
#include "oven/oven.h"

namespace
{

constexpr std::uint32_t NO_NODE = UINT32_MAX;

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
    return Line_Of({NO_KEY, c.door, c.light.enable, c.controller.state, false, false});
}

bool Rests(const Oven_Configuration& c)
{
    return At_Rest(c.controller.state, c.record.Start);
}

// With no key, how many ticks each configuration takes to come to rest,
// from the no-key successors that the exploration noted: each chain is
// walked once and its counts filled in on the way back, so this takes one
// pass over the configurations, not a replay from each.
void Find_Rest(const std::vector<Oven_Configuration>& configurations,
               const std::vector<std::uint32_t>& idle_next, Exploration& result)
{
    constexpr std::uint32_t UNKNOWN = UINT32_MAX;
    constexpr std::uint32_t ON_PATH = UINT32_MAX - 1;
    std::vector<std::uint32_t> ticks(configurations.size(), UNKNOWN);
    std::vector<std::uint32_t> path;
    std::uint32_t longest = 0;
    for (std::uint32_t first = 0; first < configurations.size(); ++first) {
        std::uint32_t at = first;
        path.clear();
        while (ticks[at] == UNKNOWN && !Rests(configurations[at])) {
            ticks[at] = ON_PATH;
            path.push_back(at);
            at = idle_next[at];
        }
        if (ticks[at] == ON_PATH) { // round and round without a key, never at rest
            result.all_rest = false;
            result.rest_script = Script_To(result, at);
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
    result.rest_script = Script_To(result, longest) + std::string(ticks[longest], IDLE_TICK);
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

// The exploration while it runs: the queue of configurations in the order
// met, the tables that find a configuration or a line met before, and the
// properties still without evidence.
struct Search {
    Search(const std::vector<Property>& properties_asked, Guard_Data guard_data)
        : properties(properties_asked), guards(guard_data == Guard_Data::KEPT),
          any_before(std::any_of(properties.begin(), properties.end(),
                                 [](const Property& p) { return p.expression.uses_before; })),
          before_lines(guard_data != Guard_Data::LEFT_OUT || any_before),
          undecided(properties.size())
    {
    }
    const std::vector<Property>& properties;
    const bool guards;       // keep where each input, q too, takes the controller
    const bool any_before;   // a property reads before. fields
    const bool before_lines; // keep each configuration's line before a tick
    std::vector<Oven_Configuration> configurations;
    std::vector<std::uint32_t> idle_next; // where no key takes each one
    Index_Table known;
    std::vector<Trace_Line> lines;         // each distinct line met
    std::vector<Line_Source> line_sources; // what each was read from
    Index_Table known_lines;
    Index_Table known_before;
    std::size_t undecided; // properties still without evidence
    // A change to the controller can make a field grow without end, and
    // the configurations with it: how far each field reaches, now and as
    // it was halfway to the limit.
    Extremes extremes{};
    Extremes halfway{};
    bool past_halfway = false;
};

// Room for the oven's configurations as they are today (about 160,000) and
// its lines (about 113,000), so the tables are not copied as they grow;
// more only costs a copy.
void Begin(Search& search, Exploration& result)
{
    constexpr std::size_t EXPECTED = 1 << 18;
    constexpr std::size_t EXPECTED_LINES = 1 << 17;
    search.configurations.reserve(EXPECTED);
    search.idle_next.reserve(EXPECTED);
    result.parent.reserve(EXPECTED);
    result.reached_by.reserve(EXPECTED);
    result.next.reserve(EXPECTED * STEP_INPUTS);
    result.line_of.reserve(EXPECTED * STEP_INPUTS);
    result.quit_line_of.reserve(EXPECTED);
    if (search.guards) {
        result.moved_to.reserve(EXPECTED * INPUT_COUNT);
    }
    if (search.before_lines) {
        result.before_of.reserve(EXPECTED);
    }
    search.lines.reserve(EXPECTED_LINES);
    search.line_sources.reserve(EXPECTED_LINES);
    constexpr double UNSEEN = std::numeric_limits<double>::infinity();
    search.extremes.low.fill(UNSEEN);
    search.extremes.high.fill(-UNSEEN);
    search.halfway = search.extremes;

    search.configurations.push_back(result.start);
    search.idle_next.push_back(NO_NODE);
    result.parent.push_back(NO_NODE);
    result.reached_by.push_back(IDLE_TICK); // start-up: never read
    const auto same_configuration = [&search](std::uint32_t a, std::uint32_t b) {
        return search.configurations[a] == search.configurations[b];
    };
    search.known.Insert(Hash_Of(result.start), 0, same_configuration);
}

// Configuration `at` as the line before its ticks, kept once per distinct line.
void Note_Before_Line(Search& search, Exploration& result, std::uint32_t at)
{
    result.before_lines.push_back(Before_Line(search.configurations[at]));
    const auto same_before = [&result](std::uint32_t a, std::uint32_t b) {
        return result.before_lines[a] == result.before_lines[b];
    };
    const auto [before, added] = search.known_before.Insert(
        Hash_Line(result.before_lines.back(), false),
        static_cast<std::uint32_t>(result.before_lines.size() - 1), same_before);
    if (!added) {
        result.before_lines.pop_back();
    }
    result.before_of.push_back(before);
}

// The line of the tick just run, and whether it is new. A line is read from
// the tick's record and the oven's: the pair is looked up, and only a new
// one is read into a line.
std::pair<std::uint32_t, bool> Take_Line(Search& search, const Tick_Record& record)
{
    search.line_sources.push_back({Data_Storage, record});
    const auto same_source = [&search](std::uint32_t a, std::uint32_t b) {
        return search.line_sources[a] == search.line_sources[b];
    };
    const auto [line, added] = search.known_lines.Insert(
        Hash_Of(search.line_sources.back()),
        static_cast<std::uint32_t>(search.line_sources.size() - 1), same_source);
    if (!added) {
        search.line_sources.pop_back();
    } else {
        search.lines.push_back(Line_Of(record));
        Widen(search.extremes, search.lines.back());
    }
    return {line, added};
}

// A line's first transition ends a shortest script to it, as every
// configuration is taken in order of its distance: only a new line can give
// a property its evidence, unless it reads the line before too.
void Judge(Search& search, Exploration& result, std::uint32_t at, int input,
           std::pair<std::uint32_t, bool> line)
{
    const auto [index, added] = line;
    for (std::size_t i = 0;
         (added || search.any_before) && search.undecided > 0 && i < search.properties.size();
         ++i) {
        const Expression& expression = search.properties[i].expression;
        if (!result.evidence[i].empty() || (!added && !expression.uses_before)) {
            continue;
        }
        const Trace_Line& before =
            search.before_lines ? result.before_lines[result.before_of[at]] : search.lines[index];
        if (Evaluate(expression, search.lines[index], before) != search.properties[i].always) {
            result.evidence[i] = Script_To(result, at) + Script_Byte(input);
            --search.undecided;
        }
    }
}

// Where the tick just run from `at` by `input` left the oven: a
// configuration met before, or a new one at the end of the queue.
void Add_Transition(Search& search, Exploration& result, std::uint32_t at, int input,
                    std::uint32_t line)
{
    search.configurations.push_back(Save_Configuration());
    const auto index = static_cast<std::uint32_t>(search.configurations.size() - 1);
    const auto same_configuration = [&search](std::uint32_t a, std::uint32_t b) {
        return search.configurations[a] == search.configurations[b];
    };
    const auto [found, added] =
        search.known.Insert(Hash_Of(search.configurations.back()), index, same_configuration);
    if (added) {
        search.idle_next.push_back(NO_NODE);
        result.parent.push_back(at);
        result.reached_by.push_back(Script_Byte(input));
    } else {
        search.configurations.pop_back();
    }
    if (INPUTS[static_cast<std::size_t>(input)] == NO_KEY) {
        search.idle_next[at] = found;
    }
    assert(result.next.size() == Edge(at, input) && "every input but q, in order");
    result.next.push_back(found);
    result.line_of.push_back(line);
}

// Every input from configuration `at`.
void Step(Search& search, Exploration& result, std::uint32_t at)
{
    if (search.before_lines) {
        Note_Before_Line(search, result, at);
    }
    const int from = search.configurations[at].controller.state;
    for (int input = 0; input < INPUT_COUNT; ++input) {
        const signed char key = INPUTS[static_cast<std::size_t>(input)];
        Restore_Configuration(search.configurations[at]);
        const Tick_Record record = Replay_Tick(key);
        ++result.transitions;
        if (search.guards) {
            result.moved_to.push_back(static_cast<unsigned char>(record.state));
        }
        result.moves[static_cast<std::size_t>(from)][static_cast<std::size_t>(record.state)] |=
            1U << static_cast<unsigned>(input);
        std::string& reached = result.state_reached[static_cast<std::size_t>(record.state)];
        if (reached.empty()) {
            reached = Script_To(result, at) + Script_Byte(input);
        }
        const std::pair<std::uint32_t, bool> line = Take_Line(search, record);
        Judge(search, result, at, input, line);
        if (key != KEY_QUIT) {
            Add_Transition(search, result, at, input, line.first);
        } else {
            result.quit_line_of.push_back(line.first); // a script ends with this tick
        }
    }
}

// Once every configuration is met: the distinct panels, the way to rest,
// and the graph's transitions into each configuration.
void Finish(Search& search, Exploration& result)
{
    // Distinct panels: lines that differ only in their key or buzzer count once.
    Index_Table panels;
    const std::vector<Trace_Line>& lines = search.lines;
    const auto same_panel = [&lines](std::uint32_t a, std::uint32_t b) {
        return Same_Panel(lines[a], lines[b]);
    };
    for (std::uint32_t i = 0; i < lines.size(); ++i) {
        result.panel_states +=
            panels.Insert(Hash_Line(lines[i], true), i, same_panel).second ? 1 : 0;
    }
    Find_Rest(search.configurations, search.idle_next, result);
    result.lines = std::move(search.lines);
    Find_Into(result);
}

} // namespace

Exploration Explore(const std::vector<Property>& properties, std::size_t max_configurations,
                    Guard_Data guard_data)
{
    Exploration result;
    result.start = Save_Configuration();
    result.start_line = Before_Line(result.start);
    result.evidence.assign(properties.size(), "");
    Search search(properties, guard_data);
    Begin(search, result);

    // Breadth first: the vector is the queue, in the order met. No frame of
    // these ticks is ever seen, and drawing them would take a fifth of the
    // time: the panel is off until the exploration ends.
    Replay_Draw_Panel(false);
    for (std::uint32_t at = 0; at < search.configurations.size(); ++at) {
        if (!search.past_halfway && 2 * search.configurations.size() >= max_configurations) {
            search.halfway = search.extremes;
            search.past_halfway = true;
        }
        if (search.configurations.size() > max_configurations) {
            result.complete = false;
            result.growing = Growing(search.halfway, search.extremes);
            break;
        }
        Step(search, result, at);
    }
    Replay_Draw_Panel(true);
    result.configurations = search.configurations.size();
    if (result.complete) {
        Finish(search, result);
    }
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
