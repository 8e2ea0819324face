#include "run_mwc.h"

#include "console/keyboard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr std::string_view COLOUR_RESET = "\033[0m";
constexpr int POLL_MS = 20;

struct Chunk {
    std::size_t offset; // where it starts in the output
    double time;        // when it was read
};

double Seconds_Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The test ignores SIGPIPE, so that writing a script to a program that has
// already ended is an error and not its death; the programs get it back.
void Default_Sigpipe()
{
    signal(SIGPIPE, SIG_DFL);
}

[[noreturn]] void Exec_Mwc(int error_fd, int output_fd = -1)
{
    Default_Sigpipe();
    // The crash signals the tests send leave no core files behind.
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    dup2(error_fd, STDERR_FILENO);
    if (output_fd >= 0) {
        dup2(output_fd, STDOUT_FILENO);
    }
    // The same buzzer on every machine: no sound card, so the bell rings.
    setenv("ALSA_CONFIG_PATH", NO_SOUND_CARD_CONFIG, 1);
#ifdef VALGRIND_PATH
    // Memcheck run: any error or leak ends mwc with status 99; the report
    // goes to a file so that standard error stays mwc's own.
    if (const char* log = std::getenv("MWC_E2E_VALGRIND_LOG")) {
        const std::string log_option = std::string("--log-file=") + log;
        execl(VALGRIND_PATH, "valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
              "--show-leak-kinds=all", "--errors-for-leak-kinds=all",
              "--suppressions=" VALGRIND_SUPPRESSIONS, log_option.c_str(), MWC_PATH,
              static_cast<char*>(nullptr));
        _exit(127);
    }
#endif
    execl(MWC_PATH, "mwc", static_cast<char*>(nullptr));
    _exit(127);
}

// Runs mwc as a job of its own in the pseudo-terminal's session, in the
// foreground, as a job-control shell runs it. Its process group then has a
// parent in its session, so a stop signal really stops it: in an orphaned
// group, as mwc alone in the session would be, the kernel drops the stop.
// Writes the job's pid and then a 'T' at each of its stops to `report_fd`,
// and ends as the job ended, so the test's wait status is mwc's own.
[[noreturn]] void Run_As_Job(int error_fd, int report_fd)
{
    const pid_t job = fork();
    if (job == 0) {
        signal(SIGTTOU, SIG_IGN); // taking the terminal from the background
        setpgid(0, 0);
        tcsetpgrp(STDIN_FILENO, getpid());
        signal(SIGTTOU, SIG_DFL);
        Exec_Mwc(error_fd);
    }
    setpgid(job, job);
    if (write(report_fd, &job, sizeof job) != sizeof job) {
        _exit(127);
    }
    int status = 0;
    while (waitpid(job, &status, WUNTRACED) == job) {
        if (WIFSTOPPED(status)) {
            const char stopped = 'T';
            if (write(report_fd, &stopped, 1) != 1) {
                _exit(127);
            }
            continue;
        }
        if (WIFSIGNALED(status)) {
            signal(WTERMSIG(status), SIG_DFL);
            raise(WTERMSIG(status));
        }
        _exit(WEXITSTATUS(status));
    }
    _exit(127);
}

// Reads what is there; false at the end of the stream.
bool Read_Some(int fd, std::string& into, bool fold_cr)
{
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
        return n < 0 && errno == EINTR;
    }
    for (ssize_t i = 0; i < n; ++i) {
        if (!(fold_cr && buffer[i] == '\r')) {
            into.push_back(buffer[i]);
        }
    }
    return true;
}

struct Plan {
    std::string_view script;
    bool type_script; // type it on the terminal after the first frame
    int signal;       // sent a few frames after typing, when not 0
    double limit_s;
    int report_fd = -1;       // a stop plan: mwc is a job, reporting here (Run_As_Job)
    bool stop_output = false; // type Ctrl-S, and signal once the output is still
};

// Signals and stops are sent once this many frames have been read since the
// script was typed: counted in frames, not seconds, so a busy machine only
// makes the run slower.
constexpr std::size_t FRAMES_BEFORE_SIGNAL = 6;
constexpr std::size_t FRAMES_TO_SETTLE = 3; // after SIGCONT, before the modes are read
constexpr std::size_t STOPS = 2;            // a second stop finds the stop handler there again

