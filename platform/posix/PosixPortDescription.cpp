// Ports described from sysfs and /dev/serial/by-id ($KXBOOT_SERIAL_BY_ID names another
// folder of such links).
#include <cstdlib>

#include "platform/PortDescription.h"
#include "platform/posix/PortScan.h"

namespace kx::platform {

PortDescription DescribePort(const std::string& name) {
    posix::PortScanDirs dirs;
    if (const char* byId = std::getenv("KXBOOT_SERIAL_BY_ID"); byId != nullptr && *byId != '\0') dirs.byId = byId;
    return posix::DescribeDevicePort(name, dirs);
}

}  // namespace kx::platform
