#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/HelpFormatter.h"
#include "platform/NetworkAddress.h"

namespace kx::cli {
namespace {

constexpr const char* Footer = R"(
Exit status:
  0  the image was loaded ("Загрузка окончена." on stdout), or the query
     answered
  1  a refusal or a failure; its message is on stderr, one line
  2  wrong usage
  3  cancelled: Ctrl-C, SIGTERM or --wake-timeout. A load stops where the
     progress window's cancel button would stop it: while waiting for the
     device, or before the next page (a page in flight is finished). A second
     Ctrl-C or SIGTERM, or SIGHUP, stops every load at once; each is still
     reported and summed up, and its port's lock file removed.

Progress goes to stderr: on a terminal one line, updated in place (stage,
gauge, pages done of pages to send, bytes per second, time left); otherwise one
line per stage and one per page.

Port: --port takes any serial device path (or COMn on Windows), whether or not
it is among the candidates that 'ports' lists, or any name 'ports' shows (a
/dev/serial/by-id name stays with its adapter), or a port behind an Ethernet
serial server: rfc2217://HOST:PORT (telnet with COM port control: the rate and
line are set from here) or tcp://HOST:PORT, also socket://HOST:PORT (a raw
stream: the server's own line settings). A server that does not answer yet is
waited for like a board; one lost in the middle of a load ends it with the
link's message. Without --port, the port stored in the settings file (section
"RS232", key "Port", a URL too) is used, or the first free candidate when none
is stored; a stored port that is missing or busy is refused, never replaced.
The settings file is only read, never written; it is the one --settings names,
else KXBOOT_SETTINGS, else the program's own (its path with ".ini") when there
is one, else the desktop program's (kxboot.ini beside it, or its per-user
copy), so both use the port chosen there.

Line mode: a two-wire RS485 adapter that switches its receiver off while it
sends returns no echo of the request; in the default --line-mode 2 the load then
ends with the link's message as soon as the device answers (reason no-echo).
--line-mode auto finds out from the first answer whether the request comes back
and goes on in mode 2 or 1; --line-mode 1 is for an adapter known not to echo.
An adapter that echoes in mode 0 or 1 ends the same way (unexpected-echo).

Several boards: load takes --port more than once (--port all: every free
candidate) and loads all of them at once, each on its own; one board's failure
never stops another, Ctrl-C cancels them all. Exit status 0 when every port
loaded, 1 when any was refused or failed, 3 when cancelled with none failed. On
a terminal one line per port; otherwise every line starts with its port; at the
end one summary line per port on stdout (port, outcome, time, message).

Station (--repeat): each port waits for a board, loads it, then waits until
that board no longer answers (taken away, or started its firmware) before
waiting for the next; a board that stays in its boot loader is never loaded
twice. Ctrl-C ends the station: exit status 0 when every load succeeded, 3 when
a board was stopped half-way and none failed, 1 when any was refused or failed.

Report (--report FILE): one JSON object per line appended for every load
attempt, and flushed when it ends: time (the end, ISO 8601, UTC), start, port
(as given), port_path (the device it led to), port_by_id (the adapter's stable
name or null), image (as given), image_path (absolute), sha256 (of the image as
read), outcome (loaded, refused, failed, cancelled), reason (a stable code such
as too-long or exchange-failed, for scripts), message (empty when cancelled),
identity (the identity answer's data bytes in hex), head (the six head bytes in
hex), pages (pages sent), seconds, version (of this program). The file must be
a regular file or none; a FIFO, a device or a link another user planted in a
shared folder is refused.

Trace (--trace FILE): one line per frame: milliseconds since the start,
direction (TX sent, ECHO own request heard back in line mode 2, RX received),
bytes in hex.

Numbers: WORD is decimal or hexadecimal with 0x (0x1D2D).
)";

