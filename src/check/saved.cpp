#include "check/saved.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace
{

constexpr char MAGIC[] = "MWCGRAPH"; // 8 bytes, no NUL in the file
constexpr std::size_t MAGIC_SIZE = sizeof MAGIC - 1;
constexpr std::uint32_t VERSION = 1;
constexpr std::size_t CHECKSUM_SIZE = sizeof(std::uint64_t);
constexpr unsigned BYTE_BITS = 8;
constexpr unsigned BYTE_MASK = 0xFF;

} // namespace

// FNV-1a over the bytes: a damaged byte anywhere changes it.
std::uint64_t Saved_Checksum(std::string_view bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
    }
    return hash;
}

namespace
{

template <class Number> void Put(std::string& out, Number value)
{
    std::uint64_t bits = 0;
    if constexpr (std::is_floating_point_v<Number>) {
        bits = std::bit_cast<std::uint64_t>(value);
    } else {
        bits = value;
    }
    for (std::size_t i = 0; i < sizeof(Number); ++i) {
        out.push_back(static_cast<char>(bits >> (BYTE_BITS * i) & BYTE_MASK));
    }
}

// Reads numbers from the front of the bytes; every read is checked.
class Reader
{
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <class Number> bool Get(Number& value)
    {
        if (bytes_.size() - at_ < sizeof(Number)) {
            return false;
        }
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < sizeof(Number); ++i) {
            bits |= std::uint64_t{static_cast<unsigned char>(bytes_[at_ + i])} << (BYTE_BITS * i);
        }
        at_ += sizeof(Number);
        if constexpr (std::is_floating_point_v<Number>) {
            value = std::bit_cast<Number>(bits);
        } else {
            value = static_cast<Number>(bits);
        }
        return true;
    }
    bool Text(std::size_t size, std::string_view& text)
    {
        if (bytes_.size() - at_ < size) {
            return false;
        }
        text = bytes_.substr(at_, size);
        at_ += size;
        return true;
    }
    std::size_t At() const
    {
        return at_;
    }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// The header after the version: the inputs, the fields by name, the sizes.
bool Parse_Header(Reader& reader, std::uint32_t& configurations, std::uint32_t& lines,
                  std::string& error)
{
    std::uint32_t inputs = 0;
    std::uint32_t step_inputs = 0;
    std::uint32_t fields = 0;
    if (!reader.Get(inputs) || !reader.Get(step_inputs) || !reader.Get(fields)) {
        error = "it is truncated in its header";
        return false;
    }
    if (inputs != INPUT_COUNT || step_inputs != STEP_INPUTS || fields != TRACE_FIELD_COUNT) {
        error = "it was saved with other inputs or trace fields than this mwc-check's";
        return false;
    }
    for (const Trace_Field& field : TRACE_FIELDS) {
        std::uint8_t size = 0;
        std::string_view name;
        if (!reader.Get(size) || !reader.Text(size, name)) {
            error = "it is truncated in its header";
            return false;
        }
        if (name != field.name) {
            error = "it was saved with other trace fields than this mwc-check's (" +
                    std::string(name) + " where this one has " + field.name + ")";
            return false;
        }
    }
    if (!reader.Get(configurations) || !reader.Get(lines)) {
        error = "it is truncated in its header";
        return false;
    }
    if (configurations == 0 || lines == 0) {
        error = "it holds no configuration or no trace line";
        return false;
    }
    return true;
}

// Every index in range and every value finite and within an int, so that
// the walk and the lines' printing may trust them.
bool Check_Graph(const Saved_Graph& graph, std::string& error)
{
    for (const std::uint32_t to : graph.next) {
        if (to >= graph.configurations) {
            error = "it is damaged: a transition leads to configuration " + std::to_string(to) +
                    " of " + std::to_string(graph.configurations);
            return false;
        }
    }
    for (const std::uint32_t line : graph.line_of) {
        if (line >= graph.lines.size()) {
            error = "it is damaged: a transition has trace line " + std::to_string(line) + " of " +
                    std::to_string(graph.lines.size());
            return false;
        }
    }
    constexpr double LIMIT = std::numeric_limits<std::int32_t>::max();
    for (const Trace_Line& line : graph.lines) {
        for (const double value : line) {
            if (!std::isfinite(value) || std::fabs(value) > LIMIT) {
                error = "it is damaged: a trace line holds a value out of range";
                return false;
            }
        }
    }
    return true;
}

} // namespace

Saved_Graph Graph_Of(const Exploration& exploration)
{
    Saved_Graph graph;
    graph.configurations = static_cast<std::uint32_t>(exploration.parent.size());
    graph.next = exploration.next;
    graph.line_of.reserve(std::size_t{graph.configurations} * INPUT_COUNT);
    for (std::uint32_t c = 0; c < graph.configurations; ++c) {
        for (int input = 0; input < STEP_INPUTS; ++input) {
            graph.line_of.push_back(exploration.line_of[Edge(c, input)]);
        }
        graph.line_of.push_back(exploration.quit_line_of[c]);
    }
    graph.lines = exploration.lines;
    return graph;
}

