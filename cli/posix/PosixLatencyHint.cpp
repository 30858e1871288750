// Linux: the usb-serial driver takes the latency timer through sysfs; the setting lasts
// until the adapter is plugged in again, a udev rule makes it stay.
#include <filesystem>
#include <system_error>

#include "cli/LatencyHint.h"

namespace kx::cli {

std::string HowToLowerLatencyTimer(const std::string& port) {
    // A stable name (/dev/serial/by-id/...) leads to the kernel's name, which sysfs uses.
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(port, error);
    const std::string name = (error ? std::filesystem::path(port) : device).filename().string();
    return "echo 1 > /sys/bus/usb-serial/devices/" + name +
           "/latency_timer (as root; until the adapter is plugged in again), or for good a udev rule in "
           "/etc/udev/rules.d/99-usb-serial-latency.rules: ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
           "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"";
}

}  // namespace kx::cli
