#include "bench/load/BenchProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kx::bench {
namespace {

void Redirect(const std::string& path, int fd, int flags) {
    const int file = ::open(path.empty() ? "/dev/null" : path.c_str(), flags, 0644);
    if (file >= 0) {
        ::dup2(file, fd);
        ::close(file);
    }
}

double Seconds(const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6; }

}  // namespace

BenchProcess::BenchProcess(const std::vector<std::string>& argv, const std::string& outPath,
                           const std::string& errPath, const std::vector<std::string>& env) {
    start_ = Clock::now();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::setpgid(0, 0);
        Redirect("", STDIN_FILENO, O_RDONLY);
        Redirect(outPath, STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        Redirect(errPath, STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::setpgid(pid_, pid_);
}

BenchProcess::~BenchProcess() {
    if (!reaped_) {
        ::kill(-pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

void BenchProcess::Signal(int signal) {
    if (!reaped_) ::kill(pid_, signal);
}

Usage BenchProcess::Wait(Clock::time_point deadline) {
    Usage usage;
    // A watchdog kills the group at the deadline; the wait itself blocks, so the exit is
    // seen the moment it happens.
    std::mutex mutex;
    std::condition_variable done;
    bool exited = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!done.wait_until(lock, deadline, [&] { return exited; })) {
            usage.timedOut = true;
            ::kill(-pid_, SIGKILL);
        }
    });
    int status = 0;
    rusage ru{};
    while (::wait4(pid_, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    const auto end = Clock::now();
    {
        std::lock_guard lock(mutex);
        exited = true;
    }
    done.notify_one();
    watchdog.join();
    reaped_ = true;
    usage.wallSeconds = std::chrono::duration<double>(end - start_).count();
    usage.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    usage.cpuSeconds = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
    usage.peakRssKiB = ru.ru_maxrss;
    return usage;
}

std::string ShellLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& a : argv) {
        if (!line.empty()) line += ' ';
        const bool plain = a.find_first_of(" '\"$&;|<>*?()") == std::string::npos && !a.empty();
        line += plain ? a : "'" + a + "'";
    }
    return line;
}

}  // namespace kx::bench
