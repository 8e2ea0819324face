// What mwc-check tells of an exploration: the answers to the questions
// asked (answers.cpp), the default report (report.cpp), and the
// controller's diagram, its cover, tour and compare (diagram.cpp).
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "check/cover.h"
#include "check/explore.h"
#include "check/expression.h"
#include "check/forms.h"
#include "check/saved.h"
#include "check/temporal.h"

// Parses a --keys SET, such as ".ae"; false, with the error said on `errors`.
bool Parse_Keys(std::FILE* errors, std::string_view set, unsigned& keys);

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

// The bytes of a piece of evidence as a script file has them: a lasso goes
// round its loop three times.
std::string Script_Of(const std::string& script, const std::string& loop, bool lasso);
std::string Script_Of(const Temporal_Evidence& evidence);

// The question as asked, and the keys its scripts press when not all: for
// the questions over time, and when `keys_apply`.
void Print_Heading(std::FILE* out, const Question& question, const char* indent,
                   bool keys_apply = false);

// "tick" or "ticks", for `count` of them.
const char* Ticks(std::size_t count);

// Replays `script` from start-up and writes the trace line of its last
// tick, after `lead` and the tick's number; `out` writes to `fd`.
void Print_Last_Line(std::FILE* out, int fd, const Exploration& exploration,
                     const std::string& script, const char* lead = "  ");

// The message for a condition that does not parse: what is wrong, the
// condition, and a mark under the place.
void Print_Expression_Error(std::FILE* to, const char* option, std::string_view condition,
                            const Expression_Error& error);

// The answer to each question, with its evidence scripts; for always and
// reach, the trace line of the script's last tick as mwc-replay --trace
// prints it. Or as JSON, one object per line. `out` writes to `fd`. Returns
// whether every question holds or is met. `scripts` gets every evidence
// shown, in order, as a script file has it (a lasso goes round its loop
// three times).
bool Print_Answers(std::FILE* out, int fd, const std::vector<Question>& questions,
                   const Exploration& exploration, bool json, std::vector<std::string>& scripts);

// The built-in questions over time, with the keys and bounds they need.
struct Builtin_Temporal {
    std::string description;
    std::string condition; // P --> Q
    unsigned keys;
    long max_ticks; // on the most ticks, or -1
};
const std::vector<Builtin_Temporal>& Builtin_Temporal_Properties();

// The default report, from an exploration of Builtin_Properties() in order,
// and the answers to the built-in questions over time. Returns whether
// every built-in property holds.
bool Print_Default_Report(std::FILE* out, int fd, const Exploration& exploration,
                          const std::vector<Question>& temporal, std::string& first_script);

// The controller's states and the transitions found, each labelled with the
// inputs that take it and, where one input goes more than one way from a
// state, the guard in square brackets: a Mermaid stateDiagram-v2,
// Graphviz's dot, or one JSON object. False, said on standard error, when
// the guards found are not exact on every configuration.
enum class Graph_Format { MERMAID, DOT, JSON };
bool Print_Graph(std::FILE* out, const Exploration& exploration, Graph_Format format);

// What the key script `name` took of the diagram's `moves`: how often, and
// first when, each was taken, and a shortest script for each missed; or as
// one JSON object. Returns whether it took all.
bool Print_Cover(std::FILE* out, const char* name, const Coverage& coverage,
                 const std::vector<Guarded_Move>& moves, bool json);
// Where this build parts from the saved one `name`: the shortest script,
// both lines (the saved build's first) and the fields that differ; or that
// none does. Or as one JSON object. Returns whether they are the same.
bool Print_Compare(std::FILE* out, const char* name, const Difference& difference, bool json);
// The transition tour, as evidence, and the moves it leaves out and why;
// or as one JSON object. Returns whether it takes all it can.
bool Print_Tour(std::FILE* out, const std::string& tour, const std::vector<Guarded_Move>& moves,
                const std::vector<std::size_t>& left, bool json);
