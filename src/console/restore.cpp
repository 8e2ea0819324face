#include "console/restore.h"

#include "console/colour.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{

const termios* found_modes = nullptr;   // put back on every ending
const termios* working_modes = nullptr; // taken up again after a stop

// Signals whose default action ends the process and that a handler can
// catch. The real-time signals, which end it too, are added at run time.
constexpr int FATAL_SIGNALS[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// Handlers below call only async-signal-safe functions: tcsetattr, tcflow,
// write, sigaction, sigprocmask and raise.

void write_text(const char* text, std::size_t size)
{
    // Nothing to be done about a terminal that is gone.
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, text, size);
}

void put_back()
{
    if (found_modes != nullptr) {
        tcsetattr(STDIN_FILENO, TCSANOW, found_modes);
    }
    // A Ctrl-S typed on the terminal stops its output: the tick then waits
    // in its write, and the reset below would wait there too, with every
    // signal held. Restart the output first, so that a signal ends mwc and
    // the shell gets a terminal that writes. Restarting only undoes a stop
    // made the same way, so stop it that way first. Not a terminal: both
    // fail, and there is nothing to restart.
    tcflow(STDOUT_FILENO, TCOOFF);
    tcflow(STDOUT_FILENO, TCOON);
    if (colour_in_force()) {
        write_text(COLOUR_RESET, sizeof COLOUR_RESET - 1);
    }
}

// Delivers `signal_number` now, with whatever action it has at this point:
// the handler's mask held it back, so let it through first.
void deliver(int signal_number)
{
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(signal_number);
}

// SA_RESETHAND has already put the default action back, so the signal,
// delivered again, ends the process. A fault (SIGSEGV and the like) would
// also end it on return, when the faulting instruction runs again.
void end_by(int signal_number)
{
    put_back();
    deliver(signal_number);
}

void install(int signal_number, void (*handler)(int), int flags)
{
    struct sigaction action {
    };
    action.sa_handler = handler;
    action.sa_flags = flags;
    // One handler at a time: the others wait until this one is done.
    sigfillset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

void stop_politely(int signal_number)
{
    const int saved_errno = errno;
    put_back();
    install(signal_number, SIG_DFL, 0);
    deliver(signal_number); // stops here until SIGCONT
    install(signal_number, stop_politely, SA_RESTART);
    if (working_modes != nullptr) {
        tcsetattr(STDIN_FILENO, TCSANOW, working_modes);
    }
    if (colour_in_force()) {
        write_text(COLOUR_YELLOW, sizeof COLOUR_YELLOW - 1);
    }
    errno = saved_errno;
}

bool ignored(int signal_number)
{
    struct sigaction current {
    };
    return sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

void guard(int signal_number, void (*handler)(int), int flags)
{
    if (!ignored(signal_number)) {
        install(signal_number, handler, flags);
    }
}

} // namespace

void guard_terminal(const termios* found, const termios* working)
{
    found_modes = found;
    working_modes = working;
    const int ends = static_cast<int>(SA_RESETHAND);
    for (const int signal_number : FATAL_SIGNALS) {
        guard(signal_number, end_by, ends);
    }
    // Some of these belong to the C library's threads; sigaction refuses those.
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
        guard(signal_number, end_by, ends);
    }
    guard(SIGTSTP, stop_politely, SA_RESTART);
}
