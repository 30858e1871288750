// TCP connections on POSIX: non-blocking sockets waited on with poll.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/SerialPort.h"
#include "platform/Socket.h"
#include "platform/posix/UniqueFd.h"

namespace kx::platform {
namespace {

using Steady = std::chrono::steady_clock;

int PollTimeout(Steady::time_point deadline) {
    const auto left = std::chrono::ceil<Millis>(deadline - Steady::now()).count();
    return left <= 0 ? 0 : left > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(left);
}

// Waits for `events` on `fd` until `deadline`; the events seen, 0 when none came.
short WaitFor(int fd, short events, Steady::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, PollTimeout(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return POLLERR;
        return ready == 0 ? 0 : entry.revents;
    }
}

class PosixSocket final : public Socket {
public:
    explicit PosixSocket(posix::UniqueFd fd) : fd_(std::move(fd)) {}

    void Send(const std::uint8_t* data, std::size_t count, Millis wait) override {
        const auto deadline = Steady::now() + wait;
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::send(fd_.Get(), data + done, count - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) throw PortGone();
            const short seen = WaitFor(fd_.Get(), POLLOUT, deadline);
            if ((seen & (POLLERR | POLLHUP | POLLNVAL)) != 0) throw PortGone();
            if ((seen & POLLOUT) == 0) return;   // a stall: the answer will be missing
        }
    }

    std::size_t Receive(std::uint8_t* buffer, std::size_t maxCount, Millis wait) override {
        const auto deadline = Steady::now() + wait;
        for (;;) {
            const ssize_t n = ::recv(fd_.Get(), buffer, maxCount, 0);
            if (n > 0) {
                AckAtOnce();
                return static_cast<std::size_t>(n);
            }
            if (n == 0) throw PortGone();   // the server closed the connection
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) throw PortGone();
            const short seen = WaitFor(fd_.Get(), POLLIN, deadline);
            if (seen == 0) return 0;
            if ((seen & POLLNVAL) != 0) throw PortGone();
            // Readable, hung up or failed: the next recv tells which.
        }
    }

private:
    // A server that leaves Nagle's algorithm on holds the answer back after the echo
    // until the echo is acknowledged, and a delayed acknowledgement would add some 40 ms
    // to every exchange. The kernel falls back to delaying, so this is asked anew after
    // every read.
    void AckAtOnce() {
        const int on = 1;
        ::setsockopt(fd_.Get(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }

    posix::UniqueFd fd_;
};

// One address: a non-blocking connect that gives up at `deadline`; the errno on failure.
int ConnectOne(const addrinfo& address, Steady::time_point deadline, posix::UniqueFd& out) {
    posix::UniqueFd fd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                address.ai_protocol));
    if (!fd) return errno;
    if (::connect(fd.Get(), address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return errno;
        if ((WaitFor(fd.Get(), POLLOUT, deadline) & (POLLOUT | POLLERR | POLLHUP)) == 0) return ETIMEDOUT;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
        if (error != 0) return error;
    }
    // A frame goes out as soon as it is written, never held back for more to come.
    const int on = 1;
    ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    out = std::move(fd);
    return 0;
}

struct AddressList {
    addrinfo* head = nullptr;
    ~AddressList() {
        if (head != nullptr) ::freeaddrinfo(head);
    }
};

}  // namespace

std::unique_ptr<Socket> ConnectTcp(const std::string& host, std::uint16_t port, Millis timeout,
                                   ConnectOutcome& outcome, std::string& why) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    AddressList list;
    const int resolved = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list.head);
    if (resolved != 0) {
        // A name server that cannot be reached now may answer later.
        outcome = resolved == EAI_AGAIN ? ConnectOutcome::Unreachable : ConnectOutcome::BadHost;
        why = ::gai_strerror(resolved);
        return nullptr;
    }
    const auto deadline = Steady::now() + timeout;
    int error = ETIMEDOUT;
    for (const addrinfo* a = list.head; a != nullptr; a = a->ai_next) {
        posix::UniqueFd fd;
        error = ConnectOne(*a, deadline, fd);
        if (error == 0) {
            outcome = ConnectOutcome::Connected;
            return std::make_unique<PosixSocket>(std::move(fd));
        }
    }
    outcome = ConnectOutcome::Unreachable;
    why = std::generic_category().message(error);   // strerror is not safe across threads
    return nullptr;
}

}  // namespace kx::platform
