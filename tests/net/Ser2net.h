#pragma once
// A ser2net of a test's own: its config file written for the ports asked for, each on a
// free TCP port of 127.0.0.1, serving a pseudo-terminal, started and stopped by the test.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace kx::test {

// A TCP port of 127.0.0.1 that nothing listens on just now.
std::uint16_t FreeTcpPort();
// Whether something accepts connections on 127.0.0.1:`port` within `timeout`.
bool Accepting(std::uint16_t port, ChildProcess::Seconds timeout);

class Ser2net {
public:
    enum class Kind { Rfc2217, Raw };
    struct Served {
        Kind kind;
        std::string device;   // the pseudo-terminal behind it
        std::uint16_t port;
    };

    // Writes `config` with one connection per entry of `served`; starts nothing yet.
    Ser2net(std::string config, std::vector<Served> served);
    // Starts the server; true once every port accepts connections.
    bool Start();
    // Kills it at once, as a server that crashes or loses power.
    void Kill();
    bool Running() const { return process_ != nullptr; }
    std::string Output() const;

    // The URL of served port `index`, with `scheme` (default: the kind's own).
    std::string Url(std::size_t index, const std::string& scheme = {}) const;

private:
    std::string config_;
    std::vector<Served> served_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace kx::test