// Each frame has one capital D, in its back-light line.
std::size_t Frames_In(std::string_view output)
{
    return static_cast<std::size_t>(std::count(output.begin(), output.end(), 'D'));
}

constexpr char STOP_OUTPUT = '\x13'; // Ctrl-S, the terminal's own

// A number from one of the kernel's files about process `pid`: the first
// field of /proc/PID/syscall (the system call it is in), or the value of a
// named line of /proc/PID/io; -1 when it cannot be read.
long Proc_Number(pid_t pid, const char* file, const char* name = nullptr)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/" + file;
    char text[512] = {};
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t size = fd < 0 ? -1 : read(fd, text, sizeof text - 1);
    if (fd >= 0) {
        close(fd);
    }
    if (size <= 0) {
        return -1;
    }
    const char* at = text;
    if (name != nullptr) {
        at = std::strstr(text, name);
        if (at == nullptr) {
            return -1;
        }
        at += std::strlen(name);
    }
    char* end = nullptr;
    const long number = std::strtol(at, &end, 10);
    return end == at ? -1 : number;
}

// Types Ctrl-S and reads what comes until mwc is seen waiting in a write:
// its output is held then, and nothing more will come.
void Stop_Output(Mwc_Run& run, pid_t pid, int out_fd, const Clock::time_point& give_up)
{
    if (write(out_fd, &STOP_OUTPUT, 1) != 1) {
        return;
    }
    while (Proc_Number(pid, "syscall") != SYS_write && Clock::now() < give_up) {
        pollfd pending{out_fd, POLLIN, 0};
        if (poll(&pending, 1, POLL_MS) > 0) {
            Read_Some(out_fd, run.output, true);
        }
    }
    run.stop_offsets.push_back(run.output.size());
}

// Stops mwc, waits until it is stopped and its last words, the colour
// reset, are read; notes the terminal's modes, and lets it go on.
void Stop_And_Continue(Mwc_Run& run, pid_t job, int report_fd, int out_fd,
                       const Clock::time_point& give_up)
{
    kill(job, SIGTSTP);
    char stopped = 0;
    pollfd report{report_fd, POLLIN, 0};
    while (poll(&report, 1, POLL_MS) == 0 && Clock::now() < give_up) {
    }
    run.stopped.push_back((report.revents & POLLIN) != 0 && read(report_fd, &stopped, 1) == 1 &&
                          stopped == 'T');
    while (!std::string_view(run.output).ends_with(COLOUR_RESET) && Clock::now() < give_up) {
        pollfd pending{out_fd, POLLIN, 0};
        if (poll(&pending, 1, POLL_MS) > 0 && !Read_Some(out_fd, run.output, true)) {
            break;
        }
    }
    termios modes{};
    tcgetattr(out_fd, &modes);
    run.while_stopped.push_back(modes);
    run.stop_offsets.push_back(run.output.size());
    kill(job, SIGCONT);
}

// What a run does as its frames come: the signal, or the stops, it plans.
struct Progress {
    bool typed = false;
    std::size_t typed_at = 0; // frames seen when the script was typed
    bool signalled = false;
    std::size_t resumed_at = 0; // frames seen when mwc went on, after a stop
};

// Sends the plan's signal, or makes its stops, once enough frames have come.
void Act_On_Frames(Mwc_Run& run, pid_t pid, pid_t job, int out_fd, const Plan& plan,
                   Progress& progress, const Clock::time_point& give_up)
{
    const bool stop = plan.report_fd >= 0;
    const std::size_t frames = Frames_In(run.output);
    if (progress.typed && !progress.signalled &&
        frames >= progress.typed_at + FRAMES_BEFORE_SIGNAL) {
        if (stop) {
            Stop_And_Continue(run, job, plan.report_fd, out_fd, give_up);
            progress.resumed_at = Frames_In(run.output);
            progress.signalled = true;
        } else {
            if (plan.stop_output) {
                Stop_Output(run, pid, out_fd, give_up);
            }
            run.writes_at_signal = Proc_Number(pid, "io", "syscw: ");
            run.frames_at_signal = Frames_In(run.output);
            progress.signalled = kill(pid, plan.signal) == 0;
        }
    }
    if (progress.resumed_at != 0 && frames >= progress.resumed_at + FRAMES_TO_SETTLE) {
        termios modes{};
        tcgetattr(out_fd, &modes);
        run.resumed.push_back(modes);
        progress.resumed_at = 0;
        if (run.stopped.size() < STOPS) {
            Stop_And_Continue(run, job, plan.report_fd, out_fd, give_up);
            progress.resumed_at = Frames_In(run.output);
        }
    }
}

