#pragma once
// A program started for a test, in a process group of its own, with its standard output
// and error collected. Whatever happens to the test, the destructor kills the group and
// reaps the process: no scenario leaves anything running behind it.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace kx::test {

using SteadyTime = std::chrono::steady_clock::time_point;

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Signal(int signal);
    void KillGroup();
    void CloseStdin();

    // Collects output and notices the exit without blocking.
    void Poll();
    bool Exited() const { return status_.has_value(); }
    // The exit status, or 128 + the signal that ended the process.
    int ExitStatus() const { return status_.value_or(-1); }
    // When the exit was noticed.
    SteadyTime ExitTime() const { return exitTime_; }

    std::string out;
    std::string err;

private:
    void Drain(int& fd, std::string& sink);

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    std::optional<int> status_;
    SteadyTime exitTime_{};
};

// Polls the processes every few milliseconds until `done` holds (true) or the deadline
// passes (false).
bool PollUntil(std::initializer_list<ChildProcess*> processes, SteadyTime deadline,
               const std::function<bool()>& done);

}  // namespace kx::test
