// Ports described from sysfs and /dev/serial/by-id. $KXBOOT_SERIAL_BY_ID names another
// folder of such links, $KXBOOT_SYS_CLASS_TTY another folder in place of /sys/class/tty
// (a test's own tree of tty entries).
#include <cstdlib>
#include <string>

#include "platform/PortDescription.h"
#include "platform/posix/PortScan.h"

namespace kx::platform {
namespace {

void FromEnvironment(const char* name, std::string& folder) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') folder = value;
}

}  // namespace

PortDescription DescribePort(const std::string& name) {
    posix::PortScanDirs dirs;
    FromEnvironment("KXBOOT_SERIAL_BY_ID", dirs.byId);
    FromEnvironment("KXBOOT_SYS_CLASS_TTY", dirs.sysTty);
    return posix::DescribeDevicePort(name, dirs);
}

}  // namespace kx::platform
