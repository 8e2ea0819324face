// What a build of the oven does over every key script, kept in a file of
// its own (mwc-check --save), and the shortest key script on which two
// builds part (mwc-check --compare): the question a learner asks after
// changing the controller, and a refactoring's proof of changing nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/exploration/explore.h"

// The explored graph as a saved file holds it: from configuration c,
// input i of the STEP_INPUTS leads to next[c * STEP_INPUTS + i]; the
// trace line of input i of all INPUT_COUNT, q's too, is
// lines[line_of[c * INPUT_COUNT + i]]. Configuration 0 is start-up.
struct Saved_Graph {
    std::uint32_t configurations = 0;
    std::vector<std::uint32_t> next;
    std::vector<std::uint32_t> line_of;
    std::vector<Trace_Line> lines;
};

// The most a saved file may take; this oven's takes about 23 MB.
constexpr std::size_t MAX_SAVED_BYTES = std::size_t{64} << 20;

Saved_Graph Graph_Of(const Exploration& exploration);

// The checksum that ends a saved file, of all the bytes before it.
std::uint64_t Saved_Checksum(std::string_view bytes);

// The file's bytes: a magic and a version, the sizes, the trace's field
// names, the tables, and a checksum over all of it. Little-endian.
std::string Saved_Bytes(const Saved_Graph& graph);

// Reads `bytes` as a saved file; false, with `error` saying what is wrong,
// when it is empty, truncated, damaged, foreign, of another version, or of
// other trace fields. Sizes are checked before anything is allocated, the
// checksum before any text of the header is compared or shown (escaped),
// and every index, and every value against its field's range, before any
// is used.
bool Parse_Saved(std::string_view bytes, Saved_Graph& graph, std::string& error);

// The size of the whole file that `head`, its first bytes, says it has;
// 0 when they already show it is no saved file of this version; none
// while they hold no whole header.
std::optional<std::uint64_t> Saved_Size(std::string_view head);

// Where two builds first part, breadth first over pairs of configurations:
// the saved build's and this one's lines compared field by field, tick
// aside.
struct Difference {
    bool same = true;
    bool stopped = false;  // more pairs met than the limit
    std::size_t pairs = 0; // pairs of configurations met
    std::string script;    // the shortest script after which the lines differ
    Trace_Line saved_line{};
    Trace_Line this_line{};
};
Difference Compare(const Saved_Graph& saved, const Saved_Graph& now, std::size_t max_pairs);
