// Ports looked at the Windows way: the system tells a missing port from one another
// program holds (not which program), and there are no groups to be in nor services known
// to grab adapters.
#include "platform/PortProbe.h"
#include "platform/SerialPort.h"

namespace kx::platform {

PortProbe ProbePort(const std::string& name) {
    PortProbe probe;
    probe.name = name;
    const PortState state = SystemSerialPorts().Probe(name);
    probe.present = state != PortState::Missing;
    probe.busy = state == PortState::Busy;
    return probe;
}

std::vector<GrabbingService> SerialPortGrabbers() { return {}; }

}  // namespace kx::platform
