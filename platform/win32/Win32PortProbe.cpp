// Ports looked at the Windows way: an open without access rights tells a missing port from
// one another program holds (Windows does not say which), and there are no groups to be
// in nor services known to grab adapters.
#include <windows.h>

#include "platform/PortProbe.h"

namespace kx::platform {
namespace {

// "COM12" is reached as "\\?\COM12": the plain name works only up to COM9.
std::string DevicePath(const std::string& name) {
    if (name.rfind("\\\\", 0) == 0) return name;
    return "\\\\?\\" + name;
}

}  // namespace

PortProbe ProbePort(const std::string& name) {
    PortProbe probe;
    probe.name = name;
    // No access rights asked: this touches neither the lines nor the settings.
    HANDLE handle =
        CreateFileA(DevicePath(name).c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr) {
        CloseHandle(handle);
        probe.present = true;
        return probe;
    }
    const DWORD error = GetLastError();
    probe.present = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    probe.busy = probe.present;
    return probe;
}

std::vector<GrabbingService> SerialPortGrabbers() { return {}; }

}  // namespace kx::platform
