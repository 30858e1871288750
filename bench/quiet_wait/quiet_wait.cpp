// quiet_wait [SECONDS]: how much processor time the link uses while it waits for an
// answer that never comes. Starts a kxboot-sim that hears but never answers, sends one
// request with the answer time-out set to SECONDS (default 10) and prints the wall
// time and the processor time (user + system) of the wait.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/KX_RS232.h"
#include "link/LinkError.h"

extern char** environ;

namespace {

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Starts the simulator and returns the slave path it prints; `pid` and `input` keep it alive.
std::string StartSilentSim(pid_t& pid, int& input) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return {};
    char* argv[] = {const_cast<char*>(KXBOOT_SIM), const_cast<char*>("--no-echo"),
                    const_cast<char*>("--silent"), const_cast<char*>("1:0"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int failed = ::posix_spawn(&pid, KXBOOT_SIM, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input = in[1];
    std::string path;
    char c = 0;
    while (failed == 0 && ::read(out[0], &c, 1) == 1 && c != '\n') path.push_back(c);
    ::close(out[0]);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (seconds < 1 || seconds > 65) {
        std::fprintf(stderr, "usage: quiet_wait [SECONDS 1..65]\n");
        return 2;
    }
    pid_t sim = -1;
    int simInput = -1;
    const std::string port = StartSilentSim(sim, simInput);
    if (port.empty()) {
        std::fprintf(stderr, "quiet_wait: kxboot-sim did not start\n");
        return 1;
    }
    ::setenv("KXBOOT_PORTS", port.c_str(), 1);
    // The real port, clock and priorities, and no one to report to.
    kx::link::TKX_RS link(nullptr, nullptr, kx::link::SystemLinkContext(kx::ui::SilentUserInterface()));
    link.OpenPort(1);
    link.SetBaudRate(19200);
    link.AnswerTimeout = static_cast<std::uint16_t>(seconds * 1000);

    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::string outcome = "answered";
    try {
        link.StartCommand(0xF9, 6);
        link.TransactOnce();  // one attempt: a single wait of the whole time-out
    } catch (const kx::link::LinkError& error) {
        outcome = error.what();
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("quiet wait: %.3f s wall, %.4f s CPU (user+system), %.3f%% of one core\n", wall, cpu,
                100.0 * cpu / wall);
    std::printf("outcome: %s\n", outcome.c_str());

    ::close(simInput);
    ::waitpid(sim, nullptr, 0);
    return 0;
}
