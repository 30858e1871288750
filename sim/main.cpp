// kxboot-sim: the device's serial boot loader on a pseudo-terminal.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

#include "sim/SimOptions.h"
#include "sim/SimPty.h"
#include "sim/SimServer.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t replugRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }
void OnReplugSignal(int) { replugRequested = 1; }

// Blocks the stop and replug signals except while the server waits, so that none is
// lost between a check of the flag and the wait. Returns the mask to wait with.
sigset_t InstallSignals() {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    sigset_t handled;
    sigemptyset(&handled);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        action.sa_handler = signal == SIGUSR1 ? OnReplugSignal : OnStopSignal;
        sigaction(signal, &action, nullptr);
        sigaddset(&handled, signal);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &handled, &previous);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigdelset(&previous, signal);
    return previous;
}

}  // namespace

int main(int argc, char** argv) {
    kx::sim::Options options;
    try {
        options = kx::sim::ParseOptions(argc, argv);
    } catch (const std::invalid_argument& error) {
        std::cerr << "kxboot-sim: " << error.what() << "\nTry 'kxboot-sim --help'.\n";
        return 2;
    }
    if (options.help) {
        std::cout << kx::sim::HelpText();
        return 0;
    }
    const sigset_t waitMask = InstallSignals();
    try {
        std::unique_ptr<kx::sim::RequestLog> log;
        if (!options.logPath.empty()) log = std::make_unique<kx::sim::RequestLog>(options.logPath);
        kx::sim::Pty pty;
        std::optional<kx::sim::PtyLink> link;
        if (!options.linkPath.empty()) link.emplace(options.linkPath, pty.SlavePath());
        std::cout << pty.SlavePath() << std::endl;
        const auto replug = [&] {
            kx::sim::Replug(pty, link, options.replugAway);
            std::cout << pty.SlavePath() << std::endl;
        };
        kx::sim::SimServer server(options, pty, log.get(), replug);
        return server.Run(stopRequested, replugRequested, waitMask);
    } catch (const std::runtime_error& error) {
        std::cerr << "kxboot-sim: " << error.what() << "\n";
        return 1;
    }
}
