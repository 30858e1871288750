#include <io.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "cli/Terminal.h"

namespace kx::cli {
namespace {

std::atomic<void (*)(int)> cancelHandler{nullptr};

// The C runtime resets a handler to the default before calling it: arm it again first.
void Rearming(int signal) {
    std::signal(signal, Rearming);
    if (auto* handler = cancelHandler.load()) handler(signal);
}

}  // namespace

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

void InstallCancelHandler(void (*handler)(int)) {
    cancelHandler.store(handler);
    std::signal(SIGINT, Rearming);
    std::signal(SIGTERM, Rearming);
}

// A write to a closed pipe fails with an error there; no signal ends the program.
void IgnoreClosedPipes() {}

// The console's read returns on Ctrl-C by itself; the caller looks at the flag after it.
bool WaitForInput(std::FILE*) { return true; }

}  // namespace kx::cli
