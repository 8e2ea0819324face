#include "check/request.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
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

#include "check/files.h"
#include "check/language/names.h"
#include "check/outputs/report.h"
#include "replay/command_line.h"
#include "replay/shown.h"

const char* Usage()
{
    // The questions' options from their rows, then the others, folded as
    // --help folds its lines.
    static const std::string usage = [] {
        constexpr char LEAD[] = "Usage: mwc-check ";
        constexpr std::size_t WIDTH = 79;
        std::vector<std::string> parts;
        for (const Query_Form& form : Query_Forms()) {
            parts.push_back(Words({"[--", form.name, " ", form.argument, "]..."}));
        }
        for (const char* other : {"[--keys SET]", "[--graph[=mermaid|dot|json]]", "[--json]",
                                  "[--script FILE]...", "[--max-configurations N]", "[--save FILE]",
                                  "[--compare FILE]", "[--cover FILE]", "[--tour]"}) {
            parts.emplace_back(other);
        }
        std::string text = LEAD;
        std::size_t line_start = 0;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0 && text.size() - line_start + 1 + parts[i].size() > WIDTH) {
                text.append("\n");
                line_start = text.size();
                text.append(std::strlen(LEAD), ' ');
            } else if (i > 0) {
                text.push_back(' ');
            }
            text.append(parts[i]);
        }
        return text + "\n";
    }();
    return usage.c_str();
}
namespace
{

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
            return Bad_Usage(PROGRAM, Usage());
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
            return Bad_Usage(PROGRAM, Usage());
        }
        request.max_configurations = static_cast<std::size_t>(limit);
        return -1;
    }
    case HELP_OPTION:
        std::fputs(Usage(), stdout);
        return Print_Text(PROGRAM, Help().c_str());
    case VERSION_OPTION:
        return Print_Text(PROGRAM, request.version);
    default: // getopt_long has said what is wrong
        return Bad_Usage(PROGRAM, Usage());
    }
}

} // namespace

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
    Name_Program(argv, PROGRAM);
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
        return Bad_Usage(PROGRAM, Usage());
    }
    return -1;
}

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

Guard_Data Data_Needed(const Request& request, const std::vector<Question>& questions)
{
    if (request.graph || request.cover_path != nullptr || request.tour) {
        return Guard_Data::KEPT;
    }
    const bool before = std::any_of(questions.begin(), questions.end(), Uses_Before);
    return before ? Guard_Data::BEFORE_LINES : Guard_Data::LEFT_OUT;
}

int Read_Inputs(Request& request)
{
    const auto is_standard_input = [](const char* path) {
        return path != nullptr && std::strcmp(path, "-") == 0;
    };
    if (is_standard_input(request.cover_path) && is_standard_input(request.compare_path)) {
        std::fprintf(stderr, "%s: --cover - and --compare - cannot both read standard input\n",
                     PROGRAM);
        return Bad_Usage(PROGRAM, Usage());
    }
    const bool more = !request.questions.empty() || request.graph ||
                      request.cover_path != nullptr || request.tour ||
                      request.compare_path != nullptr;
    if (request.save_to_output && more) {
        std::fprintf(stderr,
                     "%s: --save - writes on standard output, where answers go: ask "
                     "nothing else with it\n",
                     PROGRAM);
        return Bad_Usage(PROGRAM, Usage());
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
