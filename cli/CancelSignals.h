#pragma once
// Ctrl-C and SIGTERM cancel a running load the way the progress window's button does:
// the first one raises a flag that the load looks at when it next may stop (between
// pages). A second one, or SIGHUP (the terminal is gone), stops every load at its next
// poll of the user interface: the links unwind, so each load in flight still gets its
// report line, its port lock is released and the summary is written. Should a thread
// be stuck where it never polls (a write that does not return), a watchdog removes this
// process's port locks and ends it after a grace period.
#include <chrono>

namespace kx::cli {

// Exit status of a cancelled run, also used when the watchdog ends the program.
inline constexpr int CancelledExitCode = 3;

// How long the normal unwinding after a hard stop may take before the watchdog acts:
// many times what a link needs (it polls every 10 ms).
inline constexpr std::chrono::seconds HardStopGrace{5};

// Thrown by the console interface's message pump once a hard stop was requested. It is
// no std::exception on purpose: the link and the load turn those into failures, and this
// must pass through them as a cancel.
struct HardStop {};

void InstallCancelSignals();
bool CancelRequested();
// A second Ctrl-C or SIGTERM, or SIGHUP: stop now rather than after the page.
bool HardStopRequested();
// Throws HardStop once a hard stop was requested.
void ThrowIfHardStopped();
// "Ctrl-C", "SIGTERM" or "SIGHUP" once one of them cancelled the run; nullptr otherwise.
const char* CancelSignalName();
// For the front end's own cancel sources and for tests.
void RequestCancel();

}  // namespace kx::cli
