#include "check/exploration/saved.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "replay/shown.h"

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

// The header after the version, read by its own counts: the inputs, the
// fields by name, the sizes. Nothing in it is compared with this build's
// yet: that waits for the checksum.
struct Header {
    std::uint32_t inputs = 0;
    std::uint32_t step_inputs = 0;
    std::vector<std::string_view> names;
    std::uint32_t configurations = 0;
    std::uint32_t lines = 0;
    std::uint64_t size = 0; // of the whole file, as the header says
};

bool Read_Header(Reader& reader, Header& header)
{
    std::uint32_t fields = 0;
    if (!reader.Get(header.inputs) || !reader.Get(header.step_inputs) || !reader.Get(fields) ||
        fields > std::numeric_limits<std::uint8_t>::max()) {
        return false;
    }
    for (std::uint32_t f = 0; f < fields; ++f) {
        std::uint8_t size = 0;
        std::string_view name;
        if (!reader.Get(size) || !reader.Text(size, name)) {
            return false;
        }
        header.names.push_back(name);
    }
    if (!reader.Get(header.configurations) || !reader.Get(header.lines)) {
        return false;
    }
    const std::uint64_t tables = std::uint64_t{header.configurations} *
                                     (std::uint64_t{header.step_inputs} + header.inputs) *
                                     sizeof(std::uint32_t) +
                                 std::uint64_t{header.lines} * fields * sizeof(double);
    header.size = MAGIC_SIZE + reader.At() + tables + CHECKSUM_SIZE;
    return true;
}

// The header, once the checksum holds, against this build's inputs and
// fields; the names it holds are shown escaped, as bytes from outside.
bool Check_Header(const Header& header, std::string& error)
{
    if (header.inputs != INPUT_COUNT || header.step_inputs != STEP_INPUTS ||
        header.names.size() != TRACE_FIELD_COUNT) {
        error = "it was saved with other inputs or trace fields than this mwc-check's";
        return false;
    }
    for (std::size_t f = 0; f < TRACE_FIELD_COUNT; ++f) {
        if (header.names[f] != TRACE_FIELDS[f].name) {
            error = "it was saved with other trace fields than this mwc-check's (" +
                    Shown(header.names[f]) + " where this one has " + TRACE_FIELDS[f].name + ")";
            return false;
        }
    }
    if (header.configurations == 0 || header.lines == 0) {
        error = "it holds no configuration or no trace line";
        return false;
    }
    return true;
}

// Every index in range and every value one its field can hold, so that
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
    for (const Trace_Line& line : graph.lines) {
        for (std::size_t f = 0; f < TRACE_FIELD_COUNT; ++f) {
            if (!Field_Value_Fits(TRACE_FIELDS[f].type, line[f])) {
                error = std::string("it is damaged: a trace line holds a value that no ") +
                        TRACE_FIELDS[f].name + " can have";
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

// The header's version and sizes first, as numbers: a file of another
// version may be laid out otherwise, and a size that does not match is said
// as truncated or too long. Then the checksum, before any of the header's
// text is compared or shown.
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
    Header header;
    if (!reader.Get(version)) {
        error = "it is truncated or damaged in its header";
        return false;
    }
    if (version != VERSION) {
        error = "it is of version " + std::to_string(version) + "; this mwc-check reads version " +
                std::to_string(VERSION);
        return false;
    }
    if (!Read_Header(reader, header)) {
        error = "it is truncated or damaged in its header";
        return false;
    }
    if (bytes.size() != header.size) {
        error = bytes.size() < header.size
                    ? "it is truncated: its header says " + std::to_string(header.size) +
                          " bytes, it has " + std::to_string(bytes.size())
                    : "it has " + std::to_string(bytes.size() - header.size) +
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
    if (!Check_Header(header, error)) {
        return false;
    }
    graph.configurations = header.configurations;
    graph.next.resize(std::size_t{header.configurations} * STEP_INPUTS);
    graph.line_of.resize(std::size_t{header.configurations} * INPUT_COUNT);
    graph.lines.resize(header.lines);
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

std::optional<std::uint64_t> Saved_Size(std::string_view head)
{
    const std::string_view magic = head.substr(0, MAGIC_SIZE);
    if (magic != std::string_view(MAGIC).substr(0, magic.size())) {
        return 0;
    }
    Reader reader(head.substr(magic.size()));
    std::uint32_t version = 0;
    Header header;
    if (magic.size() < MAGIC_SIZE || !reader.Get(version)) {
        return std::nullopt;
    }
    if (version != VERSION) {
        return 0;
    }
    return Read_Header(reader, header) ? std::optional(header.size) : std::nullopt;
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
