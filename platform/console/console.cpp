// console.cpp -- console lines, bell and key-interruptible wait (POSIX terminal).
#include "platform/console/console.h"

#include <chrono>
#include <cstdio>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

void ConsolePrint(const char* line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ConsoleBeep()
{
    // The terminal bell is the console beep; a log file or pipe gets nothing.
    if (isatty(STDOUT_FILENO)) {
        std::fputc('\a', stdout);
        std::fflush(stdout);
    }
}

void ConsoleSleep(int milliseconds)
{
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int ConsoleWait(int milliseconds)
{
    if (!isatty(STDIN_FILENO)) {
        ConsoleSleep(milliseconds);
        return 0;
    }
    // Raw mode for the wait so that one key ends it without Enter.
    termios saved;
    bool raw = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (raw) {
        termios t = saved;
        t.c_lflag &= ~(ICANON | ECHO);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &t);
    }
    pollfd fd = {STDIN_FILENO, POLLIN, 0};
    int pressed = poll(&fd, 1, milliseconds) > 0 && (fd.revents & POLLIN);
    if (pressed) {
        char c;
        if (read(STDIN_FILENO, &c, 1) < 0)
            pressed = 0;
    }
    if (raw)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return pressed;
}
