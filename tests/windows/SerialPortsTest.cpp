// COM ports as the system has them: the names up to COM256, a probe that tells a port
// that does not exist from one that someone holds, and what the device-setup API says
// of a port's device (a device of the ports class registered by the test itself).
#include <windows.h>

#include <initguid.h>   // defines the class GUID below in this file
#include <devguid.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/PortDescription.h"
#include "platform/SerialPort.h"
#include "platform/win32/Win32ComPorts.h"

namespace kx::platform {
namespace {

TEST(SerialPorts, CandidatesAreCom1ToCom256AndStoredByNumber) {
    SerialPorts& ports = SystemSerialPorts();
    const auto names = ports.Candidates();
    ASSERT_EQ(names.size(), 256u);
    for (int n = 1; n <= 256; ++n) EXPECT_EQ(names[n - 1], "COM" + std::to_string(n));
    EXPECT_TRUE(ports.StoresPortNumber());
}

TEST(SerialPorts, AMissingPortIsProbedAsMissingAndItsOpenSaysSo) {
    SerialPorts& ports = SystemSerialPorts();
    for (const char* name : {"COM29", "COM250", "\\\\.\\COM251", "NOSUCHPORT"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ports.Probe(name), PortState::Missing);
        const PortOpening opening = ports.Open(name);
        EXPECT_EQ(opening.port, nullptr);
        EXPECT_TRUE(opening.missing);
        EXPECT_FALSE(opening.failure.empty());
    }
}

TEST(SerialPorts, TheOpensErrorTellsMissingFromBusy) {
    struct Case {
        DWORD error;
        bool listed;
        PortState state;
    };
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, false, PortState::Missing},  {ERROR_FILE_NOT_FOUND, true, PortState::Missing},
        {ERROR_PATH_NOT_FOUND, false, PortState::Missing},  {ERROR_ACCESS_DENIED, false, PortState::Busy},
        {ERROR_SHARING_VIOLATION, false, PortState::Busy},  {ERROR_GEN_FAILURE, true, PortState::Busy},
        {ERROR_GEN_FAILURE, false, PortState::Missing},     {ERROR_SEM_TIMEOUT, true, PortState::Busy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.error) + (c.listed ? " listed" : " unlisted"));
        EXPECT_EQ(win32::StateAfterOpenError(c.error, c.listed), c.state);
        EXPECT_EQ(win32::NoSuchPortError(c.error),
                  c.error == ERROR_FILE_NOT_FOUND || c.error == ERROR_PATH_NOT_FOUND);
    }
}

// A value of the system's list of serial ports, removed again on every way out.
class ListedPort {
public:
    explicit ListedPort(const std::wstring& com) : value_(L"\\Device\\KxTest" + com) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        const auto bytes = static_cast<DWORD>((com.size() + 1) * sizeof(wchar_t));
        RegSetValueExW(key_, value_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(com.c_str()), bytes);
    }
    ~ListedPort() {
        RegDeleteValueW(key_, value_.c_str());
        RegCloseKey(key_);
    }
    ListedPort(const ListedPort&) = delete;
    ListedPort& operator=(const ListedPort&) = delete;

private:
    std::wstring value_;
    HKEY key_ = nullptr;
};

TEST(SerialPorts, TheSystemsListIsReadByComName) {
    const ListedPort listed(L"COM243");
    for (const char* name : {"COM243", "com243", "\\\\.\\COM243", "\\\\?\\COM243"}) EXPECT_TRUE(win32::SystemListsPort(name)) << name;
    for (const char* name : {"COM24", "COM2433", ""}) EXPECT_FALSE(win32::SystemListsPort(name)) << name;
}

// A device of the ports class as a USB adapter's driver registers it, removed again on
// every way out.
class PortDevice {
public:
    PortDevice(const std::wstring& com, const std::wstring& hardwareIds, const std::wstring& friendly,
               std::optional<DWORD> latency)
        : set_(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr)) {
        device_.cbSize = sizeof device_;
        created_ = SetupDiCreateDeviceInfoW(set_, L"PORTS", &GUID_DEVCLASS_PORTS, nullptr, nullptr, DICD_GENERATE_ID,
                                            &device_) &&
                   SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr);
        if (!created_) return;
        SetText(SPDRP_HARDWAREID, hardwareIds + L'\0');
        SetText(friendly.empty() ? SPDRP_DEVICEDESC : SPDRP_FRIENDLYNAME, friendly.empty() ? L"Communications Port" : friendly);
        SetText(SPDRP_MFG, L"FTDI");
        HKEY key = SetupDiCreateDevRegKeyW(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
        const auto bytes = static_cast<DWORD>((com.size() + 1) * sizeof(wchar_t));
        RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(com.c_str()), bytes);
        if (latency) RegSetValueExW(key, L"LatencyTimer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*latency), sizeof(DWORD));
        RegCloseKey(key);
    }
    ~PortDevice() {
        if (created_) SetupDiRemoveDevice(set_, &device_);
        SetupDiDestroyDeviceInfoList(set_);
    }
    PortDevice(const PortDevice&) = delete;
    PortDevice& operator=(const PortDevice&) = delete;

    bool Created() const { return created_; }

private:
    void SetText(DWORD property, const std::wstring& text) {
        const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        SetupDiSetDeviceRegistryPropertyW(set_, &device_, property, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    }

    HDEVINFO set_;
    SP_DEVINFO_DATA device_{};
    bool created_ = false;
};

TEST(PortDescription, TheDevicesNameMakerHardwareIdAndLatencyTimer) {
    const PortDevice ftdi(L"COM241", std::wstring(L"USB\\VID_0403&PID_6015&REV_1000") + L'\0' + L"USB\\VID_0403&PID_6015",
                          L"USB Serial Port (COM241)", 2);
    const PortDevice plain(L"COM242", L"ACPI\\PNP0501", L"", std::nullopt);
    ASSERT_TRUE(ftdi.Created() && plain.Created());

    for (const char* name : {"COM241", "com241", "\\\\.\\COM241"}) {
        SCOPED_TRACE(name);
        const PortDescription d = DescribePort(name);
        EXPECT_EQ(d.hardwareId, "USB\\VID_0403&PID_6015&REV_1000");
        EXPECT_EQ(d.vendorId, "0403");
        EXPECT_EQ(d.productId, "6015");
        EXPECT_EQ(d.manufacturer, "FTDI");
        EXPECT_EQ(d.product, "USB Serial Port (COM241)");
        EXPECT_EQ(d.latencyTimer, std::chrono::milliseconds(2));
        EXPECT_EQ(d.Text(), "0403:6015 FTDI USB Serial Port (COM241)");
        EXPECT_TRUE(d.stableName.empty());
    }
    const PortDescription plainPort = DescribePort("COM242");
    EXPECT_EQ(plainPort.hardwareId, "ACPI\\PNP0501");
    EXPECT_EQ(plainPort.vendorId + plainPort.productId, "");
    EXPECT_EQ(plainPort.product, "Communications Port");
    EXPECT_EQ(plainPort.latencyTimer, std::nullopt);

    const PortDescription none = DescribePort("COM244");
    EXPECT_EQ(none.hardwareId + none.product + none.manufacturer, "");
    EXPECT_EQ(none.latencyTimer, std::nullopt);
}

}  // namespace
}  // namespace kx::platform
