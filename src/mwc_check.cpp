// mwc-check: what the oven can and cannot do, over every key script.
//
// Explores the real controller (the tick of mwc and mwc-replay, from the
// same libraries) over every key script there is, answers the properties
// asked with a shortest script as evidence, and draws the transitions found.
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <getopt.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "check/explore.h"
#include "check/report.h"
#include "replay/command_line.h"

namespace
{

constexpr char PROGRAM[] = "mwc-check";
constexpr char PROGRAM_VERSION[] = "mwc-check " MWC_VERSION "\n";
constexpr char USAGE[] =
    "Usage: mwc-check [--always EXPR]... [--reach EXPR]... [--graph[=mermaid|dot]] "
    "[--script FILE] [--max-configurations N]\n";
// Exit status when the exploration stopped at its limit: no answer is known.
constexpr int EXIT_LIMIT = 3;
constexpr char HELP[] =
    "Check the microwave oven's controller over every key script there is.\n"
    "\n"
    "A trace line is one line of mwc-replay --trace: a tick's key and buzzer and the\n"
    "oven as the tick leaves it. Every script of the keys a to f, q and no key is\n"
    "explored, breadth first, through the oven's own tick.\n"
    "\n"
    "      --always EXPR   EXPR holds on every trace line of every script\n"
    "      --reach EXPR    some script makes a trace line where EXPR holds\n"
    "      --graph[=FORMAT]  print the controller's states and the transitions\n"
    "                      found, as Mermaid (the default) or dot\n"
    "      --script FILE   write the first evidence script to FILE, one byte per\n"
    "                      tick and '.' for no key, for mwc-replay and mwc\n"
    "      --max-configurations N  stop exploring after N configurations (default\n"
    "                      %zu), naming the fields still growing\n"
    "      --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Without --always, --reach or --graph, a report: what was explored, each state\n"
    "reached, and built-in properties. Evidence is a shortest script; in it a run\n"
    "of N ticks without a key reads .{N}.\n"
    "\n";
// Then the fields, from the trace's own list, and:
constexpr char HELP_END[] =
    "numbers, true, false, the state names Wait_Input to Finished (in double\n"
    "quotes for state_name), keys 'a' to 'f' and 'q', and none; and, loosest\n"
    "first: implies, or, and, not, = != < <= > >=, with parentheses.\n"
    "Example: mwc-check --always 'start implies not door'\n"
    "\n"
    "Exit status: 0 when every property holds or is met, 1 when one does not or\n"
    "the output could not be written, 2 on bad usage or a bad EXPR, 3 when the\n"
    "exploration reached its limit of configurations.\n";

constexpr std::size_t HELP_WIDTH = 79;

// The help, its list of fields filled in and folded to the width.
std::string Help()
{
    char head[sizeof HELP + 32];
    std::snprintf(head, sizeof head, HELP, DEFAULT_MAX_CONFIGURATIONS);
    std::string help = head;
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

// Writes `script`'s exact bytes to `path`; false, said on standard error, if
// it could not.
bool Write_Script(const char* path, const std::string& script)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    std::size_t done = 0;
    while (fd >= 0 && done < script.size()) {
        const ssize_t n = write(fd, script.data() + done, script.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (fd < 0 || done < script.size() || close(fd) != 0) {
        std::fprintf(stderr, "%s: cannot write '%s': %s\n", PROGRAM, path, std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Property_Text> asked;
    bool graph = false;
    bool dot = false;
    const char* script_path = nullptr;
    std::size_t max_configurations = DEFAULT_MAX_CONFIGURATIONS;
    enum { ALWAYS = 1, REACH, GRAPH, SCRIPT, LIMIT, HELP_OPTION, VERSION_OPTION };
    const option options[] = {
        {"always", required_argument, nullptr, ALWAYS},
        {"reach", required_argument, nullptr, REACH},
        {"graph", optional_argument, nullptr, GRAPH},
        {"script", required_argument, nullptr, SCRIPT},
        {"max-configurations", required_argument, nullptr, LIMIT},
        {"help", no_argument, nullptr, HELP_OPTION},
        {"version", no_argument, nullptr, VERSION_OPTION},
        {nullptr, 0, nullptr, 0},
    };
    // getopt's messages begin with argv[0]: the same name as the program's own.
    char program_name[sizeof PROGRAM];
    std::memcpy(program_name, PROGRAM, sizeof PROGRAM);
    argv[0] = program_name;
    for (int choice = 0; (choice = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        switch (choice) {
        case ALWAYS:
        case REACH:
            asked.push_back({choice == ALWAYS, optarg});
            break;
        case GRAPH:
            graph = true;
            dot = optarg != nullptr && std::strcmp(optarg, "dot") == 0;
            if (optarg != nullptr && !dot && std::strcmp(optarg, "mermaid") != 0) {
                std::fprintf(stderr, "%s: --graph is mermaid or dot, not '%s'\n", PROGRAM, optarg);
                return Bad_Usage(PROGRAM, USAGE);
            }
            break;
        case SCRIPT:
            script_path = optarg;
            break;
        case LIMIT: {
            char* end = nullptr;
            errno = 0;
            const unsigned long long limit = std::strtoull(optarg, &end, 10);
            if (!std::isdigit(static_cast<unsigned char>(*optarg)) || *end != '\0' || errno != 0 ||
                limit == 0 || limit > UINT32_MAX / 2) {
                std::fprintf(stderr,
                             "%s: --max-configurations is a number from 1 to %u, not '%s'\n",
                             PROGRAM, UINT32_MAX / 2, optarg);
                return Bad_Usage(PROGRAM, USAGE);
            }
            max_configurations = static_cast<std::size_t>(limit);
            break;
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
    if (optind < argc) {
        std::fprintf(stderr, "%s: extra operand '%s'\n", PROGRAM, argv[optind]);
        return Bad_Usage(PROGRAM, USAGE);
    }

    // Every condition is parsed, and every bad one said, before any work.
    const bool report = asked.empty() && !graph;
    if (report) {
        for (const Builtin_Property& builtin : Builtin_Properties()) {
            asked.push_back({true, builtin.condition});
        }
    }
    std::vector<Property> properties(asked.size());
    bool parsed = true;
    for (std::size_t i = 0; i < asked.size(); ++i) {
        properties[i].always = asked[i].always;
        Expression_Error error;
        if (!Parse_Expression(asked[i].condition, properties[i].expression, error)) {
            Print_Expression_Error(stderr, asked[i].always ? "--always" : "--reach",
                                   asked[i].condition, error);
            parsed = false;
        }
    }
    if (!parsed) {
        return EXIT_USAGE;
    }

    // The tick draws its frames on standard output: they go nowhere, in
    // large writes, and the answers go where standard output went.
    const int out_fd = dup(STDOUT_FILENO);
    std::FILE* const out = out_fd < 0 ? nullptr : fdopen(out_fd, "w");
    if (out == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::fprintf(stderr, "%s: cannot set up the output: %s\n", PROGRAM, std::strerror(errno));
        return EXIT_FAILURE;
    }
    static char frames_buffer[1 << 16];
    std::setvbuf(stdout, frames_buffer, _IOFBF, sizeof frames_buffer);

    const Exploration exploration = Explore(properties, max_configurations);
    if (!exploration.complete) {
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
    std::string first_script;
    bool all = true;
    if (report) {
        all = Print_Default_Report(out, out_fd, exploration, first_script);
    } else {
        all = Print_Answers(out, out_fd, asked, exploration, first_script);
    }
    if (graph) {
        std::fputs(asked.empty() ? "" : "\n", out);
        Print_Graph(out, exploration, dot);
    }
    const bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    if (!written) {
        std::fprintf(stderr, "%s: cannot write the report: %s\n", PROGRAM, std::strerror(errno));
    }
    std::fclose(out);

    bool script_written = true;
    if (script_path != nullptr && first_script.empty()) {
        std::fprintf(stderr, "%s: no evidence script to write; '%s' left as it was\n", PROGRAM,
                     script_path);
    } else if (script_path != nullptr) {
        script_written = Write_Script(script_path, first_script);
    }
    return all && written && script_written ? EXIT_SUCCESS : EXIT_FAILURE;
}
