#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

namespace kx::test {
namespace {

using Clock = std::chrono::steady_clock;

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
        read = fds[0];
        write = fds[1];
    }
};

[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const Pipe& in, const Pipe& out, const Pipe& err) {
    ::setpgid(0, 0);
    ::dup2(in.read, STDIN_FILENO);
    ::dup2(out.write, STDOUT_FILENO);
    ::dup2(err.write, STDERR_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

// Appends what the non-blocking pipe holds; closes it at its end.
void Drain(int& fd, std::string& sink) {
    char buffer[4096];
    while (fd >= 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            sink.append(buffer, static_cast<std::size_t>(n));
        } else {
            if (n == 0 || errno != EINTR) {
                if (n == 0) CloseFd(fd);
                return;
            }
        }
    }
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    Pipe inPipe, outPipe, errPipe;
    pid_ = ::fork();
    if (pid_ < 0) throw std::system_error(errno, std::generic_category(), "fork");
    if (pid_ == 0) ExecChild(argv, inPipe, outPipe, errPipe);
    ::setpgid(pid_, pid_);  // also here, so that a signal right after start reaches the group
    ::close(inPipe.read);
    ::close(outPipe.write);
    ::close(errPipe.write);
    in_ = inPipe.write;
    outFd_ = outPipe.read;
    errFd_ = errPipe.read;
    ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
    ::fcntl(errFd_, F_SETFL, O_NONBLOCK);
    // A child that ended early must not kill the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess() {
    KillGroup();
    if (!status_) {
        int raw = 0;
        while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
        }
    }
    CloseFd(in_);
    CloseFd(outFd_);
    CloseFd(errFd_);
}

void ChildProcess::Signal(int signal) const {
    if (!status_) ::kill(pid_, signal);
}

bool ChildProcess::SignalPending(int signal) const {
    // A signal sent to the process waits in its shared set ("ShdPnd", a hex mask) until
    // one of its threads takes it.
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (!line.starts_with("ShdPnd:")) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        return (mask >> (signal - 1) & 1U) != 0;
    }
    return false;
}

bool ChildProcess::SignalAndWaitTaken(int signal, Seconds timeout) {
    Signal(signal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    return PollUntil({this}, deadline, [&] { return Exited() || !SignalPending(signal); });
}

void ChildProcess::KillGroup() const {
    // The group outlives its leader when the leader started children of its own.
    ::kill(-pid_, SIGKILL);
}

void ChildProcess::WriteIn(const std::string& text) {
    if (in_ >= 0 && ::write(in_, text.data(), text.size()) < 0) CloseIn();
}

void ChildProcess::CloseIn() { CloseFd(in_); }

void ChildProcess::Poll() {
    Drain(outFd_, out_);
    Drain(errFd_, err_);
    if (status_) return;
    int raw = 0;
    if (::waitpid(pid_, &raw, WNOHANG) != pid_) return;
    exitTime_ = Clock::now();
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    // Output written just before the exit.
    Drain(outFd_, out_);
    Drain(errFd_, err_);
}

bool ChildProcess::WaitFor(const std::string& text, const std::string& stream, Seconds timeout) {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(timeout);
    return PollUntil({this}, deadline, [&] { return stream.find(text) != std::string::npos; });
}

bool ChildProcess::WaitForOut(const std::string& text, Seconds timeout) { return WaitFor(text, out_, timeout); }
bool ChildProcess::WaitForErr(const std::string& text, Seconds timeout) { return WaitFor(text, err_, timeout); }

std::optional<int> ChildProcess::Wait(Seconds timeout) {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(timeout);
    if (!PollUntil({this}, deadline, [this] { return Exited(); })) return std::nullopt;
    // Whatever is left in the pipes (bounded: a grandchild could hold them open).
    PollUntil({this}, Clock::now() + std::chrono::seconds(2), [this] { return outFd_ < 0 && errFd_ < 0; });
    return status_;
}

bool PollUntil(std::initializer_list<ChildProcess*> processes, SteadyTime deadline,
               const std::function<bool()>& done) {
    for (;;) {
        for (ChildProcess* p : processes) p->Poll();
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
}

RunResult Run(const std::vector<std::string>& argv, ChildProcess::Seconds timeout, const std::string& input) {
    ChildProcess child(argv);
    child.WriteIn(input);
    child.CloseIn();
    RunResult result;
    result.status = child.Wait(timeout);
    result.out = child.Out();
    result.err = child.Err();
    return result;
}

}  // namespace kx::test
