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

void OnStopSignal(int) { stopRequested = 1; }

// Blocks the stop signals except while the server waits, so that none is lost between
// a check of the flag and the wait. Returns the mask to wait with.
sigset_t InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
        sigaddset(&stops, signal);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &stops, &previous);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&previous, signal);
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
    const sigset_t waitMask = InstallStopSignals();
    try {
        std::unique_ptr<kx::sim::RequestLog> log;
        if (!options.logPath.empty()) log = std::make_unique<kx::sim::RequestLog>(options.logPath);
        kx::sim::Pty pty;
        std::optional<kx::sim::PtyLink> link;
        if (!options.linkPath.empty()) link.emplace(options.linkPath, pty.SlavePath());
        std::cout << pty.SlavePath() << std::endl;
        kx::sim::SimServer server(options, pty, log.get());
        return server.Run(stopRequested, waitMask);
    } catch (const std::runtime_error& error) {
        std::cerr << "kxboot-sim: " << error.what() << "\n";
        return 1;
    }
}
