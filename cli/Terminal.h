#pragma once
// What the command line needs to know about its terminal; one backend per OS.
#include <cstdio>
#include <string>

namespace kx::cli {

bool StderrIsTerminal();
bool StdinIsTerminal();

// Calls `handler` on every Ctrl-C and SIGTERM, and on SIGHUP where the OS has it. A
// blocking system call that one of them interrupts returns instead of starting again,
// so that no wait outlasts a cancel.
void InstallCancelHandler(void (*handler)(int));
// The signal number of a terminal that went away; 0 where the OS has none.
extern const int HangUpSignal;

// The cancel watchdog's wake-up: prepared once before the handler is installed, woken
// from inside a signal handler (async-signal-safe), waited for by the watchdog's own
// thread, which takes none of the cancel signals itself. The wait is false when there
// is no wake-up to wait for (it could not be prepared): then the watchdog never acts.
void PrepareWatchdogWake();
void WakeWatchdog();
bool WaitForWatchdogWake();
// Removes the port lock files that hold this process's PID: what the watchdog leaves
// behind when it ends the process without unwinding the links that own them.
void RemoveOwnPortLocks();

// A reader of the output that goes away (`| head`) must not end a load half-way: writes
// to it then fail quietly instead of killing the program.
void IgnoreClosedPipes();

// Waits until `in` has something to read (or has ended); false as soon as a cancel
// signal has come, before or during the wait: a signal that lands just before the read
// starts is not lost. Meant for the first read of a stream (stdio may hold more).
bool WaitForInput(std::FILE* in);

}  // namespace kx::cli
