#include "link/KX_RS_Base.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <utility>

#include "link/LinkTexts.h"
#include "platform/NetworkAddress.h"
#include "platform/SettingsStore.h"
#include "link/LinkError.h"

namespace kx::link {
namespace {

constexpr const char* PortKey = "Port";

bool SameName(const std::string& a, const std::string& b, bool ignoreCase) {
    if (!ignoreCase) return a == b;
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// A whole decimal integer (optional sign, surrounding blanks allowed); nullopt otherwise.
std::optional<std::int32_t> ParseDecimal(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin;
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

}  // namespace

TKX_RS_Base::TKX_RS_Base(TMenuItem* menuParent, TMenuItem* popupParent, const LinkContext& context)
    : TKXBaseInterface(menuParent, popupParent), context_(context) {
    if (ScanPorts() > 0) {
        PortNumber = FirstFreePort();
        BaudRate = 115200;
        ByteSize = 8;
        Parity = 0;
        StopBits = 2;
        SettingsSection = "RS232Base";
    } else {
        Ui().ShowError(texts::NoFreePort);
    }
}

TKX_RS_Base::~TKX_RS_Base() { TKX_RS_Base::ClosePort(); }

std::int32_t TKX_RS_Base::ScanPorts() {
    // The link's own port must count as free, so it is closed first and stays closed.
    ClosePort();
    const std::vector<std::string> candidates = context_.ports.Candidates();
    FreePortCount = 0;
    for (int n = 1; n <= MaxPorts; ++n) {
        const auto slot = static_cast<std::size_t>(n);
        FreePorts[slot] = false;
        PortNames[slot] = slot <= candidates.size() ? candidates[slot - 1] : std::string();
        if (!PortNames[slot].empty() && context_.ports.IsFree(PortNames[slot])) {
            FreePorts[slot] = true;
            ++FreePortCount;
        }
    }
    return FreePortCount;
}

std::int32_t TKX_RS_Base::FirstFreePort() const {
    for (int n = 1; n <= MaxPorts; ++n)
        if (FreePorts[static_cast<std::size_t>(n)]) return n;
    return 0;
}

void TKX_RS_Base::OpenPort(std::int32_t number) {
    if (number <= 0) return;
    // Numbers beyond the table are treated like a port the last scan did not find.
    PortNumber = number <= MaxPorts && FreePorts[static_cast<std::size_t>(number)] ? number : FirstFreePort();
    if (PortNumber == 0) {
        Ui().ShowError(texts::NoFreePort);
        return;
    }
    openedByName_ = false;
    OpenAndConfigure(PortNames[static_cast<std::size_t>(PortNumber)]);
}

void TKX_RS_Base::OpenPortNamed(const std::string& name) {
    PortNumber = 0;
    for (int n = 1; n <= MaxPorts; ++n)
        if (SameName(PortNames[static_cast<std::size_t>(n)], name, context_.ports.StoresPortNumber())) {
            PortNumber = n;
            break;
        }
    openedByName_ = true;
    OpenAndConfigure(name);
}

void TKX_RS_Base::OpenAndConfigure(const std::string& name) {
    ClosePort();
    PortName = name;
    // A failed open leaves no handle; it shows at the first exchange as a missing answer.
    platform::PortOpening opening = context_.ports.Open(name);
    Handle = std::move(opening.port);
    openFailure_ = std::move(opening.failure);
    openMissing_ = opening.missing;
    if (Handle) Handle->SetupQueues(QueueSize, QueueSize);
    SetBaudRate(BaudRate);
    SetByteSize(ByteSize);
    SetParity(Parity);
    SetStopBits(StopBits);
    SetDTR();
    if (Handle) Handle->PurgeInput();
}

bool TKX_RS_Base::NetworkPortChosen() const { return openedByName_ && platform::IsNetworkPortName(PortName); }

void TKX_RS_Base::ClosePort() {
    Handle.reset();
    portLost_ = false;
}

void TKX_RS_Base::SetPortOpen(bool open) {
    if (!open)
        ClosePort();
    else if (openedByName_)
        OpenAndConfigure(PortName);
    else
        OpenPort(PortNumber);
}

std::size_t TKX_RS_Base::ReadPort(std::uint8_t* buffer, std::size_t maxCount, platform::Millis wait) {
    if (!Handle) return 0;
    try {
        return Handle->Read(buffer, maxCount, wait);
    } catch (const platform::PortGone&) {
        DropLostPort();
        return 0;
    }
}

void TKX_RS_Base::WritePort(const std::uint8_t* data, std::size_t count) {
    if (!Handle) return;
    try {
        Handle->Write(data, count);
    } catch (const platform::PortGone&) {
        DropLostPort();
    }
}

void TKX_RS_Base::DropLostPort() {
    // Not ClosePort: the port is to come back, unlike one the program closed.
    Handle.reset();
    portLost_ = true;
}

void TKX_RS_Base::ReopenLostPort() {
    if (!portLost_ || holdConnection_) return;
    // The same name: on Linux the device path or the stable link to it, on Windows the
    // same COM number; the line settings, DTR and the purge as at any open.
    OpenAndConfigure(PortName);
    portLost_ = !Handle;
}

void TKX_RS_Base::SetBaudRate(std::uint32_t rate) {
    BaudRate = rate;
    if (!Handle) return;
    Handle->SetBaudRate(rate);
    // The driver may refuse the rate and keep its old one; callers compare with what they asked.
    const std::uint32_t actual = Handle->BaudRate();
    if (actual != 0) BaudRate = actual;
}

void TKX_RS_Base::SetByteSize(std::uint8_t value) {
    ByteSize = value;
    if (Handle) Handle->SetByteSize(value);
}

void TKX_RS_Base::SetParity(std::uint8_t value) {
    Parity = value;
    if (Handle) Handle->SetParity(value);
}

void TKX_RS_Base::SetStopBits(std::uint8_t value) {
    StopBits = value;
    if (Handle) Handle->SetStopBits(value);
}

void TKX_RS_Base::SetDTR() {
    if (Handle) Handle->SetDTR();
}

void TKX_RS_Base::SetRTS() {
    if (Handle) Handle->SetRTS();
}

void TKX_RS_Base::ClearRTS() {
    if (Handle) Handle->ClearRTS();
}

void TKX_RS_Base::PurgeInput() {
    if (Handle) Handle->PurgeInput();
}

void TKX_RS_Base::PurgeOutput() {
    if (Handle) Handle->PurgeOutput();
}

void TKX_RS_Base::OpenSlotOrFirstFree(std::int32_t number) {
    if (number < 1 || number > MaxPorts || !FreePorts[static_cast<std::size_t>(number)]) number = FirstFreePort();
    if (number == 0) {
        PortNumber = 0;
        Ui().ShowError(texts::NoFreePort);
        return;
    }
    OpenPort(number);
}

void TKX_RS_Base::LoadSettings(platform::SettingsStore& ini) {
    TKXBaseInterface::LoadSettings(ini);
    const std::string stored = ini.ReadString(SettingsSection, PortKey, "");
    if (stored.find_first_not_of(" \t") == std::string::npos) {
        // No stored port: the one chosen at construction (nothing, when there was none).
        OpenPort(PortNumber);
        return;
    }
    // A port behind a network server is stored by its URL on every system.
    if (const std::string name = StoredPortName(ini); platform::IsNetworkPortName(name)) {
        OpenPortNamed(name);
        return;
    }
    if (context_.ports.StoresPortNumber()) {
        OpenSlotOrFirstFree(ini.ReadInteger(SettingsSection, PortKey, 0));
        return;
    }
    if (const auto number = ParseDecimal(stored)) {
        OpenSlotOrFirstFree(*number);
        return;
    }
    std::int32_t slot = 0;
    for (int n = 1; n <= MaxPorts && slot == 0; ++n)
        if (PortNames[static_cast<std::size_t>(n)] == stored) slot = n;
    OpenSlotOrFirstFree(slot);
}

std::string TKX_RS_Base::StoredPortName(platform::SettingsStore& ini) const {
    const std::string stored = ini.ReadString(SettingsSection, PortKey, "");
    const std::size_t first = stored.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const std::string trimmed = stored.substr(first, stored.find_last_not_of(" \t") - first + 1);
    const std::optional<std::int32_t> number = ParseDecimal(trimmed);
    if (!number) return trimmed;
    if (*number >= 1 && *number <= MaxPorts && !PortNames[static_cast<std::size_t>(*number)].empty())
        return PortNames[static_cast<std::size_t>(*number)];
    return context_.ports.StoresPortNumber() ? "COM" + std::to_string(*number) : trimmed;
}

void TKX_RS_Base::SaveSettings(platform::SettingsStore& ini) {
    TKXBaseInterface::SaveSettings(ini);
    if (NetworkPortChosen()) {
        ini.WriteString(SettingsSection, PortKey, PortName);
        return;
    }
    if (context_.ports.StoresPortNumber()) {
        ini.WriteInteger(SettingsSection, PortKey, PortNumber);
        return;
    }
    std::string name = PortName;
    if (name.empty() && PortNumber >= 1 && PortNumber <= MaxPorts) name = PortNames[static_cast<std::size_t>(PortNumber)];
    ini.WriteString(SettingsSection, PortKey, name);
}

}  // namespace kx::link
