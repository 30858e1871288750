#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli/CancelSignals.h"
#include "cli/Terminal.h"

namespace kx::cli {

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
bool StdinIsTerminal() { return isatty(fileno(stdin)) != 0; }

void InstallCancelHandler(void (*handler)(int)) {
    // Without SA_RESTART: std::signal would restart an interrupted read or open, and a
    // load waiting in one would never see the cancel.
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void IgnoreClosedPipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool WaitForInput(std::FILE* in) {
    // The signals stay blocked between the look at the flag and the wait; ppoll lets them
    // in only while it waits, so one that came in between ends the wait at once.
    sigset_t cancel, previous;
    sigemptyset(&cancel);
    sigaddset(&cancel, SIGINT);
    sigaddset(&cancel, SIGTERM);
    sigprocmask(SIG_BLOCK, &cancel, &previous);
    pollfd input{fileno(in), POLLIN, 0};
    int ready = -1;
    while (!CancelRequested()) {
        ready = ::ppoll(&input, 1, nullptr, &previous);
        if (ready >= 0 || errno != EINTR) break;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return !CancelRequested();
}

}  // namespace kx::cli
