#include "cli/CancelSignals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace kx::cli {
namespace {

// Written by the signal handler, read by the load: lock-free so that both are safe.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnCancelSignal(int signal) {
    if (cancelRequested.exchange(true)) std::_Exit(CancelledExitCode);
    // Some C libraries reset the handler before calling it.
    std::signal(signal, OnCancelSignal);
}

}  // namespace

void InstallCancelSignals() {
    std::signal(SIGINT, OnCancelSignal);
    std::signal(SIGTERM, OnCancelSignal);
}

bool CancelRequested() { return cancelRequested.load(); }

void RequestCancel() { cancelRequested.store(true); }

}  // namespace kx::cli
