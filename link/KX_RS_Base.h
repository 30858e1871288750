#pragma once
// The link's window onto a serial port: which of the (at most 256) ports are free,
// opening and configuring one, the stored port in the settings file, and the
// modem-line and purge operations the packet protocol builds on.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "link/KX_BI.h"
#include "link/LinkContext.h"
#include "platform/SerialPort.h"
#include "ui/Forms.h"

namespace kx::link {

class TKX_RS_Base : public TKXBaseInterface {
public:
    static constexpr int MaxPorts = platform::SerialPorts::MaxPorts;
    static constexpr std::uint32_t QueueSize = 1048576;
    // The range the baud-rate dialog holds its field to.
    static constexpr std::uint32_t MinDialogRate = ui::forms::baud_dialog::MinRate;
    static constexpr std::uint32_t MaxDialogRate = ui::forms::baud_dialog::MaxRate;

    TKX_RS_Base(TMenuItem* menuParent, TMenuItem* popupParent, const LinkContext& context);
    ~TKX_RS_Base() override;

    // FreePorts[n] for n in 1..MaxPorts (index 0 unused); the names behind each slot as of the
    // last scan (PortNames[n] is what the user knows as COMn).
    std::array<bool, MaxPorts + 1> FreePorts{};
    std::int32_t FreePortCount = 0;
    std::array<std::string, MaxPorts + 1> PortNames{};
    std::unique_ptr<platform::SerialPort> Handle;   // empty when no port is open
    std::int32_t PortNumber = 0;                    // 0 = no port
    std::string PortName;                           // name of the open (or last opened) port
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;

    // The number of free ports found; 256 of them do not fit in a byte.
    std::int32_t ScanPorts();
    std::int32_t FirstFreePort() const;
    void OpenPort(std::int32_t number);
    // Opens a port by name whether or not it is among the candidates (command line --port).
    void OpenPortNamed(const std::string& name);
    virtual void ClosePort();
    // True opens the port anew (closing it first): the one opened by name when that is how
    // it was opened, else slot PortNumber.
    void SetPortOpen(bool open);
    bool PortOpen() const { return Handle != nullptr; }
    // Why this link's last attempt to open a port failed, in the system's words; empty
    // after one that succeeded, and where the system gave no reason.
    const std::string& OpenFailure() const { return openFailure_; }
    // Whether that attempt failed because no port goes by that name (as opposed to one
    // that someone holds or that would not open).
    bool OpenFailedMissing() const { return openMissing_; }

    void SetBaudRate(std::uint32_t rate);
    void SetByteSize(std::uint8_t value);
    void SetParity(std::uint8_t value);
    void SetStopBits(std::uint8_t value);
    void SetDTR();
    void SetRTS();
    void ClearRTS();
    virtual void PurgeInput();
    virtual void PurgeOutput();

    void LoadSettings(platform::SettingsStore& ini) override;
    // The port the settings file names, as a name that opens it (a stored number becomes
    // the name of that slot as of the last scan); "" when none is stored. Opens nothing.
    std::string StoredPortName(platform::SettingsStore& ini) const;
    void SaveSettings(platform::SettingsStore& ini) override;

    // Dialog-driven selection, behind the password gate.
    virtual void SelectPort();
    virtual void SelectBaudRate();

    // While held, a port that went away is not opened again: whatever board is behind it
    // once it is back was not identified on this connection. A load holds it from the
    // board's answer to its end; waiting for a board, the port is taken up again.
    void HoldConnection(bool hold) { holdConnection_ = hold; }

    // The user this link reports to and lets window messages run for.
    ui::UserInterface& Ui() const { return context_.ui; }
    const LinkContext& Context() const { return context_; }

protected:
    const LinkContext context_;

    // Reading and writing the open port. A port that goes away under its handle (an
    // adapter pulled out) is closed here and then counts as silent; ReopenLostPort opens
    // the same port again, with the same settings, once it is back.
    std::size_t ReadPort(std::uint8_t* buffer, std::size_t maxCount, platform::Millis wait);
    void WritePort(const std::uint8_t* data, std::size_t count);
    void ReopenLostPort();

private:
    void DropLostPort();
    // Whether the port in use is one behind a network server, chosen by its URL.
    bool NetworkPortChosen() const;

    // Closes any open port, then opens `name` and applies the line settings to it.
    void OpenAndConfigure(const std::string& name);
    // A stored slot number: that port when the last scan found it free, else the lowest free one.
    void OpenSlotOrFirstFree(std::int32_t number);

    std::string openFailure_;
    bool openMissing_ = false;
    bool holdConnection_ = false;
    bool openedByName_ = false;
    bool portLost_ = false;   // the handle was dropped because its port went away
};

}  // namespace kx::link
