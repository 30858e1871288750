#pragma once
// A program started for a test, in a process group of its own, with its stdin, stdout
// and stderr on pipes. Either poll it (several processes side by side) or wait on it (for
// text in its output, for its end) with a deadline. Whatever happens to the test, the
// destructor kills the group and reaps the process: nothing is left running behind it.
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
    using Seconds = std::chrono::duration<double>;

    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Signal(int signal) const;
    // Whether `signal` was sent to the process and not yet taken by it.
    bool SignalPending(int signal) const;
    // Sends `signal` and waits until the process has taken it (or ended): a second signal
    // of the same kind sent after it cannot merge with it. False when neither happened in
    // time.
    bool SignalAndWaitTaken(int signal, Seconds timeout);
    void KillGroup() const;
    void WriteIn(const std::string& text);
    void CloseIn();

    // Collects output and notices the exit without blocking.
    void Poll();
    bool Exited() const { return status_.has_value(); }
    // The exit status, or 128 + the signal that ended the process (-1 while running).
    int ExitStatus() const { return status_.value_or(-1); }
    // When the exit was noticed.
    SteadyTime ExitTime() const { return exitTime_; }

    // Reads output until `text` has appeared on stdout (or stderr) or `timeout` passed.
    bool WaitForOut(const std::string& text, Seconds timeout);
    bool WaitForErr(const std::string& text, Seconds timeout);
    // The exit status; nullopt when the process did not end in time.
    std::optional<int> Wait(Seconds timeout);

    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

private:
    bool WaitFor(const std::string& text, const std::string& stream, Seconds timeout);

    pid_t pid_ = -1;
    int in_ = -1, outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
    std::optional<int> status_;
    SteadyTime exitTime_{};
};

// Polls the processes every few milliseconds until `done` holds (true) or the deadline
// passes (false).
bool PollUntil(std::initializer_list<ChildProcess*> processes, SteadyTime deadline,
               const std::function<bool()>& done);

// Runs a program to its end: its exit status and output.
struct RunResult {
    std::optional<int> status;
    std::string out, err;
};
RunResult Run(const std::vector<std::string>& argv, ChildProcess::Seconds timeout, const std::string& input = "");

}  // namespace kx::test
