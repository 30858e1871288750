#include "tests/pty/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kx::test {
namespace {

// The first line the child writes, within a few seconds.
std::string ReadFirstLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char c = 0;
        if (::read(fd, &c, 1) != 1) break;
        if (c == '\n') return line;
        line.push_back(c);
    }
    return {};
}

}  // namespace

std::string SimRequest::operator[](const std::string& key) const {
    const auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

long SimRequest::Number(const std::string& key) const {
    const std::string value = (*this)[key];
    return value.empty() ? -1 : std::stol(value);
}

SimProcess::SimProcess(const std::vector<std::string>& options) {
    std::vector<std::string> args = {KXBOOT_SIM, "--log", dir_.File("requests.log")};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int spawned = ::posix_spawn(&pid_, KXBOOT_SIM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    if (spawned != 0) pid_ = -1;
    if (pid_ > 0) port_ = ReadFirstLine(out[0]);
    ::close(out[0]);
}

SimProcess::~SimProcess() {
    if (stdin_ >= 0) ::close(stdin_);  // the simulator ends when its stdin closes
    if (pid_ > 0 && !Exited(std::chrono::milliseconds(3000))) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool SimProcess::Exited(std::chrono::milliseconds wait) {
    if (pid_ <= 0) return true;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    do {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::vector<SimRequest> SimProcess::Requests() const {
    std::vector<SimRequest> requests;
    std::ifstream log(dir_.File("requests.log"));
    for (std::string line; std::getline(log, line);) {
        SimRequest request;
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            const auto eq = word.find('=');
            if (eq != std::string::npos) request.fields[word.substr(0, eq)] = word.substr(eq + 1);
        }
        requests.push_back(request);
    }
    return requests;
}

}  // namespace kx::test
