#include "run_mwc.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr int SEPARATOR_NEWLINES = 20;
constexpr int POLL_MS = 20;

struct Chunk {
    std::size_t offset; // where it starts in the output
    double time;        // when it was read
};

double Seconds_Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void Exec_Mwc(int error_fd, int output_fd = -1)
{
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
              "--show-leak-kinds=all", "--errors-for-leak-kinds=all", log_option.c_str(), MWC_PATH,
              static_cast<char*>(nullptr));
        _exit(127);
    }
#endif
    execl(MWC_PATH, "mwc", static_cast<char*>(nullptr));
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
    int signal;       // sent a second after typing, when not 0
    double limit_s;
};

constexpr double SIGNAL_DELAY_S = 1.0;

// Reads standard output and error until both end or time runs out; types
// the script once the first frame is on the screen.
void Collect(Mwc_Run& run, pid_t pid, int out_fd, int err_fd, bool terminal, const Plan& plan)
{
    const auto start = Clock::now();
    std::vector<Chunk> chunks;
    const std::string_view script = plan.script;
    const double limit_s = plan.limit_s;
    bool typed = !plan.type_script;
    double typed_at = 0.0;
    bool signalled = plan.signal == 0;
    bool out_open = true;
    bool err_open = true;
    while ((out_open || err_open) && Seconds_Since(start) < limit_s) {
        if (typed && !signalled && Seconds_Since(start) > typed_at + SIGNAL_DELAY_S) {
            signalled = kill(pid, plan.signal) == 0;
        }
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
        if (!typed && std::count(run.output.begin(), run.output.end(), '\n') >= 3) {
            tcgetattr(out_fd, &run.running);
            typed =
                write(out_fd, script.data(), script.size()) == static_cast<ssize_t>(script.size());
            typed_at = Seconds_Since(start);
        }
    }
    if (out_open || err_open) {
        kill(pid, SIGKILL);
    }
    waitpid(pid, &run.wait_status, 0);

    run.frame_error = Read_Frames(run.output, SEPARATOR_NEWLINES, run.frames);
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
}

// mwc on a new pseudo-terminal in the kernel's cooked defaults, with a VTIME
// of its own so that a restore which forgets it shows.
Mwc_Run Run_Terminal(const Plan& plan, bool output_to_closed_pipe)
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
    if (pipe2(errors, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        return run;
    }
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, &run.before, &size);
    if (pid == 0) {
        Exec_Mwc(errors[1], output_to_closed_pipe ? output[1] : -1);
    }
    close(errors[1]);
    close(output[0]); // nobody reads the pipe
    close(output[1]);
    if (pid < 0) {
        close(errors[0]);
        return run;
    }
    Collect(run, pid, master, errors[0], true, plan);
    tcgetattr(master, &run.after);
    close(master);
    close(errors[0]);
    return run;
}

} // namespace

Mwc_Run Run_On_Terminal(std::string_view script, double limit_s, int signal)
{
    return Run_Terminal({script, true, signal, limit_s}, false);
}

Mwc_Run Run_Into_Closed_Pipe(double limit_s)
{
    return Run_Terminal({"", false, 0, limit_s}, true);
}

Mwc_Run Run_On_Pipes(std::string_view script, double limit_s)
{
    Mwc_Run run;
    int in[2];
    int out[2];
    int errors[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
        return run;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        Exec_Mwc(errors[1]);
    }
    close(in[0]);
    close(out[1]);
    close(errors[1]);
    const bool written =
        write(in[1], script.data(), script.size()) == static_cast<ssize_t>(script.size());
    close(in[1]);
    if (pid > 0 && written) {
        Collect(run, pid, out[0], errors[0], false, {script, false, 0, limit_s});
    }
    close(out[0]);
    close(errors[0]);
    return run;
}
