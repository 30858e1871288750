// COM ports through the Win32 communications API. The link never tests the results of
// the configuration, modem-line and purge calls, so they are ignored here as well:
// ports behind some drivers (and Wine's pseudo-terminals) have no modem lines at all.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>

#include "platform/NetworkPort.h"
#include "platform/SerialPort.h"
#include "platform/win32/Win32ComPorts.h"

namespace kx::platform {
namespace {

// "COM12" is opened as "\\?\COM12": the plain name works only up to COM9.
std::string DevicePath(const std::string& name) {
    if (name.rfind("\\\\", 0) == 0) return name;   // already a device path
    return "\\\\?\\" + name;
}

// Blocking reads that return as soon as one byte is there, or after `wait` with nothing.
COMMTIMEOUTS ReadTimeouts(Millis wait) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (wait > Millis::zero()) {
        // MAXDWORD, MAXDWORD and a constant: wait up to the constant for the first byte.
        // The constant must stay below MAXDWORD for this meaning.
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        const auto limit = static_cast<Millis::rep>(MAXDWORD - 1);
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(std::min(wait.count(), limit));
    }
    // Otherwise MAXDWORD, 0, 0: return at once with what has arrived. Writes have no
    // time-out in either case.
    return timeouts;
}

// What the calls on an open handle fail with once its device has gone (a USB adapter
// pulled out): drivers differ in which of these they give.
bool RemovalError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
        case ERROR_OPERATION_ABORTED:
            return true;
        default:
            return false;
    }
}

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(HANDLE handle) : handle_(handle) { ApplyReadWait(Millis::zero()); }
    ~Win32SerialPort() override { CloseHandle(handle_); }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    void SetupQueues(std::uint32_t rxBytes, std::uint32_t txBytes) override {
        SetupComm(handle_, rxBytes, txBytes);
    }

    void SetBaudRate(std::uint32_t rate) override {
        ModifyState([rate](DCB& dcb) { dcb.BaudRate = rate; });
    }
    std::uint32_t BaudRate() override {
        DCB dcb = EmptyDcb();
        return GetCommState(handle_, &dcb) ? dcb.BaudRate : 0;
    }
    void SetByteSize(std::uint8_t bits) override {
        ModifyState([bits](DCB& dcb) { dcb.ByteSize = bits; });
    }
    void SetParity(std::uint8_t code) override {
        ModifyState([code](DCB& dcb) { dcb.Parity = code; });
    }
    void SetStopBits(std::uint8_t code) override {
        ModifyState([code](DCB& dcb) { dcb.StopBits = code; });
    }

    void SetDTR() override { EscapeCommFunction(handle_, SETDTR); }
    void SetRTS() override { EscapeCommFunction(handle_, SETRTS); }
    void ClearRTS() override { EscapeCommFunction(handle_, CLRRTS); }
    void PurgeInput() override { PurgeComm(handle_, PURGE_RXCLEAR); }
    void PurgeOutput() override { PurgeComm(handle_, PURGE_TXCLEAR); }

    void Write(const std::uint8_t* data, std::size_t count) override {
        DWORD written = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
        if (!WriteFile(handle_, data, size, &written, nullptr)) ThrowIfGone();
    }

    std::size_t Read(std::uint8_t* buffer, std::size_t maxCount, Millis wait) override {
        if (maxCount == 0) return 0;
        ApplyReadWait(wait);
        DWORD received = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(maxCount, MAXDWORD));
        if (!ReadFile(handle_, buffer, size, &received, nullptr)) {
            ThrowIfGone();
            // Any other failure: fail after the wait, as a silent line would, instead of
            // letting the caller spin on instant failures.
            if (wait > Millis::zero()) ::Sleep(ReadTimeouts(wait).ReadTotalTimeoutConstant);
            return 0;
        }
        return received;
    }

private:
    // After a failed ReadFile or WriteFile. A driver that aborts calls after a line error
    // (fAbortOnError) gives ERROR_OPERATION_ABORTED too, but then ClearCommError clears
    // the error and succeeds; on a removed device it fails as well.
    void ThrowIfGone() {
        if (!RemovalError(GetLastError())) return;
        DWORD errors = 0;
        COMSTAT status{};
        if (ClearCommError(handle_, &errors, &status)) return;
        if (RemovalError(GetLastError())) throw PortGone();
    }

    static DCB EmptyDcb() {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        return dcb;
    }

    // One field changed, every other setting as the driver has it.
    template <typename Change>
    void ModifyState(Change change) {
        DCB dcb = EmptyDcb();
        if (!GetCommState(handle_, &dcb)) return;   // never write back a made-up state
        change(dcb);
        SetCommState(handle_, &dcb);
    }

    // The time-outs are a driver call; most reads of a frame use the same wait.
    void ApplyReadWait(Millis wait) {
        if (wait < Millis::zero()) wait = Millis::zero();
        if (readWait_ == wait) return;
        COMMTIMEOUTS timeouts = ReadTimeouts(wait);
        readWait_ = SetCommTimeouts(handle_, &timeouts) ? std::optional<Millis>(wait) : std::nullopt;
    }

    HANDLE handle_;
    std::optional<Millis> readWait_;
};

// The calling thread's last error in the system's words, without the line break the
// system puts at its end.
std::string LastErrorText() {
    std::string text = std::system_category().message(static_cast<int>(GetLastError()));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// One object serves every link of the process, so it keeps nothing between calls.
class Win32SerialPorts final : public SerialPorts {
public:
    // Every name Windows can give a port; which of them exist, only a probe tells.
    std::vector<std::string> Candidates() override {
        std::vector<std::string> names;
        for (int n = 1; n <= MaxPorts; ++n) names.push_back("COM" + std::to_string(n));
        return names;
    }

    // No access rights asked: the open succeeds when the port exists and nobody holds it,
    // and it touches neither the lines nor the settings. The system's list is read only
    // for an answer that says neither "no such port" nor "held".
    PortState Probe(const std::string& name) override {
        HANDLE handle = CreateFileA(DevicePath(name).c_str(), 0, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr) {
            CloseHandle(handle);
            return PortState::Free;
        }
        const DWORD error = GetLastError();
        const PortState unlisted = win32::StateAfterOpenError(error, false);
        if (unlisted == PortState::Busy || win32::NoSuchPortError(error)) return unlisted;
        return win32::StateAfterOpenError(error, win32::SystemListsPort(name));
    }

    PortOpening Open(const std::string& name) override {
        // A URL names a port behind a network server (rfc2217://, tcp://), never a device.
        if (IsNetworkPortName(name)) {
            std::string why;
            std::unique_ptr<SerialPort> port = NetworkPort::Open(name, &why);
            return port ? PortOpening::Opened(std::move(port)) : PortOpening::Failed(std::move(why));
        }
        HANDLE handle = CreateFileA(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
            const bool missing = win32::NoSuchPortError(GetLastError());
            return missing ? PortOpening::Missing(LastErrorText()) : PortOpening::Failed(LastErrorText());
        }
        return PortOpening::Opened(std::make_unique<Win32SerialPort>(handle));
    }

    bool StoresPortNumber() const override { return true; }
};

}  // namespace

SerialPorts& SystemSerialPorts() {
    static Win32SerialPorts ports;
    return ports;
}

}  // namespace kx::platform
