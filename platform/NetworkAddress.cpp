#include "platform/NetworkAddress.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kx::platform {
namespace {

constexpr const char* Separator = "://";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::optional<NetworkAddress> Fail(std::string* why, const std::string& reason) {
    if (why != nullptr) *why = reason;
    return std::nullopt;
}

std::optional<NetworkProtocol> ProtocolOf(const std::string& scheme) {
    const std::string lower = Lower(scheme);
    if (lower == "rfc2217") return NetworkProtocol::Rfc2217;
    if (lower == "tcp" || lower == "socket") return NetworkProtocol::Raw;
    return std::nullopt;
}

std::optional<std::uint16_t> PortNumber(const std::string& text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

bool IsNetworkPortName(const std::string& name) {
    const std::size_t at = name.find(Separator);
    return at != std::string::npos && at > 0 &&
           std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(at),
                       [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; });
}

std::optional<NetworkAddress> ParseNetworkAddress(const std::string& name, std::string* why) {
    if (!IsNetworkPortName(name)) return Fail(why, "not a network port name");
    const std::size_t at = name.find(Separator);
    const auto protocol = ProtocolOf(name.substr(0, at));
    if (!protocol) return Fail(why, "unknown scheme (rfc2217://, tcp:// or socket:// expected)");
    std::string rest = name.substr(at + 3);
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    // "[::1]:4000" for an IPv6 address, "host:4000" otherwise.
    std::string host;
    std::size_t colon = std::string::npos;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos) return Fail(why, "unclosed [ in the host");
        host = rest.substr(1, close - 1);
        colon = close + 1 < rest.size() && rest[close + 1] == ':' ? close + 1 : std::string::npos;
    } else {
        colon = rest.rfind(':');
        host = rest.substr(0, colon);
        if (host.find(':') != std::string::npos) return Fail(why, "an IPv6 host goes in brackets");
    }
    if (host.empty()) return Fail(why, "no host");
    if (colon == std::string::npos) return Fail(why, "no port number (HOST:PORT)");
    const auto port = PortNumber(rest.substr(colon + 1));
    if (!port) return Fail(why, "bad port number (1 to 65535)");
    return NetworkAddress{*protocol, host, *port};
}

}  // namespace kx::platform
