#pragma once
// Scheduling priority raised around time-critical transmissions. A link is given the
// control it uses, so tests and fuzzers can count the calls instead of changing the
// process's real priority. Results of the OS calls are ignored.

namespace kx::platform {

class PriorityControl {
public:
    virtual ~PriorityControl() = default;
    // Saves the calling thread's priority and raises it to the highest the OS grants.
    virtual void RaisePriority() = 0;
    // Back to what the same thread's last RaisePriority saved.
    virtual void RestorePriority() = 0;
};

// The OS's priorities. Safe for several threads raising and restoring at once: each thread
// keeps its own saved state; what belongs to the whole process (Windows' priority class)
// stays raised while at least one thread is raised.
PriorityControl& SystemPriority();

}  // namespace kx::platform
