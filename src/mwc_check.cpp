// mwc-check: what the oven can and cannot do, over every key script.
//
// Explores the real controller (the tick of mwc and mwc-replay, from the
// same libraries) over every key script there is, answers the properties
// asked with a shortest script as evidence, and draws the transitions found.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "check/engines/cover.h"
#include "check/engines/guards.h"
#include "check/exploration/explore.h"
#include "check/exploration/saved.h"
#include "check/files.h"
#include "check/outputs/answers.h"
#include "check/outputs/diagram.h"
#include "check/outputs/report.h"
#include "check/request.h"
#include "replay/command_line.h"
#include "replay/shown.h"

namespace
{

constexpr char PROGRAM_VERSION[] = "mwc-check " MWC_VERSION "\n";

// Walks the script of --cover through the graph, a buffer at a time; false,
// said on standard error, when it cannot be read.
bool Read_Cover(const Request& request, const Exploration& exploration,
                const std::vector<std::uint16_t>& taken_by, Coverage& coverage)
{
    char bytes[1 << 16];
    ssize_t n = 0;
    while ((n = read(request.cover_fd, bytes, sizeof bytes)) != 0 && !coverage.ended) {
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            std::fprintf(stderr, "%s: cannot read '%s': %s\n", PROGRAM,
                         Shown(request.cover_path).c_str(), std::strerror(errno));
            return false;
        }
        Cover_Bytes(exploration, taken_by, bytes, static_cast<std::size_t>(n), coverage);
    }
    Finish_Cover(exploration, taken_by, coverage);
    return true;
}

// --cover and --tour, against the diagram that --graph draws; whether the
// script took every transition and the tour every one it can.
bool Cover_And_Tour(std::FILE* out, const Request& request, const Exploration& exploration,
                    std::vector<std::string>& scripts)
{
    const Guarded_Graph graph = Find_Guards(exploration);
    std::string fault = graph.fault;
    const std::vector<std::uint16_t> taken_by =
        graph.exact ? Moves_Taken(exploration, graph.moves, fault) : std::vector<std::uint16_t>{};
    if (taken_by.empty()) {
        std::fprintf(stderr, "%s: the guards found are not exact: %s\n", PROGRAM, fault.c_str());
        return false;
    }
    bool all = true;
    if (request.cover_path != nullptr) {
        Coverage coverage = Start_Cover(exploration, graph.moves, taken_by);
        if (!Read_Cover(request, exploration, taken_by, coverage)) {
            return false;
        }
        std::fputs(request.questions.empty() || request.json ? "" : "\n", out);
        all = Print_Cover(out, request.cover_path, coverage, graph.moves, request.json);
        for (const Move_Coverage& move : coverage.moves) {
            if (move.taken == 0) {
                scripts.push_back(move.shortest); // each missed transition's, in order
            }
        }
    }
    if (request.tour) {
        const bool after = !request.questions.empty() || request.cover_path != nullptr;
        std::fputs(after && !request.json ? "\n" : "", out);
        std::vector<std::size_t> left;
        const std::string tour = Tour(exploration, graph.moves, taken_by, left);
        all = Print_Tour(out, tour, graph.moves, left, request.json) && all;
        scripts.push_back(tour);
    }
    return all;
}

// --save and --compare: this build's graph into a file, or beside a saved
// one; whether it was written, and the builds are the same. A difference's
// script goes on `scripts`.
bool Save_And_Compare(std::FILE* out, Request& request, const Exploration& exploration,
                      std::vector<std::string>& scripts)
{
    bool all = true;
    if (request.save_path != nullptr) {
        const std::string bytes = Saved_Bytes(Graph_Of(exploration));
        if (request.save_to_output) {
            all = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        } else {
            all = Write_Whole(PROGRAM, request.save_path, bytes);
        }
    }
    if (request.compare_path != nullptr) {
        const Difference difference =
            Compare(request.saved, Graph_Of(exploration), request.max_configurations);
        if (difference.stopped) {
            request.compare_stopped = true;
            return false;
        }
        std::fputs(request.questions.empty() || request.json ? "" : "\n", out);
        all = Print_Compare(out, request.compare_path, difference, request.json) && all;
        if (!difference.same) {
            scripts.push_back(difference.script);
        }
    }
    return all;
}

