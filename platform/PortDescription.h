#pragma once
// What a port is, for a person choosing one: a stable name that survives re-plugging
// and the hardware behind it. One backend per OS.
#include <chrono>
#include <optional>
#include <string>

namespace kx::platform {

struct PortDescription {
    std::string stableName;    // a name that stays with the adapter (/dev/serial/by-id/...), or ""
    std::string vendorId;      // USB vendor and product id, four hex digits each, or ""
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::string hardwareId;    // the system's hardware id where it gives one (Windows), or ""
    bool noDevice = false;     // a port the driver lists with no hardware behind it
    // The USB adapter's latency timer: how long received bytes may wait in the adapter
    // before they reach the PC. Empty where the system does not expose it.
    std::optional<std::chrono::milliseconds> latencyTimer;

    // One line for a person: "0403:6001 FTDI FT232R USB UART A50285BI", "no device", or "".
    std::string Text() const;
};

PortDescription DescribePort(const std::string& name);

}  // namespace kx::platform