constexpr const char* LoadExamples = R"(Examples:
  kxboot-cli load fw.rom --port /dev/ttyUSB0
  kxboot-cli load fw.rom --port COM5 --wake-timeout 30 --trace frames.txt
  kxboot-cli load fw.rom --port /dev/ttyUSB0 --port /dev/ttyS1 --report r.jsonl
  kxboot-cli load fw.rom --port all --repeat --report loads.jsonl
  kxboot-cli load fw.rom --port rfc2217://bench-server:4001
  kxboot-cli load fw.rom --port /dev/ttyUSB0 --line-mode auto
)";
constexpr const char* InfoExamples = R"(Examples:
  kxboot-cli info fw.rom
  kxboot-cli info fw.rom --json
)";
constexpr const char* PortsExamples = R"(Examples:
  kxboot-cli ports
  kxboot-cli ports --json
)";
constexpr const char* DoctorExamples = R"(Each port: free or busy and who holds it (process and PID), whether you may
open it and the group that grants it, the adapter's latency timer (above 1 ms
a hint, not a problem); then the services known to grab serial adapters
(ModemManager, brltty, gpsd) and whether they run. Every problem comes with its
fix. It ends with status 0 when nothing is wrong, 1 when something is (a named
port that is missing, too).

Examples:
  kxboot-cli doctor
  kxboot-cli doctor /dev/ttyUSB0
  kxboot-cli doctor /dev/ttyUSB0 --json
  kxboot-cli doctor COM5
)";
constexpr const char* EraseExamples = R"(Examples:
  kxboot-cli erase-and-load fw.rom --clock 7372800 --port /dev/ttyUSB0
  kxboot-cli erase-and-load fw.rom --clock 7372800 --expect-id 0x1D2D
)";
constexpr const char* PatchExamples = R"(Examples:
  kxboot-cli patch-and-load fw.rom --port /dev/ttyUSB0
  kxboot-cli patch-and-load fw.rom --expect-id 0x1D2D --expect-revision 4
)";
constexpr const char* AddressExamples = R"(Examples:
  kxboot-cli address --port /dev/ttyUSB0
  kxboot-cli address --yes --port COM5
)";

// Decimal, or hexadecimal with a 0x prefix; nothing else (no octal surprises).
std::uint16_t ParseWord(const std::string& text, const char* option) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (text.empty() || ec != std::errc() || ptr != end || value > 0xFFFF)
        throw UsageError(std::string(option) + ": not a 16-bit number: " + text);
    return static_cast<std::uint16_t>(value);
}

struct RawOptions {
    std::string expectId;
    int expectRevision = -1;
    double wakeTimeout = 0;
};

constexpr const char* AutoLineMode = "auto";

void AddLinkOptions(CLI::App& command, LinkOptions& link, bool severalPorts = false) {
    auto* port = command.add_option("--port", link.ports,
                                    severalPorts ? "Serial port: a device path, COMn on Windows, or rfc2217://HOST:PORT or tcp://HOST:PORT "
                                                   "(default: the stored port); repeat it for several boards at once, "
                                                   "'all' for every free one"
                                                 : "Serial port: a device path, COMn on Windows, or rfc2217://HOST:PORT or "
                                                   "tcp://HOST:PORT (default: the stored port)")
                     ->type_name("NAME");
    if (!severalPorts) port->expected(1);
    command.add_option("--baud", link.baud, "Bit rate, 1 to 4000000 (default " + std::to_string(link.baud) + ")")
        ->type_name("RATE")
        ->check(CLI::Range(1U, 4000000U));
    command
        .add_option_function<std::string>(
            "--line-mode",
            [&link](const std::string& mode) {
                link.autoLineMode = mode == AutoLineMode;
                link.lineMode = link.autoLineMode ? app::MainPresenter::StartLineMode : std::stoi(mode);
            },
            "0 RS232, 1 RS422 or RS485 without echo, 2 RS485 with echo, auto: 2 or 1, whichever the "
            "adapter's echo (or its absence) shows on the first answer (default " +
                std::to_string(link.lineMode) + ")")
        ->type_name("MODE")
        ->check(CLI::IsMember({"0", "1", "2", AutoLineMode}));
    command.add_option("--settings", link.settings, "Settings file to read the stored port from")->type_name("FILE");
    command.add_option("--trace", link.trace, "Write every frame sent and received to FILE")->type_name("FILE");
}

CLI::Option* AddWakeTimeout(CLI::App& command, RawOptions& raw) {
    return command
        .add_option("--wake-timeout", raw.wakeTimeout,
                    "Give up waiting for the device after SECONDS (exit status 3); default: wait until Ctrl-C")
        ->type_name("SECONDS");
}

// Longest wake time-out taken: about eleven days. Beyond it (infinity above all) the
// milliseconds would overflow, and NaN compares false with every elapsed time. Checked
// on the converted number, so that no spelling of these slips past.
constexpr double MaxWakeTimeoutSeconds = 1e6;

