#pragma once
// A program started for a test, with its stdin, stdout and stderr on pipes: wait for
// text in its output, signal it, wait for its end with a deadline. Killed (and reaped)
// when the object goes away.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kx::test {

class ChildProcess {
public:
    using Seconds = std::chrono::duration<double>;

    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until `text` has appeared on stdout (or stderr) or `timeout` passed.
    bool WaitForOut(const std::string& text, Seconds timeout);
    bool WaitForErr(const std::string& text, Seconds timeout);

    void Signal(int signal) const;
    void WriteIn(const std::string& text);
    void CloseIn();

    // The exit status (128 + n after signal n); nullopt when it did not end in time.
    std::optional<int> Wait(Seconds timeout);

    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

private:
    // Reads what is there, waiting at most `timeout`; false when both pipes are closed.
    bool Pump(Seconds timeout);
    bool WaitFor(const std::string& text, const std::string& stream, Seconds timeout);

    pid_t pid_ = -1;
    int in_ = -1, out_fd_ = -1, err_fd_ = -1;
    std::string out_, err_;
    std::optional<int> status_;
};

// Runs a program to its end: its exit status and output.
struct RunResult {
    std::optional<int> status;
    std::string out, err;
};
RunResult Run(const std::vector<std::string>& argv, ChildProcess::Seconds timeout, const std::string& input = "");

}  // namespace kx::test
