// The machine's serial ports on Linux: the names in $KXBOOT_PORTS first, then the serial
// devices found under /dev. Probing never opens a port. One object serves every link of
// the process, so it keeps nothing between calls.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/NetworkPort.h"
#include "platform/SerialPort.h"
#include "platform/posix/PortScan.h"
#include "platform/posix/PosixSerialPort.h"
#include "platform/posix/UucpLock.h"

namespace kx::platform {
namespace {

// The slots a Linux machine fills: the listed ports and the devices found, in that order.
constexpr std::size_t CandidateLimit = 32;

// Nothing behind that path (a /dev/serial/by-id link left dangling by an adapter pulled
// out counts as nothing): the port does not exist, as opposed to one that would not open.
bool NoSuchPath(const std::string& name) {
    struct stat info {};
    return !IsNetworkPortName(name) && ::stat(name.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

class PosixSerialPorts final : public SerialPorts {
public:
    std::vector<std::string> Candidates() override {
        const char* listed = std::getenv("KXBOOT_PORTS");
        return posix::MergeCandidates(posix::SplitPortList(listed != nullptr ? listed : ""),
                                      posix::ScanDevicePorts(posix::PortScanDirs{}),
                                      CandidateLimit);
    }

    // Something that is not a character device is no port, whatever its name.
    PortState Probe(const std::string& name) override {
        struct stat info {};
        if (::stat(name.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return PortState::Missing;
        return posix::UucpLock::Held(name, posix::UucpLock::Folders()) ? PortState::Busy : PortState::Free;
    }

    PortOpening Open(const std::string& name) override {
        std::string why;
        // A URL names a port behind a network server (rfc2217://, tcp://), never a device.
        std::unique_ptr<SerialPort> port =
            IsNetworkPortName(name) ? NetworkPort::Open(name, &why) : posix::PosixSerialPort::Open(name, &why);
        if (port) return PortOpening::Opened(std::move(port));
        return NoSuchPath(name) ? PortOpening::Missing(std::move(why)) : PortOpening::Failed(std::move(why));
    }

    bool StoresPortNumber() const override { return false; }
};

}  // namespace

SerialPorts& SystemSerialPorts() {
    static PosixSerialPorts ports;
    return ports;
}

}  // namespace kx::platform