// The answers, the report or the graph on `out`; whether all hold.
bool Answer_All(std::FILE* out, int out_fd, Request& request,
                const std::vector<Question>& over_time, const Exploration& exploration,
                std::vector<std::string>& scripts)
{
    const bool report = !over_time.empty();
    bool all = true;
    if (report && request.json) {
        request.questions.insert(request.questions.end(), over_time.begin(), over_time.end());
        all = Print_Answers(out, out_fd, request.questions, exploration, true, scripts);
    } else if (report) {
        std::string first_script;
        all = Print_Default_Report(out, out_fd, exploration, over_time, first_script);
        scripts.push_back(first_script);
    } else {
        all = Print_Answers(out, out_fd, request.questions, exploration, request.json, scripts);
    }
    if (request.save_path != nullptr || request.compare_path != nullptr) {
        all = Save_And_Compare(out, request, exploration, scripts) && all;
    }
    if (request.cover_path != nullptr || request.tour) {
        all = Cover_And_Tour(out, request, exploration, scripts) && all;
    }
    if (request.graph) {
        std::fputs(request.questions.empty() || request.json ? "" : "\n", out);
        all = Print_Graph(out, exploration, request.format) && all;
    }
    return all;
}

} // namespace

int main(int argc, char** argv)
{
    Request request;
    request.version = PROGRAM_VERSION;
    const int status = Parse_Command_Line(argc, argv, request);
    if (status >= 0) {
        return status;
    }
    std::vector<Question> over_time; // the report's own
    std::vector<Property> properties;
    if (!Parse_Questions(request, over_time, properties)) {
        return EXIT_USAGE;
    }
    // A write past a file size limit fails, and is said, as any other.
    std::signal(SIGXFSZ, SIG_IGN);
    const Standard_Output standard_output = Note_Standard_Output();
    request.save_to_output =
        request.save_path != nullptr && Names_Standard_Output(standard_output, request.save_path);
    for (const char* path : request.script_paths) {
        request.script_to_output.push_back(Names_Standard_Output(standard_output, path));
    }
    const int inputs = Read_Inputs(request);
    if (inputs >= 0) {
        return inputs;
    }

    // The tick writes on standard output (the back light's lines, and the
    // frames of the few ticks run outside the exploration), and none of
    // it is wanted: standard output becomes a stream that takes no writes,
    // so each printf fails at once, before any formatting, and the tick
    // goes on as it does when a write fails. The answers go where standard
    // output went.
    const int out_fd = dup(STDOUT_FILENO);
    std::FILE* const out = out_fd < 0 ? nullptr : fdopen(out_fd, "w");
    if (out == nullptr || std::freopen("/dev/null", "r", stdout) == nullptr) {
        std::fprintf(stderr, "%s: cannot set up the output: %s\n", PROGRAM, std::strerror(errno));
        return EXIT_FAILURE;
    }

    std::vector<Question> all_questions = request.questions;
    all_questions.insert(all_questions.end(), over_time.begin(), over_time.end());
    const Exploration exploration =
        Explore(properties, request.max_configurations, Data_Needed(request, all_questions));
    if (!exploration.complete) {
        Print_Stopped_At_Limit(stderr, PROGRAM, exploration, request.max_configurations);
        return EXIT_LIMIT;
    }
    std::vector<std::string> scripts;
    const bool all = Answer_All(out, out_fd, request, over_time, exploration, scripts);
    if (request.compare_stopped) {
        std::fprintf(stderr,
                     "%s: stopped at the limit of %zu pairs of configurations "
                     "(--max-configurations) in the comparison, so nothing is answered\n",
                     PROGRAM, request.max_configurations);
        return EXIT_LIMIT;
    }
    // Each --script in turn takes the next evidence shown; one that names
    // standard output follows the answers there.
    bool scripts_written = true;
    for (std::size_t i = 0; i < request.script_paths.size(); ++i) {
        const char* const path = request.script_paths[i];
        if (i >= scripts.size()) {
            std::fprintf(stderr, "%s: no evidence script to write; '%s' left as it was\n", PROGRAM,
                         Shown(path).c_str());
        } else if (request.script_to_output[i]) {
            std::fputs(scripts[i].c_str(), out);
        } else {
            scripts_written = Write_Whole(PROGRAM, path, scripts[i]) && scripts_written;
        }
    }
    const bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    if (!written) {
        std::fprintf(stderr, "%s: cannot write the report: %s\n", PROGRAM, std::strerror(errno));
    }
    std::fclose(out);
    return all && written && scripts_written ? EXIT_SUCCESS : EXIT_FAILURE;
}
