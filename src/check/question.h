// What a question to mwc-check is, whatever its form, and what its answer
// comes to; and the table of forms (forms.cpp) that the parsers, judges
// and printers of the rows read what a form means from.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "check/engines/temporal.h"
#include "check/exploration/explore.h"
#include "check/language/expression.h"

enum class Query { ALWAYS, REACH, INEVITABLE, FOREVER, LEADS_TO, CTL, VALUES };
constexpr std::size_t QUERY_COUNT = 7;

// A question as the user wrote it, and what it was parsed to.
struct Question {
    Query query;
    std::string condition;
    std::size_t property = 0;  // always and reach: its index in the exploration's evidence
    Temporal_Query temporal{}; // inevitable, forever and leads-to
    Expression formula{};      // ctl
    Expression value{};        // values: what is read from each line
    long max_ticks = -1;       // a built-in's bound on the most ticks, or -1 for none
};

// What one question's answer comes to, whatever its form.
struct Verdict {
    bool good = false;         // holds, or met
    const char* verdict = "";  // "holds", "fails", "met" or "not met"
    bool bounded = false;      // fewest and most are known
    bool fewest_shown = false; // in the JSON, else null
    bool most_shown = false;
    bool at_shown = false; // each evidence's P line, in the JSON
    long fewest = 0;
    long most = 0;
    std::vector<Temporal_Evidence> evidence;
    std::string outermost;           // ctl: the operator the evidence is for, or ""
    std::vector<std::string> values; // values: each evidence's, as the trace writes it
};

// Prints one answer as text; every line after the question's own begins
// with `indent` and two spaces. `fd` is where `out` writes, for trace lines.
using Print_Answer = void (*)(std::FILE* out, int fd, const Question& question,
                              const Verdict& verdict, const Exploration& exploration,
                              const char* indent);
// Prints one answer as a line of JSON.
using Print_Json_Answer = void (*)(std::FILE* out, const Question& question,
                                   const Verdict& verdict);

// What a form's answer means, which the judges and printers that rows
// share read from the row.
struct Form_Meaning {
    const char* good;   // the verdict when the answer is good: "holds", "met"
    const char* bad;    // and when not: "fails", "not met"
    bool universal;     // about every script: its evidence is a counterexample
    bool property;      // decided during the exploration, on every line met
    Temporal_Kind kind; // over time, as a query of temporal.h (else unused)
    bool at_shown;      // each evidence's P line, in the JSON
    bool nested_shown;  // each evidence's nested operators, in the JSON
};

struct Query_Form {
    Query query;
    const char* name;     // the option's, and the JSON's: "always" to "ctl"
    const char* argument; // as --help shows it: EXPR, 'P --> Q' or FORMULA
    const char* help;     // its lines in --help, each ending in a newline
    bool over_time;       // on never-ending scripts, with --keys
    // Parses the question's text with the keys that may be pressed; false,
    // with `error` said and marked in the text.
    bool (*parse)(Question& question, unsigned keys, Expression_Error& error);
    Verdict (*judge)(const Question& question, const Exploration& exploration);
    Print_Answer print;
    Print_Json_Answer json;
    Form_Meaning meaning;
};

const std::array<Query_Form, QUERY_COUNT>& Query_Forms();
const Query_Form& Form_Of(Query query);
