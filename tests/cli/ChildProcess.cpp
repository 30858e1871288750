#include "tests/cli/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace kx::test {
namespace {

using Clock = std::chrono::steady_clock;

void MakePipe(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
}

int StatusOf(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int in[2], out[2], err[2];
    MakePipe(in);
    MakePipe(out);
    MakePipe(err);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
    // A child that ended early must not kill the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    if (rc != 0) {
        pid_ = -1;
        throw std::system_error(rc, std::generic_category(), "posix_spawn " + argv[0]);
    }
}

ChildProcess::~ChildProcess() {
    CloseIn();
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        int raw = 0;
        waitpid(pid_, &raw, 0);
    }
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
}

bool ChildProcess::Pump(Seconds timeout) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (out_fd_ < 0 && err_fd_ < 0) return false;
    const int ms = static_cast<int>(timeout.count() * 1000);
    if (poll(fds, 2, ms < 0 ? 0 : ms) <= 0) return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
        } else {
            close(fds[i].fd);
            (i == 0 ? out_fd_ : err_fd_) = -1;
        }
    }
    return true;
}

bool ChildProcess::WaitFor(const std::string& text, const std::string& stream, Seconds timeout) {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(timeout);
    for (;;) {
        if (stream.find(text) != std::string::npos) return true;
        const Seconds left = deadline - Clock::now();
        if (left <= Seconds::zero() || !Pump(left)) return stream.find(text) != std::string::npos;
    }
}

bool ChildProcess::WaitForOut(const std::string& text, Seconds timeout) { return WaitFor(text, out_, timeout); }
bool ChildProcess::WaitForErr(const std::string& text, Seconds timeout) { return WaitFor(text, err_, timeout); }

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0 && !status_) kill(pid_, signal);
}

void ChildProcess::WriteIn(const std::string& text) {
    if (in_ >= 0 && write(in_, text.data(), text.size()) < 0) CloseIn();
}

void ChildProcess::CloseIn() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

std::optional<int> ChildProcess::Wait(Seconds timeout) {
    if (status_) return status_;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(timeout);
    for (;;) {
        int raw = 0;
        const pid_t done = waitpid(pid_, &raw, WNOHANG);
        if (done == pid_) {
            status_ = StatusOf(raw);
            // Whatever is left in the pipes (bounded: a grandchild could hold them open).
            const auto drainEnd = Clock::now() + std::chrono::seconds(2);
            while ((out_fd_ >= 0 || err_fd_ >= 0) && Clock::now() < drainEnd) Pump(Seconds(0.05));
            return status_;
        }
        const Seconds left = deadline - Clock::now();
        if (left <= Seconds::zero()) return std::nullopt;
        if (!Pump(std::min(left, Seconds(0.02)))) usleep(10000);
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
