// The controller's diagram as mwc-check draws it, and what a key script,
// a tour and another build make of it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "check/engines/cover.h"
#include "check/engines/guards.h"
#include "check/exploration/explore.h"
#include "check/exploration/saved.h"

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
