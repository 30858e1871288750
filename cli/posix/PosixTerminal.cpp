#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/CancelSignals.h"
#include "cli/Terminal.h"
#include "platform/posix/UucpLock.h"

namespace kx::cli {
namespace {

// The watchdog's self-pipe: a byte written by the signal handler ends its read.
int watchdogPipe[2] = {-1, -1};

sigset_t CancelSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

const int HangUpSignal = SIGHUP;

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
    sigaction(SIGHUP, &action, nullptr);
}

void PrepareWatchdogWake() {
    if (watchdogPipe[0] < 0 && ::pipe(watchdogPipe) == 0) {
        for (int fd : watchdogPipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
}

void WakeWatchdog() {
    const int saved = errno;   // the interrupted code may be about to look at it
    if (watchdogPipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(watchdogPipe[1], &byte, 1);
    }
    errno = saved;
}

bool WaitForWatchdogWake() {
    // The loads' threads take the signals, so that their waits are the ones cut short.
    const sigset_t cancel = CancelSignalSet();
    pthread_sigmask(SIG_BLOCK, &cancel, nullptr);
    if (watchdogPipe[0] < 0) return false;
    char byte = 0;
    for (;;) {
        const ssize_t n = ::read(watchdogPipe[0], &byte, 1);
        if (n == 1) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

void RemoveOwnPortLocks() {
    const int self = ::getpid();
    for (const std::string& folder : platform::posix::UucpLock::Folders()) {
        std::error_code error;
        std::filesystem::directory_iterator entry(folder, error), end;
        for (; !error && entry != end; entry.increment(error)) {
            const std::filesystem::path& path = entry->path();
            if (path.filename().string().starts_with("LCK..") && platform::posix::LockFilePid(path.string()) == self)
                ::unlink(path.c_str());
        }
    }
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
    const sigset_t cancel = CancelSignalSet();
    sigset_t previous;
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
