// mwc-check: what the oven can and cannot do, over every key script.
//
// Explores the real controller (the tick of mwc and mwc-replay, from the
// same libraries) over every key script there is, answers the properties
// asked with a shortest script as evidence, and draws the transitions found.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <getopt.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "check/cover.h"
#include "check/explore.h"
#include "check/files.h"
#include "check/guards.h"
#include "check/report.h"
#include "check/saved.h"
#include "replay/command_line.h"
#include "replay/shown.h"

namespace
{

constexpr char PROGRAM[] = "mwc-check";
constexpr char PROGRAM_VERSION[] = "mwc-check " MWC_VERSION "\n";
constexpr char USAGE[] =
    "Usage: mwc-check [--always EXPR]... [--reach EXPR]... [--inevitable EXPR]...\n"
    "                 [--forever EXPR]... [--leads-to 'EXPR --> EXPR']...\n"
    "                 [--ctl FORMULA]... [--values 'FIELD where EXPR']...\n"
    "                 [--keys SET] [--graph[=mermaid|dot|json]]\n"
    "                 [--json] [--script FILE]... [--max-configurations N]\n"
    "                 [--save FILE] [--compare FILE] [--cover FILE] [--tour]\n";
// Exit status when the exploration stopped at its limit: no answer is known.
constexpr int EXIT_LIMIT = 3;
constexpr char HELP_HEAD[] =
    "Check the microwave oven's controller over every key script there is.\n"
    "\n"
    "A trace line is one line of mwc-replay --trace: a tick's key and buzzer and the\n"
    "oven as the tick leaves it. Every script of the keys a to f, q and no key is\n"
    "explored, breadth first, through the oven's own tick.\n"
    "\n";
constexpr char HELP_OVER_TIME[] =
    "\n"
    "Over time, on never-ending scripts (no q), with the fewest and the most ticks:\n";
constexpr char HELP[] =
    "      --keys SET      press only these in the scripts of every question over\n"
    "                      time (after P for a leads-to) and of --values: '.' for\n"
    "                      no key, a to f\n"
    "\n"
    "      --json          one JSON object per line, one per question\n"
    "      --graph[=FORMAT]  print the controller's states and the transitions\n"
    "                      found, with their guards, as Mermaid (the default),\n"
    "                      dot or json\n"
    "      --script FILE   write the first evidence script to FILE, one byte per\n"
    "                      tick and '.' for no key, for mwc-replay and mwc; a\n"
    "                      loop is written three times. Given again, each FILE\n"
    "                      takes the next evidence shown, in the order shown: a\n"
    "                      nested operator's after its parents', a compare's,\n"
    "                      each missed transition's, the tour\n"
    "\n"
    "      --save FILE     write what this build does over every key script (its\n"
    "                      graph and trace lines) to FILE; - is standard output\n"
    "      --compare FILE  the shortest key script after which this build's trace\n"
    "                      line differs from the build saved in FILE (- reads\n"
    "                      standard input), or that none does\n"
    "      --cover FILE    which transitions of the graph the key script in FILE\n"
    "                      takes (read as mwc-replay reads it), and for each one\n"
    "                      missed a shortest script that takes it\n"
    "      --tour          one key script that takes every transition of the graph\n"
    "      --max-configurations N  stop exploring after N configurations (default\n"
    "                      %zu), naming the fields still growing\n"
    "      --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "With none of the above, a report: what was explored, each state reached,\n"
    "and built-in properties. Evidence is a shortest script; in it a run\n"
    "of N ticks without a key reads .{N}, and a loop is in parentheses.\n"
    "\n";
// Then the fields, from the trace's own list, and:
constexpr char HELP_END[] =
    "numbers, true, false, the state names Wait_Input to Finished (in double\n"
    "quotes for state_name), keys 'a' to 'f' and 'q', and none; and, loosest\n"
    "first: implies, or, and, not, = != < <= > >=, + -, with parentheses; each\n"
    "side of a comparison a value of the same kind, as time = before.time - 1.\n"
    "Any field but key, taken and buzzer can also be read as before.NAME: as the\n"
    "tick found the oven, before its door sensor and its step.\n"
    "Example: mwc-check --always 'start implies not door'\n"
    "\n"
    "Exit status: 0 when every question holds or is met, the builds compared are\n"
    "the same and the script covered takes every transition; 1 when one does not,\n"
    "or a file or the output could not be read or written; 2 on bad usage, a bad\n"
    "EXPR or a FILE to compare that is no saved graph; 3 when the exploration or\n"
    "the comparison reached its limit of configurations.\n";

constexpr std::size_t HELP_WIDTH = 79;

// The help: each form of question from its row, the options, and the list
// of fields, folded to the width.
std::string Help()
{
    std::string help = HELP_HEAD;
    for (const bool over_time : {false, true}) {
        help += over_time ? HELP_OVER_TIME : "";
        for (const Query_Form& form : Query_Forms()) {
            help += form.over_time == over_time ? form.help : "";
        }
    }
    char options[sizeof HELP + 32];
    std::snprintf(options, sizeof options, HELP, DEFAULT_MAX_CONFIGURATIONS);
    help += options;
    const std::string fields = "EXPR uses the fields " + Condition_Fields() + ";";
    std::size_t line_start = help.size();
    std::size_t word_start = 0;
    while (word_start < fields.size()) {
        std::size_t word_end = fields.find(' ', word_start);
        word_end = word_end == std::string::npos ? fields.size() : word_end;
        const std::size_t word = word_end - word_start;
        if (help.size() > line_start && help.size() - line_start + 1 + word > HELP_WIDTH) {
            help.push_back('\n');
            line_start = help.size();
        } else if (help.size() > line_start) {
            help.push_back(' ');
        }
        help.append(fields, word_start, word);
        word_start = word_end + 1;
    }
    return help + "\n" + HELP_END;
}

// What the command line asks for.
struct Request {
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

// The options after the questions' own, which are numbered from 1 in the
// order of their rows.
enum Option {
    KEYS = QUERY_COUNT + 1,
    GRAPH,
    JSON,
    SCRIPT,
    COVER,
    TOUR,
    SAVE,
    COMPARE,
    LIMIT,
    HELP_OPTION,
    VERSION_OPTION
};

// One option that is not a question; -1 to go on, or the exit status.
int Take_Option(int choice, Request& request)
{
    switch (choice) {
    case KEYS:
        request.keys_set = optarg;
        return -1;
    case GRAPH: {
        request.graph = true;
        const std::string_view name = optarg == nullptr ? "mermaid" : optarg;
        request.format = name == "dot"    ? Graph_Format::DOT
                         : name == "json" ? Graph_Format::JSON
                                          : Graph_Format::MERMAID;
        if (request.format == Graph_Format::MERMAID && name != "mermaid") {
            std::fprintf(stderr, "%s: --graph is mermaid, dot or json, not '%s'\n", PROGRAM,
                         Shown(optarg).c_str());
            return Bad_Usage(PROGRAM, USAGE);
        }
        return -1;
    }
    case JSON:
        request.json = true;
        return -1;
    case SCRIPT:
        request.script_paths.push_back(optarg);
        return -1;
    case COVER:
        request.cover_path = optarg;
        return -1;
    case TOUR:
        request.tour = true;
        return -1;
    case SAVE:
        request.save_path = optarg;
        return -1;
    case COMPARE:
        request.compare_path = optarg;
        return -1;
    case LIMIT: {
        char* end = nullptr;
        errno = 0;
        const unsigned long long limit = std::strtoull(optarg, &end, 10);
        if (!std::isdigit(static_cast<unsigned char>(*optarg)) || *end != '\0' || errno != 0 ||
            limit == 0 || limit > UINT32_MAX / 2) {
            std::fprintf(stderr, "%s: --max-configurations is a number from 1 to %u, not '%s'\n",
                         PROGRAM, UINT32_MAX / 2, Shown(optarg).c_str());
            return Bad_Usage(PROGRAM, USAGE);
        }
        request.max_configurations = static_cast<std::size_t>(limit);
        return -1;
    }
    case HELP_OPTION:
        std::fputs(USAGE, stdout);
        return Print_Text(PROGRAM, Help().c_str());
    case VERSION_OPTION:
        return Print_Text(PROGRAM, PROGRAM_VERSION);
    default: // getopt_long has said what is wrong
        return Bad_Usage(PROGRAM, USAGE);
    }
}

// Reads the command line into `request`; -1 to go on, or the exit status.
int Parse_Command_Line(int argc, char** argv, Request& request)
{
    std::vector<option> options;
    // The questions' options are named as the answers name them.
    for (const Query_Form& form : Query_Forms()) {
        options.push_back(
            {form.name, required_argument, nullptr, 1 + static_cast<int>(form.query)});
    }
    options.insert(options.end(), {
                                      {"keys", required_argument, nullptr, KEYS},
                                      {"graph", optional_argument, nullptr, GRAPH},
                                      {"json", no_argument, nullptr, JSON},
                                      {"script", required_argument, nullptr, SCRIPT},
                                      {"cover", required_argument, nullptr, COVER},
                                      {"tour", no_argument, nullptr, TOUR},
                                      {"save", required_argument, nullptr, SAVE},
                                      {"compare", required_argument, nullptr, COMPARE},
                                      {"max-configurations", required_argument, nullptr, LIMIT},
                                      {"help", no_argument, nullptr, HELP_OPTION},
                                      {"version", no_argument, nullptr, VERSION_OPTION},
                                      {nullptr, 0, nullptr, 0},
                                  });
    // getopt's messages begin with argv[0]: the same name as the program's own.
    static char program_name[sizeof PROGRAM];
    std::memcpy(program_name, PROGRAM, sizeof PROGRAM);
    argv[0] = program_name;
    for (int choice = 0; (choice = getopt_long(argc, argv, "", options.data(), nullptr)) != -1;) {
        if (choice >= 1 && choice <= static_cast<int>(QUERY_COUNT)) {
            request.questions.push_back({static_cast<Query>(choice - 1), optarg});
            continue;
        }
        const int status = Take_Option(choice, request);
        if (status >= 0) {
            return status;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "%s: extra operand '%s'\n", PROGRAM, Shown(argv[optind]).c_str());
        return Bad_Usage(PROGRAM, USAGE);
    }
    return -1;
}

// Parses every question, and says every bad one, before any work; the
// report's own questions when none is asked. The always and reach
// questions become the exploration's properties.
bool Parse_Questions(Request& request, std::vector<Question>& over_time,
                     std::vector<Property>& properties)
{
    unsigned keys = ALL_STEP_INPUTS;
    bool parsed = request.keys_set == nullptr || Parse_Keys(stderr, request.keys_set, keys);
    if (request.questions.empty() && !request.graph && request.cover_path == nullptr &&
        !request.tour && request.save_path == nullptr && request.compare_path == nullptr) {
        for (const Builtin_Property& builtin : Builtin_Properties()) {
            request.questions.push_back({Query::ALWAYS, builtin.condition});
        }
        for (const Builtin_Temporal& builtin : Builtin_Temporal_Properties()) {
            Question question{Query::LEADS_TO, builtin.condition};
            question.max_ticks = builtin.max_ticks;
            parsed = Parse_Question(stderr, question, builtin.keys) && parsed;
            over_time.push_back(question);
        }
    }
    for (Question& question : request.questions) {
        parsed = Parse_Question(stderr, question, keys) && parsed;
        Add_Property(question, properties);
    }
    return parsed;
}

// What the questions need kept beyond the graph.
Guard_Data Data_Needed(const Request& request, const std::vector<Question>& questions)
{
    if (request.graph || request.cover_path != nullptr || request.tour) {
        return Guard_Data::KEPT;
    }
    const bool before = std::any_of(questions.begin(), questions.end(), Uses_Before);
    return before ? Guard_Data::BEFORE_LINES : Guard_Data::LEFT_OUT;
}

// Says that the exploration stopped at its limit, and what still grew.
int Stopped_At_Limit(const Exploration& exploration, std::size_t max_configurations)
{
    std::fprintf(stderr,
                 "%s: stopped at the limit of %zu configurations (--max-configurations), "
                 "so nothing is answered\n",
                 PROGRAM, max_configurations);
    if (exploration.growing.empty()) {
        std::fprintf(stderr, "%s: no field of the trace lines was still growing\n", PROGRAM);
    } else {
        std::fprintf(stderr, "%s: still growing in the second half: %s\n", PROGRAM,
                     exploration.growing.c_str());
    }
    return EXIT_LIMIT;
}

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

// The script to cover is opened, and the saved graph read, before any
// exploring: one that cannot be is said at once. -1 to go on, or the exit
// status.
int Read_Inputs(Request& request)
{
    const auto is_standard_input = [](const char* path) {
        return path != nullptr && std::strcmp(path, "-") == 0;
    };
    if (is_standard_input(request.cover_path) && is_standard_input(request.compare_path)) {
        std::fprintf(stderr, "%s: --cover - and --compare - cannot both read standard input\n",
                     PROGRAM);
        return Bad_Usage(PROGRAM, USAGE);
    }
    const bool more = !request.questions.empty() || request.graph ||
                      request.cover_path != nullptr || request.tour ||
                      request.compare_path != nullptr;
    if (request.save_to_output && more) {
        std::fprintf(stderr,
                     "%s: --save - writes on standard output, where answers go: ask "
                     "nothing else with it\n",
                     PROGRAM);
        return Bad_Usage(PROGRAM, USAGE);
    }
    if (request.cover_path != nullptr) {
        request.cover_fd = is_standard_input(request.cover_path)
                               ? STDIN_FILENO
                               : open(request.cover_path, O_RDONLY | O_CLOEXEC);
        if (request.cover_fd < 0) {
            std::fprintf(stderr, "%s: cannot read '%s': %s\n", PROGRAM,
                         Shown(request.cover_path).c_str(), std::strerror(errno));
            return EXIT_FAILURE;
        }
    }
    if (request.compare_path != nullptr) {
        std::string bytes;
        const int status = Read_Saved_File(PROGRAM, request.compare_path, bytes);
        if (status >= 0) {
            return status;
        }
        std::string error;
        if (!Parse_Saved(bytes, request.saved, error)) {
            std::fprintf(stderr, "%s: '%s' cannot be compared with: %s\n", PROGRAM,
                         Shown(request.compare_path).c_str(), error.c_str());
            return EXIT_USAGE;
        }
    }
    return -1;
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
        return Stopped_At_Limit(exploration, request.max_configurations);
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
