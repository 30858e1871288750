#include "cli/CancelSignals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "cli/Terminal.h"

namespace kx::cli {
namespace {

// Written by the signal handler, read by the loads: lock-free so that both are safe.
std::atomic<bool> cancelRequested{false};
std::atomic<bool> hardStop{false};
std::atomic<int> cancelSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

void StopNow() {
    if (!hardStop.exchange(true)) WakeWatchdog();
}

// Only async-signal-safe work here: atomics and the watchdog's wake-up.
void OnCancelSignal(int signal) {
    if (signal == HangUpSignal) {
        cancelRequested.store(true);
        cancelSignal.store(signal);
        StopNow();
        return;
    }
    if (cancelRequested.exchange(true)) {
        StopNow();
        return;
    }
    cancelSignal.store(signal);
}

// Sleeps until a hard stop, then gives the loads their grace period to unwind; a process
// still running after it has a thread stuck beyond any poll.
void Watchdog() {
    if (!WaitForWatchdogWake()) return;
    std::this_thread::sleep_for(HardStopGrace);
    RemoveOwnPortLocks();
    std::_Exit(CancelledExitCode);
}

}  // namespace

void InstallCancelSignals() {
    PrepareWatchdogWake();
    std::thread(Watchdog).detach();
    InstallCancelHandler(OnCancelSignal);
}

bool CancelRequested() { return cancelRequested.load(); }

bool HardStopRequested() { return hardStop.load(); }

void ThrowIfHardStopped() {
    if (HardStopRequested()) throw HardStop{};
}

const char* CancelSignalName() {
    const int signal = cancelSignal.load();
    if (signal == SIGINT) return "Ctrl-C";
    if (signal == SIGTERM) return "SIGTERM";
    if (signal != 0 && signal == HangUpSignal) return "SIGHUP";
    return nullptr;
}

void RequestCancel() { cancelRequested.store(true); }

}  // namespace kx::cli
