// mwc-check's command line: the options, the questions parsed from them,
// and what the exploration must keep to answer them.
#pragma once

#include <cstddef>
#include <vector>

#include "check/exploration/explore.h"
#include "check/exploration/saved.h"
#include "check/forms.h"
#include "check/outputs/diagram.h"

constexpr char PROGRAM[] = "mwc-check";
// The usage lines, the questions' options read from their rows.
const char* Usage();
// Exit status when the exploration stopped at its limit: no answer is known.
constexpr int EXIT_LIMIT = 3;

// What the command line asks for.
struct Request {
    const char* version = ""; // what --version prints
    std::vector<Question> questions;
    bool graph = false;
    Graph_Format format = Graph_Format::MERMAID;
    bool json = false;
    std::vector<const char*> script_paths; // each takes the next evidence
    const char* cover_path = nullptr;      // a key script to cover the diagram with
    int cover_fd = -1;                     // ... opened before the exploration
    bool tour = false;
    const char* save_path = nullptr;    // where this build's graph goes
    const char* compare_path = nullptr; // a saved graph to compare with
    Saved_Graph saved;                  // ... read before the exploration
    bool compare_stopped = false;       // more pairs met than the limit
    const char* keys_set = nullptr;
    std::size_t max_configurations = DEFAULT_MAX_CONFIGURATIONS;
    // Which of the files written name standard output, as it was at
    // start-up; they follow the answers there.
    bool save_to_output = false;
    std::vector<bool> script_to_output;
};

// Reads the command line into `request`; -1 to go on, or the exit status
// (--help and --version print and end there).
int Parse_Command_Line(int argc, char** argv, Request& request);

// Parses every question, and says every bad one, before any work; the
// report's own questions when none is asked. The always and reach
// questions become the exploration's properties.
bool Parse_Questions(Request& request, std::vector<Question>& over_time,
                     std::vector<Property>& properties);

// What the questions need kept beyond the graph.
Guard_Data Data_Needed(const Request& request, const std::vector<Question>& questions);

// The script to cover is opened, and the saved graph read, before any
// exploring: one that cannot be is said at once. -1 to go on, or the exit
// status.
int Read_Inputs(Request& request);
