#pragma once
// Scheduling priority of the process and the calling thread, raised around
// time-critical transmissions. Results of the OS calls are ignored.

namespace kx::platform {

// Saves the current process and thread priority (process-wide; calls do not nest).
void SavePriority();
// The highest priority the OS grants: real-time class and time-critical thread.
void RaiseToHighestPriority();
// Back to what SavePriority saved: thread first, then process.
void RestoreSavedPriority();

}  // namespace kx::platform
