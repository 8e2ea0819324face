// The floor of an idle tick: the terminal calls, the one-byte read, the
// three panel lines, the separator and the sleep that every tick must make,
// with no oven behind them. The idle benchmark measures it beside mwc, so
// that whatever mwc spends above it shows.
#include <cstdio>
#include <termios.h>
#include <unistd.h>

int main()
{
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ISIG | ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);

    char key = 0;
    while (key != 'q') {
        raw.c_cc[VMIN] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        if (read(STDIN_FILENO, &key, 1) <= 0) {
            key = 0;
        }
        raw.c_cc[VMIN] = 1;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        std::printf("\033[0m%s\n", "Display Off");
        std::printf("%.2d : %.2d\n", 0, 0);
        std::printf("%.2d : %s\n", 0, "manual");
        usleep(100000);
        std::puts("\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n");
    }
    return tcsetattr(STDIN_FILENO, TCSANOW, &saved) == 0 ? 0 : 1;
}