std::string Saved_Bytes(const Saved_Graph& graph)
{
    std::string out(MAGIC, MAGIC_SIZE);
    Put(out, VERSION);
    Put(out, static_cast<std::uint32_t>(INPUT_COUNT));
    Put(out, static_cast<std::uint32_t>(STEP_INPUTS));
    Put(out, static_cast<std::uint32_t>(TRACE_FIELD_COUNT));
    for (const Trace_Field& field : TRACE_FIELDS) {
        Put(out, static_cast<std::uint8_t>(std::strlen(field.name)));
        out += field.name;
    }
    Put(out, graph.configurations);
    Put(out, static_cast<std::uint32_t>(graph.lines.size()));
    for (const std::uint32_t to : graph.next) {
        Put(out, to);
    }
    for (const std::uint32_t line : graph.line_of) {
        Put(out, line);
    }
    for (const Trace_Line& line : graph.lines) {
        for (const double value : line) {
            Put(out, value);
        }
    }
    Put(out, Saved_Checksum(out));
    return out;
}

bool Parse_Saved(std::string_view bytes, Saved_Graph& graph, std::string& error)
{
    if (bytes.empty()) {
        error = "it is empty";
        return false;
    }
    if (bytes.size() < MAGIC_SIZE || bytes.substr(0, MAGIC_SIZE) != std::string_view(MAGIC)) {
        error = "it is not a file of mwc-check --save";
        return false;
    }
    Reader reader(bytes.substr(MAGIC_SIZE));
    std::uint32_t version = 0;
    if (!reader.Get(version)) {
        error = "it is truncated in its header";
        return false;
    }
    if (version != VERSION) {
        error = "it is of version " + std::to_string(version) + "; this mwc-check reads version " +
                std::to_string(VERSION);
        return false;
    }
    std::uint32_t configurations = 0;
    std::uint32_t lines = 0;
    if (!Parse_Header(reader, configurations, lines, error)) {
        return false;
    }
    // The size the header says, against the file's, before any table is made.
    const std::uint64_t tables =
        std::uint64_t{configurations} * (STEP_INPUTS + INPUT_COUNT) * sizeof(std::uint32_t) +
        std::uint64_t{lines} * TRACE_FIELD_COUNT * sizeof(double);
    const std::uint64_t expected = MAGIC_SIZE + reader.At() + tables + CHECKSUM_SIZE;
    if (bytes.size() != expected) {
        error = bytes.size() < expected
                    ? "it is truncated: its header says " + std::to_string(expected) +
                          " bytes, it has " + std::to_string(bytes.size())
                    : "it has " + std::to_string(bytes.size() - expected) +
                          " bytes more than its header says";
        return false;
    }
    std::uint64_t checksum = 0;
    Reader tail(bytes.substr(bytes.size() - CHECKSUM_SIZE));
    if (!tail.Get(checksum) ||
        checksum != Saved_Checksum(bytes.substr(0, bytes.size() - CHECKSUM_SIZE))) {
        error = "it is damaged: its checksum does not match";
        return false;
    }
    graph.configurations = configurations;
    graph.next.resize(std::size_t{configurations} * STEP_INPUTS);
    graph.line_of.resize(std::size_t{configurations} * INPUT_COUNT);
    graph.lines.resize(lines);
    for (std::uint32_t& to : graph.next) {
        reader.Get(to);
    }
    for (std::uint32_t& line : graph.line_of) {
        reader.Get(line);
    }
    for (Trace_Line& line : graph.lines) {
        for (double& value : line) {
            reader.Get(value);
        }
    }
    return Check_Graph(graph, error);
}

Difference Compare(const Saved_Graph& saved, const Saved_Graph& now, std::size_t max_pairs)
{
    struct Pair {
        std::uint32_t saved;
        std::uint32_t now;
        std::uint32_t parent; // the pair it was first met from
        char by;              // and the script byte that took it there
    };
    std::vector<Pair> queue{{0, 0, 0, 0}};
    std::unordered_map<std::uint64_t, std::uint32_t> met{{0, 0}};
    Difference difference;
    const auto way_to = [&queue](std::uint32_t at) {
        std::string script;
        for (; at != 0; at = queue[at].parent) {
            script.push_back(queue[at].by);
        }
        return std::string(script.rbegin(), script.rend());
    };
    for (std::uint32_t at = 0; at < queue.size(); ++at) {
        const Pair pair = queue[at];
        for (int input = 0; input < INPUT_COUNT; ++input) {
            const auto i = static_cast<std::size_t>(input);
            const Trace_Line& was =
                saved.lines[saved.line_of[pair.saved * std::size_t{INPUT_COUNT} + i]];
            const Trace_Line& is = now.lines[now.line_of[pair.now * std::size_t{INPUT_COUNT} + i]];
            bool same = true;
            for (std::size_t f = 0; f < TRACE_FIELD_COUNT; ++f) {
                same = same && (TRACE_FIELDS[f].type == Field_Type::COUNT || was[f] == is[f]);
            }
            if (!same) {
                difference = {false, false, queue.size(), way_to(at) + Script_Byte(input), was, is};
                return difference;
            }
            if (input == STEP_INPUTS) {
                continue; // q ends the script
            }
            const std::uint32_t to_saved = saved.next[Edge(pair.saved, input)];
            const std::uint32_t to_now = now.next[Edge(pair.now, input)];
            const std::uint64_t key = std::uint64_t{to_saved} << 32U | to_now;
            if (met.emplace(key, static_cast<std::uint32_t>(queue.size())).second) {
                queue.push_back({to_saved, to_now, at, Script_Byte(input)});
            }
        }
        if (queue.size() > max_pairs) {
            difference.stopped = true;
            break;
        }
    }
    difference.pairs = queue.size();
    return difference;
}
