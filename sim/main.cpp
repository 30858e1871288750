// kxboot-sim: the device's serial boot loader on a pseudo-terminal.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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

// One simulated port: its pty, its optional link, log and flash, each named with
// `suffix` when there are several.
struct Port {
    Port(const kx::sim::Options& options, const std::string& suffix)
        : log(options.logPath.empty() ? nullptr : std::make_unique<kx::sim::RequestLog>(options.logPath + suffix)),
          server(options, pty, log.get(), options.flashPath.empty() ? std::string() : options.flashPath + suffix,
                 [this, &options] {
                     kx::sim::Replug(pty, options.replugAway);
                     std::cout << pty.SlavePath() << std::endl;
                 }) {
        if (!options.linkPath.empty()) pty.Link(options.linkPath + suffix);
    }

    kx::sim::Pty pty;
    std::unique_ptr<kx::sim::RequestLog> log;
    kx::sim::SimServer server;
};

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
        std::vector<std::unique_ptr<Port>> ports;
        for (long k = 1; k <= options.ports; ++k)
            ports.push_back(std::make_unique<Port>(options, options.ports == 1 ? std::string() : "." + std::to_string(k)));
        // Printed once every port and link is in place: the first line means "ready".
        for (const auto& port : ports) std::cout << port->pty.SlavePath() << "\n";
        std::cout << std::flush;
        std::vector<kx::sim::SimServer*> servers;
        for (auto& port : ports) servers.push_back(&port->server);
        return kx::sim::SimServer::RunAll(servers, options.watchStdin, stopRequested, replugRequested, waitMask);
    } catch (const std::runtime_error& error) {
        std::cerr << "kxboot-sim: " << error.what() << "\n";
        return 1;
    }
}