void CheckWakeTimeout(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0 || seconds > MaxWakeTimeoutSeconds)
        throw UsageError("--wake-timeout: SECONDS must be above 0 and at most 1000000");
}

void AddImage(CLI::App& command, Invocation& inv) {
    command.add_option("IMAGE", inv.image, "Firmware image (.rom)")->type_name("FILE")->required()->check(
        [](const std::string& path) { return path.empty() ? std::string("empty file name") : std::string(); });
}

struct Grammar {
    CLI::App app{"Loads firmware images into PIC24/dsPIC33E devices through their boot loader.", "kxboot-cli"};
    CLI::App* load = nullptr;
    CLI::App* info = nullptr;
    CLI::App* ports = nullptr;
    CLI::App* doctor = nullptr;
    CLI::App* erase = nullptr;
    CLI::App* patch = nullptr;
    CLI::App* address = nullptr;
    CLI::Option* expectIdPatch = nullptr;
    CLI::Option* wakeTimeout[3] = {};

    Grammar(Invocation& inv, RawOptions& raw) {
        app.require_subcommand(0, 1);
        app.set_version_flag("--version", std::string("kxboot-cli ") + KXBOOT_VERSION);
        // Before the subcommands, which take the formatter they are made with.
        app.formatter(std::make_shared<HelpFormatter>());
        load = app.add_subcommand("load", "Load IMAGE through the boot loader at address 249 (the desktop program's load)");
        AddImage(*load, inv);
        AddLinkOptions(*load, inv.link, true);
        wakeTimeout[0] = AddWakeTimeout(*load, raw);
        load->add_option("--report", inv.report, "Append one JSON line per load attempt to FILE")->type_name("FILE");
        load->add_flag("--repeat", inv.repeat, "A station: load one board after another on each port until Ctrl-C");

        info = app.add_subcommand("info", "Show IMAGE's size, pages, trailer and whether a device with identity 0x1D2D takes it");
        AddImage(*info, inv);
        info->add_flag("--json", inv.json, "One JSON object on stdout");

        ports = app.add_subcommand(
            "ports", "List the candidate serial ports: name, free or busy, the adapter's stable name, what it is and its latency timer (with how to lower it when above 1 ms)");
        ports->add_flag("--json", inv.json, "One JSON array on stdout");

        doctor = app.add_subcommand("doctor", "Check PORT (default: every candidate) and this machine for what keeps a port from working, each problem with its fix");
        doctor->add_option("PORT", inv.doctorPort, "The port to check: a device path, a name 'ports' shows, or COMn")
            ->type_name("NAME");
        doctor->add_flag("--json", inv.json, "One JSON object on stdout");

        erase = app.add_subcommand("erase-and-load", "Erase the device and load IMAGE through the boot loader at address 240");
        AddImage(*erase, inv);
        erase->add_option("--clock", inv.clockHz, "The device's clock in Hz; sets the boot loader's bit rate")
            ->type_name("HZ")
            ->required()
            ->check(CLI::PositiveNumber);
        erase->add_option("--expect-id", raw.expectId, "Refuse a device whose identity word is not WORD")->type_name("WORD");
        AddLinkOptions(*erase, inv.link);
        wakeTimeout[1] = AddWakeTimeout(*erase, raw);

        patch = app.add_subcommand("patch-and-load", "Load IMAGE through the boot loader at address 241, leaving page 2 alone");
        AddImage(*patch, inv);
        expectIdPatch = patch->add_option("--expect-id", raw.expectId, "Refuse a device whose identity word is not WORD (with --expect-revision)")
                            ->type_name("WORD");
        auto* revision = patch->add_option("--expect-revision", raw.expectRevision,
                                           "Refuse a device whose revision is not N, 0 to 15 (with --expect-id)")
                             ->type_name("N")
                             ->check(CLI::Range(0, 15));
        expectIdPatch->needs(revision);
        revision->needs(expectIdPatch);
        AddLinkOptions(*patch, inv.link);
        wakeTimeout[2] = AddWakeTimeout(*patch, raw);

        address = app.add_subcommand("address", "Ask the single device on the line for its address");
        address->add_flag("--yes", inv.yes, "Answer yes to the question whether only one device is switched on");
        AddLinkOptions(*address, inv.link);
        const std::pair<CLI::App*, const char*> examples[] = {{load, LoadExamples},   {info, InfoExamples},
                                                              {ports, PortsExamples}, {doctor, DoctorExamples},
                                                              {erase, EraseExamples},
                                                              {patch, PatchExamples}, {address, AddressExamples}};
        for (const auto& [command, text] : examples) command->footer(text);
        // After the subcommands, which would otherwise each repeat it.
        app.footer(Footer);
        // Set last, so that the subcommands keep refusing what they do not know; at the
        // top the stray word is then named in the message.
        app.allow_extras(true);
    }

