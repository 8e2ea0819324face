// The default report: what mwc-check says with no question asked, from an
// exploration of the built-in properties and the built-in questions over
// time.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "check/exploration/explore.h"
#include "check/question.h"

// The default report's properties, all of the `always` kind, with the
// oven's own limits written in.
struct Builtin_Property {
    std::string description;
    std::string condition;
};
const std::vector<Builtin_Property>& Builtin_Properties();

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

// Says on `err` that the exploration stopped at its limit of
// `max_configurations`, so that nothing is answered, and which fields of the
// trace lines were still growing; each line begins with `program`.
void Print_Stopped_At_Limit(std::FILE* err, const char* program, const Exploration& exploration,
                            std::size_t max_configurations);
