#include "cli/LinkSetup.h"

#include <filesystem>
#include <system_error>

#include "app/KXIniFile.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "platform/Clock.h"
#include "platform/Process.h"

namespace kx::cli {
namespace {

// The desktop program's file name, without the extension it has on this system.
constexpr const char* DesktopProgramName = "kxboot";

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(platform::PathFromUtf8(path), ec);
}

// The settings file the command line reads: the one named, else its own when it has one,
// else the desktop program's beside it (or that program's per-user copy), so that both
// use the port the technician chose there.
std::string SettingsToRead(const std::string& settingsPath) {
    if (!settingsPath.empty()) return settingsPath;
    if (!platform::EnvironmentValue("KXBOOT_SETTINGS").empty()) return app::TKXIniFile::DefaultPath();
    const std::filesystem::path program = platform::PathFromUtf8(platform::ExecutablePath());
    const std::string own = app::TKXIniFile::DefaultPathFor(platform::PathToUtf8(program));
    if (IsRegularFile(own)) return own;
    std::filesystem::path desktop = program;
    desktop.replace_filename(platform::PathFromUtf8(DesktopProgramName)).replace_extension(program.extension());
    return app::TKXIniFile::DefaultPathFor(platform::PathToUtf8(desktop));
}

// The stored port's name; "" when the settings file (read only when it exists: the
// command line never creates or writes it) stores none.
std::string StoredPort(link::TKX_RS& link, const std::string& settingsPath) {
    const std::string path = SettingsToRead(settingsPath);
    if (!IsRegularFile(path)) return {};
    app::TKXIniFile ini(path);
    return link.StoredPortName(ini);
}

// Boxes swallowed while it lives: the link's start-up scan and its fallback report
// "no free port" on their own, but only the caller knows which port was asked for.
class QuietScope {
public:
    explicit QuietScope(ConsoleUi& ui) : ui_(ui) { ui_.SetQuiet(true); }
    ~QuietScope() { ui_.SetQuiet(false); }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    ConsoleUi& ui_;
};

// Says why the port did not open. A port that does not exist is said to be missing and
// nothing more: "no free port" after it would send the user looking for a port in use.
link::LoadReason ReportOpenFailure(const link::TKX_RS& link, const std::string& name, ConsoleUi& ui) {
    if (ui.ErrorShown()) return link::LoadReason::NoPort;
    // The system's text alone does not say which port failed, nor why.
    const std::string tried = name.empty() ? link.PortName : name;
    if (!tried.empty() && link.OpenFailedMissing()) {
        ui.ShowError("kxboot-cli: the port " + tried + " does not exist");
        return link::LoadReason::PortMissing;
    }
    const std::string& why = link.OpenFailure();
    if (!tried.empty()) ui.ShowError("kxboot-cli: cannot open the port " + tried + (why.empty() ? "" : ": " + why));
    ui.ShowError(texts::NoFreePort);
    return link::LoadReason::NoPort;
}

}  // namespace

std::unique_ptr<OpenedLink> OpenedLink::Open(const LinkOptions& options, const std::string& port, ConsoleUi& ui,
                                             link::LoadReason* failure) {
    auto opened = std::unique_ptr<OpenedLink>(new OpenedLink);
    {
        // The start-up scan's "no free port" box is left to the check below, which
        // knows which port was asked for.
        QuietScope quiet(ui);
        opened->link_ = std::make_unique<link::TKX_RS>(nullptr, nullptr, link::SystemLinkContext(ui));
    }
    link::TKX_RS& link = *opened->link_;
    link.SetLineMode(static_cast<std::uint8_t>(options.lineMode));
    link.AutoLineMode = options.autoLineMode;
    link.OnEchoMismatch = [&ui](link::EchoMismatch::Kind kind) { ui.NoteEchoMismatch(kind); };
    const std::string name = port.empty() ? StoredPort(link, options.settings) : port;
    if (name.empty()) {
        QuietScope quiet(ui);
        link.OpenPort(link.PortNumber);
    } else {
        link.OpenPortNamed(name);
    }
    if (!link.PortOpen()) {
        const link::LoadReason reason = ReportOpenFailure(link, name, ui);
        if (failure != nullptr) *failure = reason;
        return nullptr;
    }
    link.SetBaudRate(options.baud);
    if (link.BaudRate != options.baud) {
        ui.ShowError(texts::RateRefused);
        if (failure != nullptr) *failure = link::LoadReason::RateRefused;
        return nullptr;
    }
    if (!options.trace.empty()) {
        opened->trace_ = std::make_unique<TraceWriter>(options.trace, platform::SystemClock());
        link.Trace = opened->trace_.get();
    }
    return opened;
}

}  // namespace kx::cli