    bool WakeTimeoutGiven() const {
        for (const CLI::Option* option : wakeTimeout)
            if (option->count() > 0) return true;
        return false;
    }

    CommandKind Selected() const {
        if (app.got_subcommand(load)) return CommandKind::Load;
        if (app.got_subcommand(info)) return CommandKind::Info;
        if (app.got_subcommand(ports)) return CommandKind::Ports;
        if (app.got_subcommand(doctor)) return CommandKind::Doctor;
        if (app.got_subcommand(erase)) return CommandKind::EraseAndLoad;
        if (app.got_subcommand(patch)) return CommandKind::PatchAndLoad;
        return CommandKind::Address;
    }
};

// The number of single-letter edits that turn `a` into `b`.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "unknown subcommand 'lod'; did you mean 'load'?" when one is near enough to be a slip.
std::string UnknownSubcommand(const CLI::App& app, const std::string& word) {
    std::string message = "unknown subcommand '" + word + "'";
    std::string closest;
    std::size_t best = 3;   // more edits than two: no guess
    for (const CLI::App* sub : app.get_subcommands({})) {
        const std::string& name = sub->get_name();
        const std::size_t distance = name.starts_with(word) ? 1 : EditDistance(word, name);
        if (distance < best) {
            best = distance;
            closest = name;
        }
    }
    return closest.empty() ? message : message + "; did you mean '" + closest + "'?";
}

void CheckCombinations(const Invocation& inv) {
    // Nothing of a port behind a network server can be seen from here: no lock, no process,
    // no group.
    if (inv.command == CommandKind::Doctor && platform::IsNetworkPortName(inv.doctorPort))
        throw UsageError("doctor: checks this machine's own ports; " + inv.doctorPort + " is behind a network server");
    if (inv.link.ports.size() > 1 && !inv.link.trace.empty())
        throw UsageError("--trace: with several ports, trace one port at a time");
    for (const auto& port : inv.link.ports)
        if (port.empty()) throw UsageError("--port: empty port name");
}

void ApplyRaw(const RawOptions& raw, Invocation& inv) {
    if (!raw.expectId.empty()) inv.expectId = ParseWord(raw.expectId, "--expect-id");
    if (raw.expectRevision >= 0) inv.expectRevision = static_cast<std::uint8_t>(raw.expectRevision);
    if (raw.wakeTimeout > 0) inv.wakeTimeoutSeconds = raw.wakeTimeout;
}

}  // namespace

std::optional<Invocation> ParseCommandLine(int argc, const char* const* argv, std::ostream& out) {
    Invocation inv;
    RawOptions raw;
    Grammar grammar(inv, raw);
    try {
        grammar.app.parse(argc, argv);
        if (grammar.app.get_subcommands().empty()) {
            // A word that is no subcommand is named, rather than taken for a missing one.
            const std::vector<std::string> extra = grammar.app.remaining();
            if (!extra.empty() && extra.front().starts_with("-"))
                throw UsageError("unknown option '" + extra.front() + "'");
            if (!extra.empty()) throw UsageError(UnknownSubcommand(grammar.app, extra.front()));
            throw UsageError("a subcommand is required");
        }
    } catch (const CLI::CallForVersion&) {
        out << grammar.app.version() << "\n";
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        // The top-level help documents every command with its options.
        const bool top = grammar.app.get_subcommands().empty();
        out << (top ? grammar.app.help("", CLI::AppFormatMode::All) : grammar.app.help());
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }
    inv.command = grammar.Selected();
    if (grammar.WakeTimeoutGiven()) CheckWakeTimeout(raw.wakeTimeout);
    ApplyRaw(raw, inv);
    CheckCombinations(inv);
    return inv;
}

}  // namespace kx::cli
