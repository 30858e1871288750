// The machine's serial ports on Linux: the names in $KXBOOT_PORTS first, then the serial
// devices found under /dev. Probing never opens a port. One object serves every link of
// the process, so it keeps nothing between calls.
#include <sys/stat.h>

#include <cstdlib>

#include "platform/NetworkPort.h"
#include "platform/SerialPort.h"
#include "platform/posix/PortScan.h"
#include "platform/posix/PosixSerialPort.h"
#include "platform/posix/UucpLock.h"

namespace kx::platform {
namespace {

class PosixSerialPorts final : public SerialPorts {
public:
    std::vector<std::string> Candidates() override {
        const char* listed = std::getenv("KXBOOT_PORTS");
        return posix::MergeCandidates(posix::SplitPortList(listed != nullptr ? listed : ""),
                                      posix::ScanDevicePorts(posix::PortScanDirs{}),
                                      static_cast<std::size_t>(MaxPorts));
    }

    bool IsFree(const std::string& name) override {
        struct stat info {};
        if (::stat(name.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
        return !posix::UucpLock::Held(name, posix::UucpLock::Folders());
    }

    PortOpening Open(const std::string& name) override {
        std::string why;
        // A URL names a port behind a network server (rfc2217://, tcp://), never a device.
        std::unique_ptr<SerialPort> port =
            IsNetworkPortName(name) ? NetworkPort::Open(name, &why) : posix::PosixSerialPort::Open(name, &why);
        return port ? PortOpening::Opened(std::move(port)) : PortOpening::Failed(std::move(why));
    }

    bool StoresPortNumber() const override { return false; }
};

}  // namespace

SerialPorts& SystemSerialPorts() {
    static PosixSerialPorts ports;
    return ports;
}

}  // namespace kx::platform
