#pragma once
// What the command line needs to know about its terminal; one backend per OS.
#include <cstdio>
#include <string>

namespace kx::cli {

bool StderrIsTerminal();
bool StdinIsTerminal();

// Calls `handler` on every Ctrl-C and SIGTERM. A blocking system call that one of them
// interrupts returns instead of starting again, so that no wait outlasts a cancel.
void InstallCancelHandler(void (*handler)(int));

// A reader of the output that goes away (`| head`) must not end a load half-way: writes
// to it then fail quietly instead of killing the program.
void IgnoreClosedPipes();

// Waits until `in` has something to read (or has ended); false as soon as a cancel
// signal has come, before or during the wait: a signal that lands just before the read
// starts is not lost. Meant for the first read of a stream (stdio may hold more).
bool WaitForInput(std::FILE* in);

}  // namespace kx::cli
