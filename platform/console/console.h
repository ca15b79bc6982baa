// console.h -- the console the game was started from: one-line messages, the beep
// and a timed wait that a key press ends early.
#pragma once

// Prints one line (a line end is added) on standard output and flushes it.
void ConsolePrint(const char* line);

// The same on standard error: for a command line the program refuses.
void ConsoleError(const char* line);

// The console beep (1000 Hz for 250 ms where the console is a terminal: the
// terminal bell; nothing otherwise).
void ConsoleBeep();

// Waits up to milliseconds; a key pressed in the console ends the wait early.
// Without a terminal, or in the background of one, it simply waits. Returns 1
// when a key ended it. A SIGINT, SIGTERM, SIGHUP or SIGQUIT during the wait puts
// the terminal back as it was, then ends the program by that signal.
int ConsoleWait(int milliseconds);

// Sleeps for the given milliseconds without looking at the console.
void ConsoleSleep(int milliseconds);
