// console.cpp -- console lines, bell and key-interruptible wait (POSIX terminal).
#include "platform/console/console.h"

#include <cerrno>
#include <chrono>
#include <csignal>
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

void ConsoleError(const char* line)
{
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
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

// The terminal as it was before the wait, for the signal handler: a Ctrl+C or
// a kill during the wait must not leave the player's shell without echo.
static termios savedTerminal;
static const int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
static const int kRestoringSignalCount = 4;
static struct sigaction previousActions[kRestoringSignalCount];

// Puts the terminal back, then hands the signal to whatever took it before the
// wait (the recording's last flush, or the default: the program ends by it);
// the signal raised again is delivered as soon as this handler returns.
static void RestoreTerminalAndEnd(int signalNumber)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    for (int i = 0; i < kRestoringSignalCount; ++i)
        if (kRestoringSignals[i] == signalNumber)
            sigaction(signalNumber, &previousActions[i], nullptr);
    raise(signalNumber);
}

static void CatchEndingSignals()
{
    struct sigaction action = {};
    action.sa_handler = RestoreTerminalAndEnd;
    sigemptyset(&action.sa_mask);
    // A signal the program was started to ignore stays ignored.
    for (int i = 0; i < kRestoringSignalCount; ++i) {
        sigaction(kRestoringSignals[i], nullptr, &previousActions[i]);
        if (previousActions[i].sa_handler != SIG_IGN)
            sigaction(kRestoringSignals[i], &action, nullptr);
    }
}

static void ReleaseEndingSignals()
{
    for (int i = 0; i < kRestoringSignalCount; ++i)
        sigaction(kRestoringSignals[i], &previousActions[i], nullptr);
}

// Only the terminal's foreground job may change its settings: a game started
// with & would otherwise be stopped by SIGTTOU at the end of a round.
// A terminal that is not the program's controlling one cannot stop it.
static bool OwnsTerminal()
{
    if (!isatty(STDIN_FILENO))
        return false;
    pid_t foreground = tcgetpgrp(STDIN_FILENO);
    return foreground < 0 ? errno == ENOTTY : foreground == getpgrp();
}

int ConsoleWait(int milliseconds)
{
    if (!OwnsTerminal()) {
        ConsoleSleep(milliseconds);
        return 0;
    }
    // Raw mode for the wait so that one key ends it without Enter.
    bool raw = tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
    if (raw) {
        CatchEndingSignals();
        termios t = savedTerminal;
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
    if (raw) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        ReleaseEndingSignals();
    }
    return pressed;
}
