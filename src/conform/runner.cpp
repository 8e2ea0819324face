#include "conform/runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "conform/frames.h"
#include "console/keyboard.h"

namespace
{

using Clock = std::chrono::steady_clock;

constexpr double START_SECONDS = 5.0;    // for start-up, before the first tick
constexpr double SECONDS_PER_TICK = 0.2; // twice the oven's 100 ms tick
constexpr double FAST_SPEED = 10.0;      // how much faster --fast runs a program's clock
constexpr int MAX_JOBS = 256;
constexpr int REAP_POLL_MS = 10; // while a program that closed its output has not exited

// The process groups running, for the signal handler that ends mwc-conform:
// a fixed table, which a handler may read.
volatile pid_t running_groups[MAX_JOBS];

struct Child {
    std::size_t index = 0; // of the script
    int slot = 0;          // in running_groups
    pid_t pid = -1;
    int in = -1; // its standard input, which we write
    int out = -1;
    std::string input;
    std::size_t written = 0;
    std::string output;
    Clock::time_point deadline;
    double seconds = 0; // its limit
    bool stopped_reading = false;
    bool timed_out = false;
    bool exited = false;
    int status = 0;
    int exec_error = 0;
};

void Close(int& fd)
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// In the child, after fork: its own process group, the pipes as its
// standard input and output, standard error to nowhere; then the program.
[[noreturn]] void Exec(const Runner& runner, int in, int out, int report)
{
    setpgid(0, 0);
    std::signal(SIGPIPE, SIG_DFL); // ignored here, and an ignored signal stays ignored
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    if (runner.fast) {
        setenv("LD_PRELOAD", runner.preload.c_str(), 1);
        setenv("FAKETIME", "+0 x10", 1);
    }
    std::vector<char*> argv;
    for (const std::string& word : runner.command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    const int error = errno;
    [[maybe_unused]] const ssize_t told = write(report, &error, sizeof error);
    _exit(127);
}

// Starts the program on `child`'s input; false, with exec_error, if it
// could not be.
bool Spawn(const Runner& runner, Child& child)
{
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    int report[2] = {-1, -1};
    const bool piped =
        pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(report, O_CLOEXEC) == 0;
    child.pid = piped ? fork() : -1;
    if (child.pid == 0) {
        Exec(runner, in[0], out[1], report[1]);
    }
    if (child.pid < 0) { // no pipe or no process to be had: said as the program not run
        child.exec_error = errno;
        for (int fd : {in[0], in[1], out[0], out[1], report[0], report[1]}) {
            Close(fd);
        }
        return false;
    }
    setpgid(child.pid, child.pid); // as the child does: whichever runs first
    running_groups[child.slot] = child.pid;
    close(in[0]);
    close(out[1]);
    close(report[1]);
    int error = 0;
    ssize_t n = 0;
    do {
        n = read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    child.in = in[1];
    child.out = out[0];
    fcntl(child.in, F_SETFL, O_NONBLOCK);
    fcntl(child.out, F_SETFL, O_NONBLOCK);
    if (n == static_cast<ssize_t>(sizeof error)) {
        child.exec_error = error;
        return false;
    }
    return true;
}

// Ends the child's process group, its own exit collected.
void Reap(Child& child)
{
    if (child.pid > 0) {
        kill(-child.pid, SIGKILL); // what it left behind, if anything
        if (!child.exited) {
            while (waitpid(child.pid, &child.status, 0) < 0 && errno == EINTR) {
            }
            child.exited = true;
        }
    }
    running_groups[child.slot] = 0;
    Close(child.in);
    Close(child.out);
}

void Write_More(Child& child)
{
    while (child.in >= 0 && child.written < child.input.size()) {
        const ssize_t n =
            write(child.in, child.input.data() + child.written, child.input.size() - child.written);
        if (n > 0) {
            child.written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EPIPE) {
            child.stopped_reading = true;
            Close(child.in);
        } else if (n < 0 && errno != EINTR) {
            return; // EAGAIN: the pipe is full until it reads
        }
    }
    if (child.written == child.input.size()) {
        Close(child.in); // the end of its input, after the q
    }
}

void Read_More(Child& child)
{
    char buffer[1 << 14];
    for (;;) {
        const ssize_t n = read(child.out, buffer, sizeof buffer);
        if (n > 0) {
            child.output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            Close(child.out);
            return;
        } else if (errno != EINTR) {
            return;
        }
    }
}

} // namespace

namespace
{

std::string Frames_Of(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

// What ended a program that wrote too few frames.
std::string Ending(const Child& child, std::size_t frames, std::size_t ticks)
{
    const std::string wrote = "after " + Frames_Of(frames) + " of " + std::to_string(ticks);
    if (child.timed_out) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", child.seconds);
        return std::string("did not finish within ") + limit + " s, " + wrote +
               (child.stopped_reading ? "; it had stopped reading its input" : "");
    }
    if (WIFSIGNALED(child.status)) {
        const int signal = WTERMSIG(child.status);
        const char* name = sigabbrev_np(signal);
        return "crashed " + wrote + ": killed by signal " + std::to_string(signal) + " (SIG" +
               (name != nullptr ? name : "?") + ", " + strsignal(signal) + ")";
    }
    return "exited with status " + std::to_string(WEXITSTATUS(child.status)) + " " + wrote;
}

// The child's output against the real controller's frames.
Outcome Judge(const Runner& runner, const Child& child, const std::string& script)
{
    Outcome outcome;
    if (child.exec_error != 0) {
        outcome.not_run = true;
        outcome.why = std::strerror(child.exec_error);
        return outcome;
    }
    const std::vector<std::string> expected = Expected_Frames(runner.start, script);
    std::string rest;
    const std::vector<std::string> got =
        Split_Frames(child.output, Separator_Of(expected.front()), rest);
    const std::size_t common = std::min(got.size(), expected.size());
    for (std::size_t k = 0; k < common; ++k) {
        if (got[k] != expected[k]) {
            outcome.tick = k + 1;
            outcome.expected = expected[k];
            outcome.got = got[k];
            outcome.why = "the frame of tick " + std::to_string(k + 1) + " differs";
            return outcome;
        }
    }
    if (got.size() > expected.size()) {
        outcome.tick = expected.size() + 1;
        outcome.got = got[expected.size()];
        outcome.why = "wrote " + Frames_Of(got.size()) + " for " + std::to_string(expected.size()) +
                      (expected.size() == 1 ? " tick" : " ticks");
        return outcome;
    }
    const bool clean =
        !child.timed_out && WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0;
    if (got.size() == expected.size() && clean) {
        outcome.passed = true;
        return outcome;
    }
    outcome.tick = got.size() < expected.size() ? got.size() + 1 : 0;
    outcome.expected = got.size() < expected.size() ? expected[got.size()] : "";
    outcome.got = got.size() < expected.size() ? rest : "";
    outcome.why = Ending(child, got.size(), expected.size());
    return outcome;
}

int Free_Slot()
{
    for (int slot = 0; slot < MAX_JOBS; ++slot) {
        if (running_groups[slot] == 0) {
            return slot;
        }
    }
    return -1;
}

// Waits for the running children's pipes, or their deadlines, once.
void Poll_Once(std::vector<Child>& running)
{
    std::vector<pollfd> fds;
    int wait_ms = -1;
    const Clock::time_point now = Clock::now();
    for (const Child& child : running) {
        if (child.in >= 0) {
            fds.push_back({child.in, POLLOUT, 0});
        }
        if (child.out >= 0) {
            fds.push_back({child.out, POLLIN, 0});
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(child.deadline - now).count();
        const int until = child.out < 0 ? REAP_POLL_MS : static_cast<int>(std::max<long>(left, 0));
        wait_ms = wait_ms < 0 ? until : std::min(wait_ms, until);
    }
    poll(fds.data(), fds.size(), wait_ms);
    for (Child& child : running) {
        Write_More(child);
        if (child.out >= 0) {
            Read_More(child);
        }
        if (child.out < 0 && !child.exited && waitpid(child.pid, &child.status, WNOHANG) > 0) {
            child.exited = true;
        }
        if (!child.exited && Clock::now() >= child.deadline) {
            child.timed_out = true;
        }
    }
}

} // namespace

double Default_Timeout(std::size_t ticks, bool fast)
{
    const double seconds = START_SECONDS + SECONDS_PER_TICK * static_cast<double>(ticks);
    return fast ? START_SECONDS + (seconds - START_SECONDS) / FAST_SPEED : seconds;
}

std::vector<Outcome> Run_Scripts(const Runner& runner, const std::vector<std::string>& scripts)
{
    std::vector<Outcome> outcomes(scripts.size());
    std::vector<Child> running;
    const auto jobs = static_cast<std::size_t>(std::clamp(runner.jobs, 1, MAX_JOBS));
    std::size_t next = 0;
    while (next < scripts.size() || !running.empty()) {
        while (running.size() < jobs && next < scripts.size()) {
            Child child;
            child.index = next;
            child.slot = Free_Slot();
            child.input = scripts[next] + static_cast<char>(KEY_QUIT);
            const std::size_t ticks = child.input.size();
            child.seconds =
                runner.timeout > 0 ? runner.timeout : Default_Timeout(ticks, runner.fast);
            child.deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(child.seconds));
            ++next;
            if (!Spawn(runner, child)) {
                Reap(child);
                outcomes[child.index] = Judge(runner, child, scripts[child.index]);
                continue;
            }
            running.push_back(std::move(child));
        }
        if (running.empty()) {
            continue; // every one started had ended already: it could not be run
        }
        Poll_Once(running);
        for (auto it = running.begin(); it != running.end();) {
            if (it->exited || it->timed_out) {
                Reap(*it);
                outcomes[it->index] = Judge(runner, *it, scripts[it->index]);
                it = running.erase(it);
            } else {
                ++it;
            }
        }
    }
    return outcomes;
}

void Stop_All_Running()
{
    for (int slot = 0; slot < MAX_JOBS; ++slot) {
        const pid_t group = running_groups[slot];
        if (group > 0) {
            kill(-group, SIGKILL);
        }
    }
}
