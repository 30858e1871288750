#include "tests/fault/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

namespace kx::test {
namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        read = fds[0];
        write = fds[1];
    }
};

[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const Pipe& in, const Pipe& out,
                            const Pipe& err) {
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

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    Pipe inPipe, outPipe, errPipe;
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) ExecChild(argv, inPipe, outPipe, errPipe);
    ::setpgid(pid_, pid_);  // also here, so that a signal right after start reaches the group
    ::close(inPipe.read);
    ::close(outPipe.write);
    ::close(errPipe.write);
    stdin_ = inPipe.write;
    stdout_ = outPipe.read;
    stderr_ = errPipe.read;
    ::fcntl(stdout_, F_SETFL, O_NONBLOCK);
    ::fcntl(stderr_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    KillGroup();
    if (!status_) {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    CloseFd(stdin_);
    CloseFd(stdout_);
    CloseFd(stderr_);
}

void ChildProcess::Signal(int signal) {
    if (!status_) ::kill(pid_, signal);
}

void ChildProcess::KillGroup() {
    // The group outlives its leader when the leader started children of its own.
    ::kill(-pid_, SIGKILL);
}

void ChildProcess::CloseStdin() { CloseFd(stdin_); }

void ChildProcess::Drain(int& fd, std::string& sink) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            sink.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) CloseFd(fd);
        return;
    }
}

void ChildProcess::Poll() {
    if (stdout_ >= 0) Drain(stdout_, out);
    if (stderr_ >= 0) Drain(stderr_, err);
    if (status_) return;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exitTime_ = std::chrono::steady_clock::now();
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        // Output written just before the exit.
        if (stdout_ >= 0) Drain(stdout_, out);
        if (stderr_ >= 0) Drain(stderr_, err);
    }
}

bool PollUntil(std::initializer_list<ChildProcess*> processes, SteadyTime deadline,
               const std::function<bool()>& done) {
    for (;;) {
        for (ChildProcess* p : processes) p->Poll();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
}

}  // namespace kx::test
