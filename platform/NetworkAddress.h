#pragma once
// A serial port reached through the network, named as a URL: "rfc2217://HOST:PORT" (a
// telnet server with the COM port control option, such as ser2net or a device server)
// or "tcp://HOST:PORT" (also "socket://HOST:PORT"), a raw byte stream whose line
// settings are the server's own.
#include <cstdint>
#include <optional>
#include <string>

namespace kx::platform {

enum class NetworkProtocol { Rfc2217, Raw };

struct NetworkAddress {
    NetworkProtocol protocol = NetworkProtocol::Raw;
    std::string host;   // a name, an IPv4 address or an IPv6 address without its brackets
    std::uint16_t port = 0;
};

// Whether `name` is written as a URL ("scheme://..."): such a name is never a device.
bool IsNetworkPortName(const std::string& name);

// The address a network port name stands for; nullopt, with the reason in `why`, when the
// scheme is unknown or the host or port is missing or malformed.
std::optional<NetworkAddress> ParseNetworkAddress(const std::string& name, std::string* why = nullptr);

}  // namespace kx::platform
