// What mwc-check tells of an exploration: the answers to the properties
// asked, the default report, and the controller's graph.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "check/explore.h"
#include "check/expression.h"

// A property as the user wrote it.
struct Property_Text {
    bool always; // --always; else --reach
    std::string condition;
};

// The default report's properties, all of the `always` kind, with the
// oven's own limits written in.
struct Builtin_Property {
    std::string description;
    std::string condition;
};
const std::vector<Builtin_Property>& Builtin_Properties();

// A script as a person reads it: keys and "." for a tick without a key,
// apart, and a run of N ticks without a key as ".{N}".
std::string Readable_Script(std::string_view script);

// The message for a condition that does not parse: what is wrong, the
// condition, and a mark under the place.
void Print_Expression_Error(std::FILE* to, const char* option, std::string_view condition,
                            const Expression_Error& error);

// The answer to each property, with its evidence script and the trace line
// of the script's last tick as mwc-replay --trace prints it. `out` writes to
// `fd`. Returns whether every `always` holds and every `reach` is met;
// `first_script` is the first evidence script shown, or empty.
bool Print_Answers(std::FILE* out, int fd, const std::vector<Property_Text>& properties,
                   const Exploration& exploration, std::string& first_script);

// The default report, from an exploration of Builtin_Properties() in order.
// Returns whether every built-in property holds.
bool Print_Default_Report(std::FILE* out, int fd, const Exploration& exploration,
                          std::string& first_script);

// The controller's states and the transitions found, each labelled with the
// inputs that take it: a Mermaid stateDiagram-v2, or Graphviz's dot.
void Print_Graph(std::FILE* out, const Exploration& exploration, bool dot);
