// TCP connections on Windows: Winsock, non-blocking sockets waited on with select.
#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>
#include <utility>

#include "platform/SerialPort.h"
#include "platform/Socket.h"

namespace kx::platform {
namespace {

using Steady = std::chrono::steady_clock;

// Winsock is started once for the process and left running until it ends.
bool WinsockStarted() {
    struct Session {
        bool ok = false;
        Session() {
            WSADATA data{};
            ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        }
        ~Session() {
            if (ok) WSACleanup();
        }
    };
    static const Session session;
    return session.ok;
}

std::string SystemText(int error) {
    std::string text = std::system_category().message(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

class UniqueSocket {
public:
    explicit UniqueSocket(SOCKET s = INVALID_SOCKET) : s_(s) {}
    ~UniqueSocket() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    UniqueSocket(UniqueSocket&& other) noexcept : s_(other.s_) { other.s_ = INVALID_SOCKET; }
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        std::swap(s_, other.s_);
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    SOCKET Get() const { return s_; }
    bool Valid() const { return s_ != INVALID_SOCKET; }

private:
    SOCKET s_;
};

enum class Ready { Yes, No, Failed };

// Waits until `s` can be read (or written) or has failed, at most until `deadline`.
Ready WaitFor(SOCKET s, bool write, Steady::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Steady::now()).count();
    timeval limit{};
    if (left > 0) {
        limit.tv_sec = static_cast<long>(left / 1'000'000);
        limit.tv_usec = static_cast<long>(left % 1'000'000);
    }
    fd_set wanted, failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(s, &wanted);
    FD_SET(s, &failed);
    const int n = select(0, write ? nullptr : &wanted, write ? &wanted : nullptr, &failed, &limit);
    if (n == SOCKET_ERROR || FD_ISSET(s, &failed)) return Ready::Failed;
    return n == 0 ? Ready::No : Ready::Yes;
}

bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }

class Win32Socket final : public Socket {
public:
    explicit Win32Socket(UniqueSocket s) : s_(std::move(s)) {}

    void Send(const std::uint8_t* data, std::size_t count, Millis wait) override {
        const auto deadline = Steady::now() + wait;
        std::size_t done = 0;
        while (done < count) {
            const int chunk = static_cast<int>(std::min<std::size_t>(count - done, 1 << 20));
            const int n = send(s_.Get(), reinterpret_cast<const char*>(data + done), chunk, 0);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (!WouldBlock()) throw PortGone();
            const Ready ready = WaitFor(s_.Get(), true, deadline);
            if (ready == Ready::Failed) throw PortGone();
            if (ready == Ready::No) return;   // a stall: the answer will be missing
        }
    }

    std::size_t Receive(std::uint8_t* buffer, std::size_t maxCount, Millis wait) override {
        const auto deadline = Steady::now() + wait;
        const int size = static_cast<int>(std::min<std::size_t>(maxCount, 1 << 20));
        for (;;) {
            const int n = recv(s_.Get(), reinterpret_cast<char*>(buffer), size, 0);
            if (n > 0) return static_cast<std::size_t>(n);
            if (n == 0 || !WouldBlock()) throw PortGone();   // closed by the server, or lost
            const Ready ready = WaitFor(s_.Get(), false, deadline);
            if (ready == Ready::No) return 0;
            if (ready == Ready::Failed) throw PortGone();
        }
    }

private:
    UniqueSocket s_;
};

// One address: a non-blocking connect that gives up at `deadline`; the error on failure.
int ConnectOne(const addrinfo& address, Steady::time_point deadline, UniqueSocket& out) {
    UniqueSocket s(socket(address.ai_family, address.ai_socktype, address.ai_protocol));
    if (!s.Valid()) return WSAGetLastError();
    u_long nonBlocking = 1;
    ioctlsocket(s.Get(), FIONBIO, &nonBlocking);
    if (connect(s.Get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        if (!WouldBlock()) return WSAGetLastError();
        const Ready ready = WaitFor(s.Get(), true, deadline);
        if (ready == Ready::No) return WSAETIMEDOUT;
        int error = 0;
        int size = sizeof error;
        getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
        if (ready == Ready::Failed || error != 0) return error != 0 ? error : WSAECONNREFUSED;
    }
    // A frame goes out as soon as it is written, never held back for more to come.
    const BOOL on = TRUE;
    setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // Every segment acknowledged at once, so that a server that keeps Nagle on does not
    // hold an answer back behind its echo (Windows 8 and later; elsewhere refused, harmless).
    DWORD everySegment = 1, returned = 0;
    WSAIoctl(s.Get(), SIO_TCP_SET_ACK_FREQUENCY, &everySegment, sizeof everySegment, nullptr, 0, &returned, nullptr,
             nullptr);
    out = std::move(s);
    return 0;
}

struct AddressList {
    addrinfo* head = nullptr;
    ~AddressList() {
        if (head != nullptr) freeaddrinfo(head);
    }
};

}  // namespace

std::unique_ptr<Socket> ConnectTcp(const std::string& host, std::uint16_t port, Millis timeout,
                                   ConnectOutcome& outcome, std::string& why) {
    outcome = ConnectOutcome::Unreachable;
    if (!WinsockStarted()) {
        why = "Winsock did not start";
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    AddressList list;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list.head);
    if (resolved != 0) {
        // A name server that cannot be reached now may answer later.
        outcome = resolved == WSATRY_AGAIN ? ConnectOutcome::Unreachable : ConnectOutcome::BadHost;
        why = SystemText(resolved);
        return nullptr;
    }
    const auto deadline = Steady::now() + timeout;
    int error = WSAETIMEDOUT;
    for (const addrinfo* a = list.head; a != nullptr; a = a->ai_next) {
        UniqueSocket s;
        error = ConnectOne(*a, deadline, s);
        if (error == 0) {
            outcome = ConnectOutcome::Connected;
            return std::make_unique<Win32Socket>(std::move(s));
        }
    }
    why = SystemText(error);
    return nullptr;
}

}  // namespace kx::platform
