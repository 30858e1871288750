#pragma once
// Ctrl-C and SIGTERM cancel a running load the way the progress window's button does:
// the first one raises a flag that the load looks at when it next may stop; the second
// one ends the program at once.
namespace kx::cli {

// Exit status of a cancelled run, also used when the second signal ends the program.
inline constexpr int CancelledExitCode = 3;

void InstallCancelSignals();
bool CancelRequested();
// "Ctrl-C" or "SIGTERM" once one of them cancelled the run; nullptr otherwise.
const char* CancelSignalName();
// For the front end's own cancel sources and for tests.
void RequestCancel();

}  // namespace kx::cli
