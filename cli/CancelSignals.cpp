#include "cli/CancelSignals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "cli/Terminal.h"

namespace kx::cli {
namespace {

// Written by the signal handler, read by the load: lock-free so that both are safe.
std::atomic<bool> cancelRequested{false};
std::atomic<int> cancelSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

void OnCancelSignal(int signal) {
    if (cancelRequested.exchange(true)) std::_Exit(CancelledExitCode);
    cancelSignal.store(signal);
}

}  // namespace

void InstallCancelSignals() { InstallCancelHandler(OnCancelSignal); }

bool CancelRequested() { return cancelRequested.load(); }

const char* CancelSignalName() {
    switch (cancelSignal.load()) {
        case SIGINT: return "Ctrl-C";
        case SIGTERM: return "SIGTERM";
        default: return nullptr;
    }
}

void RequestCancel() { cancelRequested.store(true); }

}  // namespace kx::cli