// The output read as frames, each with the time its first byte was read;
// for a typed script that ends in q, the start-up frames that a late typing
// added are left out.
void Read_Run_Frames(Mwc_Run& run, const std::vector<Chunk>& chunks, const Plan& plan)
{
    // A colour reset as the last thing written is no part of the frames.
    std::string_view frames = run.output;
    run.colour_reset = frames.ends_with(COLOUR_RESET);
    if (run.colour_reset) {
        frames.remove_suffix(COLOUR_RESET.size());
    }
    run.frame_error = Read_Frames(frames, SEPARATOR_NEWLINES, run.frames);
    run.frames_before_script = run.frames.empty() ? 0 : 1;
    std::size_t offset = 0;
    std::size_t chunk = 0;
    for (const Frame& frame : run.frames) {
        while (chunk + 1 < chunks.size() && chunks[chunk + 1].offset <= offset) {
            ++chunk;
        }
        run.frame_times.push_back(chunks.empty() ? 0.0 : chunks[chunk].time);
        offset +=
            frame.light.size() + frame.value.size() + frame.mode.size() + 3 + SEPARATOR_NEWLINES;
    }
    if (plan.type_script && plan.script.ends_with(KEY_QUIT)) {
        const std::size_t late = Late_Ticks(run.frames, plan.script.size() + 1);
        run.frames.erase(run.frames.begin(), run.frames.begin() + static_cast<long>(late));
        run.frame_times.erase(run.frame_times.begin(),
                              run.frame_times.begin() + static_cast<long>(late));
        run.frames_before_script += late;
    }
}

// Reads standard output and error until both end or time runs out; types
// the script once the first frame is on the screen.
void Collect(Mwc_Run& run, pid_t pid, int out_fd, int err_fd, bool terminal, const Plan& plan)
{
    const auto start = Clock::now();
    const auto give_up = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(plan.limit_s));
    std::vector<Chunk> chunks;
    Progress progress{!plan.type_script, 0, plan.signal == 0 && plan.report_fd < 0, 0};
    pid_t job = pid;
    if (plan.report_fd >= 0 && read(plan.report_fd, &job, sizeof job) != sizeof job) {
        job = pid; // no job: nothing will stop
    }
    bool out_open = true;
    bool err_open = true;
    while ((out_open || err_open) && Clock::now() < give_up) {
        Act_On_Frames(run, pid, job, out_fd, plan, progress, give_up);
        pollfd fds[2] = {{out_open ? out_fd : -1, POLLIN, 0}, {err_open ? err_fd : -1, POLLIN, 0}};
        if (poll(fds, 2, POLL_MS) <= 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            chunks.push_back({run.output.size(), Seconds_Since(start)});
            out_open = Read_Some(out_fd, run.output, terminal);
        }
        if (fds[1].revents != 0) {
            err_open = Read_Some(err_fd, run.errors, false);
        }
        if (!progress.typed && std::count(run.output.begin(), run.output.end(), '\n') >= 3) {
            tcgetattr(out_fd, &run.running);
            progress.typed = write(out_fd, plan.script.data(), plan.script.size()) ==
                             static_cast<ssize_t>(plan.script.size());
            progress.typed_at = Frames_In(run.output);
        }
    }
    if (out_open || err_open) {
        kill(pid, SIGKILL);
    }
    waitpid(pid, &run.wait_status, 0);
    Read_Run_Frames(run, chunks, plan);
}

