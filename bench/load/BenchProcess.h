#pragma once
// A measured program run: wall time from start to reaped exit, the CPU time and peak
// resident memory the kernel accounted to it, its output; killed with its process group
// when the deadline passes or the object goes away.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kx::bench {

using Clock = std::chrono::steady_clock;

struct Usage {
    int exitStatus = -1;         // or 128 + signal
    double wallSeconds = 0;
    double cpuSeconds = 0;       // user + system
    long peakRssKiB = 0;
    bool timedOut = false;
};

class BenchProcess {
public:
    // Standard output goes to `outPath` ("" to discard), standard error to `errPath`.
    BenchProcess(const std::vector<std::string>& argv, const std::string& outPath, const std::string& errPath,
                 const std::vector<std::string>& env = {});
    ~BenchProcess();
    BenchProcess(const BenchProcess&) = delete;
    BenchProcess& operator=(const BenchProcess&) = delete;

    // Waits for the exit (at most until `deadline`, then kills) and returns what it cost.
    Usage Wait(Clock::time_point deadline);
    void Signal(int signal);
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    Clock::time_point start_;
};

// The shell form of a command, for the table's "reproduce" column.
std::string ShellLine(const std::vector<std::string>& argv);

}  // namespace kx::bench
