#include "console/keyboard.h"

#include <termios.h>
#include <unistd.h>

#include "console/restore.h"

namespace
{

termios oldterm{};    // the terminal as found at start
termios new_term{};   // raw working copy; only its VMIN changes after start
int ch_read = NO_KEY; // the last byte read

// Non-blocking for the poll's read, blocking one-byte minimum in between.
constexpr cc_t POLL_MIN = 0;
constexpr cc_t REST_MIN = 1;
constexpr cc_t NO_TIMEOUT = 0;

// Line editing, echo and the signal characters go off; nothing else changes.
constexpr tcflag_t RAW_OFF_FLAGS = ISIG | ICANON | ECHO;

void set_min(cc_t min)
{
    new_term.c_cc[VMIN] = min;
    new_term.c_cc[VTIME] = NO_TIMEOUT;
    // TCSANOW: a change never discards keys waiting in the input queue.
    tcsetattr(STDIN_FILENO, TCSANOW, &new_term);
}

} // namespace

int set_stdin()
{
    const bool terminal = tcgetattr(STDIN_FILENO, &oldterm) == 0;
    new_term = oldterm;
    new_term.c_lflag &= ~RAW_OFF_FLAGS;
    new_term.c_cc[VMIN] = REST_MIN;
    new_term.c_cc[VTIME] = NO_TIMEOUT;
    // Guarded before the switch. Only a terminal has modes to lose; the
    // colour is guarded either way.
    if (terminal) {
        guard_terminal(&oldterm, &new_term);
    } else {
        guard_terminal(nullptr, nullptr);
    }
    const int result = tcsetattr(STDIN_FILENO, TCSANOW, &new_term);
    ch_read = NO_KEY;
    return result;
}

int kgetch()
{
    set_min(POLL_MIN);
    char c = 0;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    set_min(REST_MIN);
    // End of input and read errors are the same as no key.
    if (n > 0) {
        // Sign extension is intended: byte 0xFF reads as -1, the same as no key.
        ch_read = static_cast<signed char>(c); // NOLINT(bugprone-signed-char-misuse,cert-str34-c)
        return ch_read;
    }
    return NO_KEY;
}

signed char Button()
{
    return static_cast<signed char>(kgetch());
}

int reset_stdin()
{
    return tcsetattr(STDIN_FILENO, TCSANOW, &oldterm);
}
