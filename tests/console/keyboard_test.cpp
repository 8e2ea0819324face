// Key input on a real pseudo-terminal, and on a pipe, as standard input.
#include <gtest/gtest.h>

#include <cstring>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "console/keyboard.h"
#include "terminal_modes.h"

namespace
{

// A pseudo-terminal in the usual cooked mode, its slave as standard input.
int Terminal_As_Stdin(termios& cooked)
{
    int master = -1;
    int slave = -1;
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    tcgetattr(slave, &cooked);
    cooked.c_lflag |= ISIG | ICANON | ECHO | IEXTEN;
    tcsetattr(slave, TCSANOW, &cooked);
    tcgetattr(slave, &cooked);
    dup2(slave, STDIN_FILENO);
    close(slave);
    return master;
}

// Typed bytes reach the slave a moment after the master writes them: waits
// until the whole burst is in the input queue (however long the test's time
// limit lets that take).
void Type(int master, const char* keys)
{
    const auto size = std::strlen(keys);
    ASSERT_EQ(write(master, keys, size), static_cast<ssize_t>(size));
    int queued = 0;
    while (ioctl(STDIN_FILENO, FIONREAD, &queued) == 0 && static_cast<std::size_t>(queued) < size) {
        sched_yield();
    }
    ASSERT_EQ(static_cast<std::size_t>(queued), size);
}

} // namespace

TEST(Keyboard, RawModeTurnsOffExactlyEditingEchoAndSignalsThenComesBack)
{
    termios cooked{};
    const int master = Terminal_As_Stdin(cooked);
    ASSERT_EQ(set_stdin(), 0);

    termios raw{};
    tcgetattr(STDIN_FILENO, &raw);
    EXPECT_EQ(raw.c_lflag, cooked.c_lflag & ~static_cast<tcflag_t>(ISIG | ICANON | ECHO));
    EXPECT_EQ(raw.c_iflag, cooked.c_iflag);
    EXPECT_EQ(raw.c_oflag, cooked.c_oflag);
    EXPECT_EQ(raw.c_cflag, cooked.c_cflag);
    EXPECT_EQ(raw.c_cc[VMIN], 1);
    EXPECT_EQ(raw.c_cc[VTIME], 0);

    kgetch(); // a poll leaves the terminal as it found it
    termios after_poll{};
    tcgetattr(STDIN_FILENO, &after_poll);
    EXPECT_TRUE(Same_Modes(after_poll, raw));

    EXPECT_EQ(reset_stdin(), 0);
    termios back{};
    tcgetattr(STDIN_FILENO, &back);
    EXPECT_TRUE(Same_Modes(back, cooked));
    close(master);
}

TEST(Keyboard, QueuedKeysComeOnePerPollInOrderAndAnEmptyQueueDoesNotWait)
{
    termios cooked{};
    const int master = Terminal_As_Stdin(cooked);
    ASSERT_EQ(set_stdin(), 0);
    EXPECT_EQ(kgetch(), NO_KEY);

    // An interrupt and a quit character are plain bytes now; 0xE9 sign-extends.
    Type(master, "a\x03\x1c\xE9q");
    EXPECT_EQ(kgetch(), 'a');
    EXPECT_EQ(kgetch(), 0x03);
    EXPECT_EQ(Button(), 0x1c);
    EXPECT_EQ(kgetch(), -0x17);
    EXPECT_EQ(Button(), 'q');
    EXPECT_EQ(kgetch(), NO_KEY);
    EXPECT_EQ(Button(), static_cast<signed char>(0xFF));

    // Nothing was echoed back to the screen.
    pollfd echoed{master, POLLIN, 0};
    EXPECT_EQ(poll(&echoed, 1, 0), 0);
    reset_stdin();
    close(master);
}

TEST(Keyboard, ByteFFIsTheSameAsNoKey)
{
    termios cooked{};
    const int master = Terminal_As_Stdin(cooked);
    ASSERT_EQ(set_stdin(), 0);
    Type(master, "\xff");
    EXPECT_EQ(Button(), static_cast<signed char>(NO_KEY));
    EXPECT_EQ(Button(), static_cast<signed char>(NO_KEY));
    reset_stdin();
    close(master);
}

TEST(Keyboard, PipeInputFollowsTheInputAndEndsInNoKey)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    ASSERT_EQ(write(ends[1], "xe", 2), 2);
    close(ends[1]);

    EXPECT_NE(set_stdin(), 0) << "a pipe has no terminal modes";
    EXPECT_EQ(Button(), 'x');
    EXPECT_EQ(Button(), 'e');
    EXPECT_EQ(kgetch(), NO_KEY);
    EXPECT_EQ(kgetch(), NO_KEY);
    EXPECT_NE(reset_stdin(), 0);
}
