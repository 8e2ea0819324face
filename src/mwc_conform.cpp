// mwc-conform: another implementation of the oven graded against the real
// controller.
//
// Runs a suite of key scripts, generated from the explored graph of the
// real controller, through a program that reads a byte a tick and writes a
// frame a tick, and compares its frames with those that the real tick draws
// for the same keys, in this process. A failure is shortened to a short
// script that every tool here replays.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "check/files.h"
#include "conform/report.h"
#include "conform/runner.h"
#include "conform/shrink.h"
#include "conform/suite.h"
#include "conform/suite_file.h"
#include "replay/command_line.h"
#include "replay/replay.h"
#include "replay/shown.h"

namespace
{

constexpr char PROGRAM[] = "mwc-conform";
constexpr char PROGRAM_VERSION[] = "mwc-conform " MWC_VERSION "\n";
constexpr char USAGE[] = "Usage: mwc-conform [OPTION]... -- COMMAND [ARG]...\n";
constexpr char HELP[] =
    "Grade another implementation of the microwave oven against the real controller.\n"
    "\n"
    "Runs a suite of key scripts through COMMAND, each followed by q on its standard\n"
    "input, and compares what it writes on its standard output, frame by frame,\n"
    "with the frames mwc draws for the same keys. COMMAND reads a byte a tick and\n"
    "writes a frame a tick, as mwc does when its input is a pipe.\n"
    "\n"
    "  -j, --jobs=N          run N scripts side by side (default: the cores)\n"
    "      --timeout=SECONDS  a limit on each script (default: 5 s and 0.2 s a tick)\n"
    "      --fast            run COMMAND with its sleeps shortened ten times\n"
    "                        (Debian's libfaketime)\n"
    "      --list            print the suite, each script with why it is there\n"
    "      --suite=FILE      write the suite to FILE (JSON), to run again or cut down\n"
    "      --suite-from=FILE  run the suite kept in FILE instead of making one\n"
    "      --json            write the verdict as one JSON object\n"
    "      --script=FILE     write the first failure's shortened script to FILE\n"
    "      --help            show this help and exit\n"
    "      --version         show the version and exit\n"
    "\n"
    "Exit status: 0 when every test passes, 1 when one fails or COMMAND cannot be\n"
    "run or a FILE read or written, 2 on bad usage (a FILE that is no suite too).\n";
constexpr char FAKETIME_LIBRARY[] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
constexpr int FIRST_JOBS_OPTION = 1000;

struct Options {
    Runner runner;
    bool list = false;
    bool json = false;
    const char* script_path = nullptr;
    const char* suite_path = nullptr;      // --suite
    const char* suite_from_path = nullptr; // --suite-from
};

// A positive number from an option, or false.
bool Number(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value > 0 && value < 1e9;
}

// -j's number of scripts at once, or --timeout's seconds; false, said on
// standard error, when it is no such number.
bool Take_Limit(bool jobs, const char* text, Runner& runner)
{
    double number = 0;
    if (jobs && Number(text, number) && number == static_cast<int>(number)) {
        runner.jobs = static_cast<int>(number);
        return true;
    }
    if (!jobs && Number(text, number)) {
        runner.timeout = number;
        return true;
    }
    std::fprintf(stderr, "%s: %s '%s': %s\n", PROGRAM, jobs ? "--jobs" : "--timeout",
                 Shown(text).c_str(),
                 jobs ? "a whole number of scripts at once" : "a number of seconds above 0");
    return false;
}

// The options into `options`; -1 to go on, or the exit status.
int Parse_Command_Line(int argc, char** argv, Options& options)
{
    enum {
        TIMEOUT = FIRST_JOBS_OPTION,
        FAST,
        LIST,
        JSON,
        SCRIPT,
        SUITE,
        SUITE_FROM,
        HELP_OPTION,
        VERSION_OPTION
    };
    const option long_options[] = {
        {"jobs", required_argument, nullptr, 'j'},
        {"timeout", required_argument, nullptr, TIMEOUT},
        {"suite", required_argument, nullptr, SUITE},
        {"suite-from", required_argument, nullptr, SUITE_FROM},
        {"fast", no_argument, nullptr, FAST},
        {"list", no_argument, nullptr, LIST},
        {"json", no_argument, nullptr, JSON},
        {"script", required_argument, nullptr, SCRIPT},
        {"help", no_argument, nullptr, HELP_OPTION},
        {"version", no_argument, nullptr, VERSION_OPTION},
        {nullptr, 0, nullptr, 0},
    };
    Name_Program(argv, PROGRAM);
    options.runner.jobs = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    for (int choice = 0; (choice = getopt_long(argc, argv, "+j:", long_options, nullptr)) != -1;) {
        switch (choice) {
        case 'j':
        case TIMEOUT:
            if (!Take_Limit(choice == 'j', optarg, options.runner)) {
                return Bad_Usage(PROGRAM, USAGE);
            }
            break;
        case FAST:
            options.runner.fast = true;
            break;
        case LIST:
            options.list = true;
            break;
        case JSON:
            options.json = true;
            break;
        case SCRIPT:
            options.script_path = optarg;
            break;
        case SUITE:
            options.suite_path = optarg;
            break;
        case SUITE_FROM:
            options.suite_from_path = optarg;
            break;
        case HELP_OPTION:
            std::fputs(USAGE, stdout);
            return Print_Text(PROGRAM, HELP);
        case VERSION_OPTION:
            return Print_Text(PROGRAM, PROGRAM_VERSION);
        default:
            return Bad_Usage(PROGRAM, USAGE);
        }
    }
    for (int i = optind; i < argc; ++i) {
        options.runner.command.emplace_back(argv[i]);
    }
    if (options.runner.command.empty() && !options.list && options.suite_path == nullptr) {
        std::fprintf(stderr, "%s: no COMMAND to grade\n", PROGRAM);
        return Bad_Usage(PROGRAM, USAGE);
    }
    return -1;
}

// --fast: the library that shortens the program's sleeps, if it is here.
void Find_Faketime(Runner& runner)
{
    struct stat library {
    };
    if (stat(FAKETIME_LIBRARY, &library) == 0) {
        runner.preload = FAKETIME_LIBRARY;
        return;
    }
    std::fprintf(stderr,
                 "%s: --fast needs libfaketime (%s), which is not installed: running at "
                 "the program's own speed\n",
                 PROGRAM, FAKETIME_LIBRARY);
    runner.fast = false;
}

void Stop(int signal)
{
    Stop_All_Running();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The suite, made or read, and written or listed as asked; -1 to run it,
// or the exit status when that is all there is to do.
int Get_Suite(const Options& options, std::FILE* out, Suite& suite)
{
    if (options.suite_from_path != nullptr) {
        const int status = Read_Suite_File(PROGRAM, options.suite_from_path, suite);
        if (status >= 0) {
            return status;
        }
    } else {
        suite = Make_Suite();
    }
    if (options.suite_path != nullptr &&
        !Write_Whole(PROGRAM, options.suite_path, Suite_Json(suite))) {
        return EXIT_FAILURE;
    }
    if (options.list) {
        Print_Suite(out, suite);
    }
    if (options.runner.command.empty()) {
        return std::fflush(out) == 0 && std::ferror(out) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int status = Parse_Command_Line(argc, argv, options);
    if (status >= 0) {
        return status;
    }
    // What is said goes to standard output as it was; the tick's own
    // printing, while the suite is made and the frames drawn, goes nowhere.
    const int out_fd = dup(STDOUT_FILENO);
    std::FILE* const out = out_fd < 0 ? nullptr : fdopen(out_fd, "w");
    if (out == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::fprintf(stderr, "%s: cannot set up standard output: %s\n", PROGRAM,
                     std::strerror(errno));
        return EXIT_FAILURE;
    }
    options.runner.start = Save_Configuration();
    Suite suite;
    const int ready = Get_Suite(options, out, suite);
    if (ready >= 0) {
        return ready;
    }
    if (options.runner.fast) {
        Find_Faketime(options.runner);
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, Stop);
    }
    std::vector<std::string> scripts;
    for (const Conformance_Test& test : suite.tests) {
        scripts.push_back(test.script);
    }
    const std::vector<Outcome> outcomes = Run_Scripts(options.runner, scripts);
    std::vector<Failure> failures;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i].not_run) {
            std::fprintf(stderr, "%s: cannot run '%s': %s\n", PROGRAM,
                         Shown(options.runner.command.front()).c_str(), outcomes[i].why.c_str());
            return EXIT_FAILURE;
        }
        if (!outcomes[i].passed) {
            failures.push_back({i, outcomes[i], scripts[i], false});
        }
    }
    if (!failures.empty()) { // the first is shortened: the others keep their own scripts
        Failure& first = failures.front();
        first.script = Shrink(options.runner, first.script, first.outcome);
        first.shortened = first.script.size() < scripts[first.test].size();
    }
    if (options.json) {
        Print_Verdict_Json(out, suite, failures);
    } else {
        Print_Verdict(out, suite, failures);
    }
    bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    if (!written) {
        std::fprintf(stderr, "%s: cannot write the verdict: %s\n", PROGRAM, std::strerror(errno));
    }
    if (options.script_path != nullptr && !failures.empty()) {
        written =
            Write_Whole(PROGRAM, options.script_path, failures.front().script + "q") && written;
    }
    return failures.empty() && written ? EXIT_SUCCESS : EXIT_FAILURE;
}
