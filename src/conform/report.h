// What mwc-conform says: the suite as a list, and the verdict, as text or
// as one JSON object, each failure with its frames and its script.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "conform/runner.h"
#include "conform/suite.h"

// A failing test as reported: the test, its outcome, and the script it was
// shortened to.
struct Failure {
    std::size_t test = 0; // its index in the suite
    Outcome outcome;
    std::string script; // shortened, or the test's own
    bool shortened = false;
};

// Each test with why it is there, its ticks and its script; then the
// objectives no script meets, and the total.
void Print_Suite(std::FILE* out, const Suite& suite);

// The verdict as text: each failure with both frames and its script.
void Print_Verdict(std::FILE* out, const Suite& suite, const std::vector<Failure>& failures);

// The verdict as one line of JSON.
void Print_Verdict_Json(std::FILE* out, const Suite& suite, const std::vector<Failure>& failures);
