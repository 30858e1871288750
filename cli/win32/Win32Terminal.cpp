#include <windows.h>

#include <io.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "cli/Terminal.h"

namespace kx::cli {
namespace {

std::atomic<void (*)(int)> cancelHandler{nullptr};
// Set by the watchdog's wake-up; the C runtime calls signal handlers on a thread of
// their own, where setting an event is allowed.
HANDLE watchdogEvent = nullptr;

// The C runtime resets a handler to the default before calling it: arm it again first.
void Rearming(int signal) {
    std::signal(signal, Rearming);
    if (auto* handler = cancelHandler.load()) handler(signal);
}

}  // namespace

// A closed console ends the process by itself; there is no hang-up signal to catch.
const int HangUpSignal = 0;

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

void InstallCancelHandler(void (*handler)(int)) {
    cancelHandler.store(handler);
    std::signal(SIGINT, Rearming);
    std::signal(SIGTERM, Rearming);
}

void PrepareWatchdogWake() {
    if (watchdogEvent == nullptr) watchdogEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

void WakeWatchdog() {
    if (watchdogEvent != nullptr) SetEvent(watchdogEvent);
}

bool WaitForWatchdogWake() {
    return watchdogEvent != nullptr && WaitForSingleObject(watchdogEvent, INFINITE) == WAIT_OBJECT_0;
}

// Windows keeps no lock files: the system closes the ports' handles with the process.
void RemoveOwnPortLocks() {}

// A write to a closed pipe fails with an error there; no signal ends the program.
void IgnoreClosedPipes() {}

// The console's read returns on Ctrl-C by itself; the caller looks at the flag after it.
bool WaitForInput(std::FILE*) { return true; }

}  // namespace kx::cli
