// What the device-setup API knows of a COM port: its device's friendly name, maker and
// hardware id, and the adapter driver's latency timer. COM names are already stable on
// Windows, so there is no stable name to add.
#include <windows.h>

#include <initguid.h>   // defines the class GUID below in this file
#include <devguid.h>
#include <setupapi.h>

#include <cctype>
#include <optional>
#include <vector>

#include "platform/PortDescription.h"
#include "platform/win32/RegistryKey.h"
#include "platform/win32/Win32ComPorts.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

// The present devices of the ports class, released on every way out.
class PortDevices {
public:
    PortDevices() : set_(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT)) {}
    ~PortDevices() {
        if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
    }
    PortDevices(const PortDevices&) = delete;
    PortDevices& operator=(const PortDevices&) = delete;

    bool Next(DWORD index, SP_DEVINFO_DATA& device) const {
        device = SP_DEVINFO_DATA{};
        device.cbSize = sizeof device;
        return set_ != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInfo(set_, index, &device);
    }
    HDEVINFO Get() const { return set_; }

private:
    HDEVINFO set_;
};

// The device's own registry key ("Device Parameters").
win32::RegistryKey DeviceKey(HDEVINFO set, SP_DEVINFO_DATA& device) {
    return win32::RegistryKey(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
}

// A text property of the device; for a list (the hardware ids), its first entry.
std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    std::vector<wchar_t> data(1024, L'\0');
    const DWORD bytes = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(data.data()), bytes,
                                           nullptr))
        return {};
    return type == REG_SZ || type == REG_MULTI_SZ ? win32::WideToUtf8(data.data()) : std::string();
}

// The four hex digits after `tag` ("VID_" in "USB\VID_0403&PID_6001"), lower case as
// Linux shows them; "" when the id has none.
std::string IdAfter(const std::string& hardwareId, const std::string& tag) {
    const std::size_t at = hardwareId.find(tag);
    if (at == std::string::npos || at + tag.size() + 4 > hardwareId.size()) return {};
    std::string digits = hardwareId.substr(at + tag.size(), 4);
    for (char& c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return digits;
}

PortDescription Describe(HDEVINFO set, SP_DEVINFO_DATA& device, const win32::RegistryKey& key) {
    PortDescription d;
    d.hardwareId = Property(set, device, SPDRP_HARDWAREID);
    d.vendorId = IdAfter(d.hardwareId, "VID_");
    d.productId = IdAfter(d.hardwareId, "PID_");
    d.manufacturer = Property(set, device, SPDRP_MFG);
    d.product = Property(set, device, SPDRP_FRIENDLYNAME);
    if (d.product.empty()) d.product = Property(set, device, SPDRP_DEVICEDESC);
    if (const auto latency = key.Number(L"LatencyTimer")) d.latencyTimer = std::chrono::milliseconds(*latency);
    return d;
}

}  // namespace

PortDescription DescribePort(const std::string& name) {
    const std::string wanted = win32::ComName(name);
    if (wanted.empty()) return {};
    const PortDevices devices;
    SP_DEVINFO_DATA device{};
    // Each port device names its COM port in its own key, under "PortName".
    for (DWORD index = 0; devices.Next(index, device); ++index) {
        const win32::RegistryKey key = DeviceKey(devices.Get(), device);
        if (win32::ComName(key.Text(L"PortName")) == wanted) return Describe(devices.Get(), device, key);
    }
    return {};
}

}  // namespace kx::platform
