#pragma once
// Finding serial ports without opening them: opening a tty raises DTR and RTS, which
// resets boards that wire those lines to their reset pin.
#include <string>
#include <vector>

#include "platform/PortDescription.h"

namespace kx::platform::posix {

struct PortScanDirs {
    std::string dev = "/dev";
    std::string sysTty = "/sys/class/tty";
    std::string byId = "/dev/serial/by-id";
};

// Name order in which "ttyS2" comes before "ttyS10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b);

// The entries of a colon-separated port list, in order, empty ones dropped.
std::vector<std::string> SplitPortList(const std::string& list);

// Device paths of the serial ports under `dirs.dev` (ttyS*, ttyUSB*, ttyACM*, ttyAMA*,
// rfcomm*) that have a driver behind them in sysfs, in natural order. A ttyS node
// counts only when its driver reports a known UART type.
std::vector<std::string> ScanDevicePorts(const PortScanDirs& dirs);

// The listed ports first (in their order), then the scanned ones not already listed;
// at most `limit` in all.
std::vector<std::string> MergeCandidates(const std::vector<std::string>& listed,
                                         const std::vector<std::string>& scanned,
                                         std::size_t limit);

// The port's stable name under `dirs.byId` (the link that resolves to the same device;
// the path itself when it already lies there) and the USB attributes its sysfs entry
// or one of that entry's parents carries, and the adapter's latency timer where its
// driver exposes it.
PortDescription DescribeDevicePort(const std::string& path, const PortScanDirs& dirs);

}  // namespace kx::platform::posix