// mwc on a new pseudo-terminal in the kernel's cooked defaults, with a VTIME
// of its own so that a restore which forgets it shows.
Mwc_Run Run_Terminal(const Plan& plan, bool output_to_closed_pipe, bool stop_and_continue = false)
{
    Mwc_Run run;
    int scratch_master = -1;
    int scratch_slave = -1;
    openpty(&scratch_master, &scratch_slave, nullptr, nullptr, nullptr);
    tcgetattr(scratch_slave, &run.before);
    close(scratch_slave);
    close(scratch_master);
    run.before.c_cc[VTIME] = 3;
    winsize size{24, 80, 0, 0};

    int errors[2];
    int output[2];
    int report[2];
    if (pipe2(errors, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 ||
        pipe2(report, O_CLOEXEC) != 0) {
        return run;
    }
    Plan job_plan = plan;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, &run.before, &size);
    if (pid == 0) {
        if (stop_and_continue) {
            Run_As_Job(errors[1], report[1]);
        }
        Exec_Mwc(errors[1], output_to_closed_pipe ? output[1] : -1);
    }
    close(report[1]);
    if (stop_and_continue) {
        job_plan.report_fd = report[0];
    }
    close(errors[1]);
    close(output[0]); // nobody reads the pipe
    close(output[1]);
    if (pid < 0) {
        close(errors[0]);
        close(report[0]);
        return run;
    }
    Collect(run, pid, master, errors[0], true, job_plan);
    tcgetattr(master, &run.after);
    close(master);
    close(errors[0]);
    close(report[0]);
    return run;
}

} // namespace

std::size_t Late_Ticks(const std::vector<Frame>& frames, std::size_t expected)
{
    if (frames.size() <= expected) {
        return 0;
    }
    const std::size_t late = frames.size() - expected;
    for (std::size_t i = 0; i < late; ++i) {
        const Frame& a = frames[i];
        const Frame& b = frames[late];
        if (a.light != b.light || a.value != b.value || a.mode != b.mode) {
            return 0;
        }
    }
    return late;
}

std::string Idle(int ticks)
{
    return std::string(static_cast<std::size_t>(ticks), IDLE);
}

// Appended part by part: g++ 12 at -O3 takes "literal" + std::string for an
// overlapping copy (-Wrestrict), a known false positive.
std::string Script(std::initializer_list<std::string_view> parts)
{
    std::string script;
    for (const std::string_view part : parts) {
        script.append(part);
    }
    return script;
}

Mwc_Run Run_On_Terminal(std::string_view script, double limit_s, int signal)
{
    return Run_Terminal({script, true, signal, limit_s}, false);
}

Mwc_Run Run_With_Output_Stopped(std::string_view script, double limit_s, int signal)
{
    Plan plan{script, true, signal, limit_s};
    plan.stop_output = true;
    return Run_Terminal(plan, false);
}

Mwc_Run Run_Stopped_And_Continued(std::string_view script, double limit_s)
{
    return Run_Terminal({script, true, 0, limit_s}, false, true);
}

Mwc_Run Run_Into_Closed_Pipe(double limit_s)
{
    return Run_Terminal({"", false, 0, limit_s}, true);
}

Mwc_Run Run_On_Pipes(std::string_view script, double limit_s, int signal)
{
    return Run_Command_On_Pipes({}, script, limit_s, signal);
}

Mwc_Run Run_Command_On_Pipes(const std::vector<std::string>& command, std::string_view script,
                             double limit_s, int signal, int input_fd)
{
    std::vector<char*> argv;
    argv.reserve(command.size() + 1);
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str())); // execv's own type
    }
    argv.push_back(nullptr);
    Mwc_Run run;
    int in[2];
    int out[2];
    int errors[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
        return run;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(input_fd >= 0 ? input_fd : in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (!command.empty()) {
            const rlimit cpu{CPU_LIMIT_S, CPU_LIMIT_S};
            setrlimit(RLIMIT_CPU, &cpu);
            Default_Sigpipe();
            dup2(errors[1], STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        Exec_Mwc(errors[1]);
    }
    close(in[0]);
    close(out[1]);
    close(errors[1]);
    // A program that ends without reading, as after --help, leaves the
    // script unwritten: that is its business, and the run is still read.
    std::signal(SIGPIPE, SIG_IGN);
    (void)!write(in[1], script.data(), script.size());
    close(in[1]);
    if (pid > 0) {
        Collect(run, pid, out[0], errors[0], false, {script, false, signal, limit_s});
    }
    close(out[0]);
    close(errors[0]);
    return run;
}
