#include "tests/net/Ser2net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/app/TempDir.h"

namespace kx::test {
namespace {

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

class Fd {
public:
    Fd() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::uint16_t FreeTcpPort() {
    Fd s;
    sockaddr_in address = Loopback(0);
    if (::bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
    socklen_t size = sizeof address;
    if (::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

bool Accepting(std::uint16_t port, ChildProcess::Seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        Fd s;
        const sockaddr_in address = Loopback(port);
        if (::connect(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

Ser2net::Ser2net(std::string config, std::vector<Served> served) : config_(std::move(config)), served_(std::move(served)) {
    // Packet and character delays off, as the README asks of a server on this line.
    std::string yaml;
    for (std::size_t i = 0; i < served_.size(); ++i) {
        const Served& s = served_[i];
        const std::string accepter = s.kind == Kind::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
        yaml += "connection: &port" + std::to_string(i) + "\n"
                "  accepter: " + accepter + ",127.0.0.1," + std::to_string(s.port) + "\n"
                "  connector: serialdev," + std::filesystem::canonical(s.device).string() + ",local\n"
                "  options:\n"
                "    chardelay: false\n";
    }
    WriteAll(config_, yaml);
}

bool Ser2net::Start() {
    // -n: in the foreground; -u: no UUCP lock files (the test's ptys need none).
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{SER2NET, "-c", config_, "-n", "-u"});
    for (const Served& s : served_)
        if (!Accepting(s.port, ChildProcess::Seconds(15))) return false;
    return true;
}

void Ser2net::Kill() {
    if (!process_) return;
    process_->Signal(SIGKILL);
    process_->Wait(ChildProcess::Seconds(10));
    process_.reset();
}

std::string Ser2net::Output() const {
    if (!process_) return {};
    process_->Poll();
    return process_->Out() + process_->Err();
}

std::string Ser2net::Url(std::size_t index, const std::string& scheme) const {
    const Served& s = served_.at(index);
    const std::string own = s.kind == Kind::Rfc2217 ? "rfc2217" : "tcp";
    return (scheme.empty() ? own : scheme) + "://127.0.0.1:" + std::to_string(s.port);
}

}  // namespace kx::test
