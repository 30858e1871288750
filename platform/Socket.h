#pragma once
// A connected TCP stream, as a network serial port needs it. One backend per OS.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Clock.h"

namespace kx::platform {

class Socket {
public:
    virtual ~Socket() = default;

    // Sends every byte, waiting at most `wait` for room. Throws PortGone when the
    // connection is lost (reset, closed by the peer); a stall past `wait` is not reported.
    virtual void Send(const std::uint8_t* data, std::size_t count, Millis wait) = 0;
    // Waits at most `wait` for data; returns as soon as some is there (at most `maxCount`
    // bytes), 0 when none came in time. Throws PortGone (at once) when the peer closed the
    // connection or it was lost.
    virtual std::size_t Receive(std::uint8_t* buffer, std::size_t maxCount, Millis wait) = 0;
};

// How a connection attempt ended.
enum class ConnectOutcome {
    Connected,
    Unreachable,   // refused, timed out or lost on the way: worth trying again later
    BadHost,       // the name does not resolve: trying again will not help
};

// Connects to `host`:`port` (every address the name resolves to, in turn, each within
// what is left of `timeout`), with Nagle's algorithm off: a frame is sent as soon as it
// is written. On failure, nullptr with the outcome and the system's words in `why`.
std::unique_ptr<Socket> ConnectTcp(const std::string& host, std::uint16_t port, Millis timeout,
                                   ConnectOutcome& outcome, std::string& why);

}  // namespace kx::platform
