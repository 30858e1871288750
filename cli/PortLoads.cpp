#include "cli/PortLoads.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/BoardPresence.h"
#include "link/LinkTexts.h"
#include "app/BootSession.h"
#include "app/FirmwareImage.h"
#include "cli/BoardDisplay.h"
#include "cli/CancelSignals.h"
#include "cli/Json.h"
#include "cli/LinkSetup.h"
#include "cli/LoadReport.h"
#include "cli/Terminal.h"
#include "cli/Sha256.h"
#include "link/LinkError.h"
#include "link/LoadEngine.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/PortDescription.h"
#include "platform/Process.h"
#include "platform/SerialPort.h"

namespace kx::cli {
namespace {

constexpr const char* AllPorts = "all";
constexpr const char* PortCaption = "Порт: ";

// What every port shares; nothing in it changes while the ports run but the report,
// which has a lock of its own.
struct Shared {
    const Invocation& inv;
    const app::FirmwareImage& image;
    std::string imagePath;   // absolute
    std::string sha256;
    LoadReport* report;
};

// The device a port name leads to (a link such as /dev/serial/by-id/... resolved); a name
// that is no file (a URL, COM5) stays as it is.
std::string ResolvedPortPath(const std::string& port) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(platform::PathFromUtf8(port), error);
    return error ? port : platform::PathToUtf8(resolved);
}

std::string AbsolutePath(const std::string& file) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(platform::PathFromUtf8(file), error);
    return error ? file : platform::PathToUtf8(absolute.lexically_normal());
}

struct Tally {
    int loaded = 0, refused = 0, failed = 0, cancelled = 0;
    std::string lastOutcome, lastMessage;
    double lastSeconds = 0;

    std::string Count() const {
        return "loaded " + std::to_string(loaded) + ", refused " + std::to_string(refused) + ", failed " +
               std::to_string(failed) + ", cancelled " + std::to_string(cancelled);
    }
};

// One port: its link, its interface, its loads; used by one thread only.
class PortStation {
public:
    // `single`: the only port, named once it is open (several are named on every line).
    PortStation(const Shared& shared, std::string port, ConsoleUi& ui, bool single)
        : shared_(shared), port_(std::move(port)), ui_(ui), single_(single) {}

    const std::string& Port() const { return port_; }
    const Tally& Result() const { return tally_; }

    // Opens the port, then runs the load or the station's loop; never throws.
    void Run() {
        try {
            if (!Open()) return;
            for (;;) {
                const link::LoadKind kind = LoadOne();
                if (!shared_.inv.repeat) return;
                // The running count after every board, the one stopped half-way too.
                ui_.Note(tally_.Count());
                if (kind == link::LoadKind::Cancelled || CancelRequested()) return;
                if (!app::WaitUntilBoardGone(opened_->Link(), [] { return CancelRequested(); })) return;
            }
        } catch (const HardStop&) {
            // Stopped while opening or between boards: no load was in flight.
        } catch (const std::exception& e) {
            // The general error report of this port: a report that cannot be written.
            ui_.ShowError(e.what());
            ++tally_.failed;
        }
    }

private:
    bool Open() {
        ui_.SetWakeTimeout(shared_.inv.WakeTimeout());
        link::LoadOutcome failure;
        failure.reason = link::LoadReason::NoPort;
        opened_ = OpenedLink::Open(shared_.inv.link, port_, ui_, &failure.reason);
        if (!opened_) {
            failure.text = ui_.LastMessage();
            Record(failure, std::chrono::system_clock::now(), 0);
            return false;
        }
        port_ = opened_->PortName();
        if (single_) ui_.Note(PortCaption + port_);
        return true;
    }

    link::LoadKind LoadOne() {
        ui_.BeginLoad();
        platform::Clock& clock = platform::SystemClock();
        const platform::Millis start = clock.Now();
        const auto started = std::chrono::system_clock::now();
        app::HeadBytes head{};
        link::LoadOutcome outcome;
        bool answered = true;
        try {
            outcome = app::RunBootSession(opened_->Link(), shared_.inv.image, shared_.image, head);
            answered = !outcome.identity.empty();
        } catch (const HardStop&) {
            // Stopped at the link's next poll: cancelled, as far as it got.
            outcome = link::LoadOutcome();
            outcome.reason = link::LoadReason::Cancelled;
            outcome.pages = ui_.PagesSent();
            answered = ui_.DeviceAnswered();
        } catch (const std::exception& e) {
            // What the session did not expect (the trace file full, say) ends this load only.
            outcome = link::LoadOutcome();
            outcome.reason = link::LoadReason::UnexpectedError;
            outcome.text = e.what();
            ui_.ShowError(outcome.text);
        }
        const double seconds = std::chrono::duration<double>(clock.Now() - start).count();
        // A station cancelled while it waited for the next board loaded nothing.
        if (!(shared_.inv.repeat && outcome.Kind() == link::LoadKind::Cancelled && !answered))
            Record(outcome, started, seconds);
        return outcome.Kind();
    }

    void Record(const link::LoadOutcome& outcome, std::chrono::system_clock::time_point started, double seconds) {
        const link::LoadKind kind = outcome.Kind();
        switch (kind) {
            case link::LoadKind::Loaded: ++tally_.loaded; break;
            case link::LoadKind::Refused: ++tally_.refused; break;
            case link::LoadKind::Failed: ++tally_.failed; break;
            case link::LoadKind::Cancelled: ++tally_.cancelled; break;
        }
        tally_.lastOutcome = link::KindName(kind);
        tally_.lastMessage = outcome.text;
        tally_.lastSeconds = seconds;
        if (shared_.report == nullptr) return;
        shared_.report->Append({.time = std::chrono::system_clock::now(),
                                .start = started,
                                .port = port_,
                                .portPath = ResolvedPortPath(port_),
                                .portStable = platform::DescribePort(port_).stableName,
                                .image = shared_.inv.image,
                                .imagePath = shared_.imagePath,
                                .sha256 = shared_.sha256,
                                .outcome = tally_.lastOutcome,
                                .reason = link::ReasonName(outcome.reason),
                                .message = outcome.text,
                                .identity = HexText(outcome.identity),
                                .head = outcome.head ? HexText(*outcome.head) : std::string(),
                                .pages = outcome.pages,
                                .seconds = seconds});
    }

    const Shared& shared_;
    std::string port_;
    ConsoleUi& ui_;
    bool single_;
    std::unique_ptr<OpenedLink> opened_;
    Tally tally_;
};

// The ports asked for; "all" becomes every free candidate. Empty: none is free.
std::vector<std::string> PortsToLoad(const Invocation& inv) {
    if (inv.link.ports.empty()) return {""};   // the stored port
    std::vector<std::string> ports;
    platform::SerialPorts& system = platform::SystemSerialPorts();
    for (const auto& port : inv.link.ports) {
        if (port != AllPorts) {
            ports.push_back(port);
            continue;
        }
        for (const auto& candidate : system.Candidates())
            if (system.IsFree(candidate)) ports.push_back(candidate);
    }
    return ports;
}

// Failed when any load was refused or failed; else cancelled when one was stopped (a
// station stopped while it waited for the next board recorded nothing, and is done).
Outcome Overall(const std::vector<Tally>& tallies) {
    bool cancelled = false;
    for (const Tally& t : tallies) {
        if (t.refused > 0 || t.failed > 0) return Outcome::Failed;
        cancelled = cancelled || t.cancelled > 0;
    }
    return cancelled ? Outcome::Cancelled : Outcome::Done;
}

Outcome RunOnePort(const Shared& shared, const std::string& port, ConsoleUi& ui) {
    PortStation station(shared, port, ui, true);
    station.Run();
    return Overall({station.Result()});
}

std::string Summary(const PortStation& station, bool repeat) {
    const Tally& t = station.Result();
    if (repeat) return station.Port() + ": " + t.Count();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", t.lastSeconds);
    std::string line = station.Port() + ": " + t.lastOutcome + ", " + seconds;
    if (!t.lastMessage.empty()) line += ", " + t.lastMessage;
    return line;
}

Outcome RunSeveralPorts(const Shared& shared, const std::vector<std::string>& ports) {
    // Several lines redrawn in place need the cursor moved up: without escape sequences,
    // a line of its own for everything, as in a log.
    BoardDisplay display(stderr, ports, StderrIsTerminal() && platform::ConsoleTakesEscapes());
    std::vector<std::unique_ptr<ConsoleUi>> uis;
    std::vector<std::unique_ptr<PortStation>> stations;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        uis.push_back(std::make_unique<ConsoleUi>(display.Slot(i), platform::SystemClock(), StderrIsTerminal()));
        stations.push_back(std::make_unique<PortStation>(shared, ports[i], *uis.back(), false));
    }
    {
        // A port that is slow to open (an adapter still enumerating) delays only itself.
        std::vector<std::jthread> threads;
        for (auto& station : stations) threads.emplace_back([&station = *station] { station.Run(); });
    }
    std::vector<Tally> tallies;
    for (const auto& station : stations) {
        std::printf("%s\n", Summary(*station, shared.inv.repeat).c_str());
        tallies.push_back(station->Result());
    }
    std::fflush(stdout);
    return Overall(tallies);
}

}  // namespace

Outcome RunLoads(const Invocation& inv, ConsoleUi& ui) {
    if (!link::ImageFileExists(inv.image)) {
        ui.ShowError(texts::FileNotFound);
        return Outcome::Failed;
    }
    // Read and checked once for every port; the sessions each work on a copy.
    const app::FirmwareImage image = app::FirmwareImage::Load(inv.image);
    std::unique_ptr<LoadReport> report;
    if (!inv.report.empty()) report = std::make_unique<LoadReport>(inv.report);
    const Shared shared{inv, image, AbsolutePath(inv.image), image.BodyLoaded() ? Sha256Hex(image.Bytes()) : std::string(),
                        report.get()};
    const std::vector<std::string> ports = PortsToLoad(inv);
    if (ports.empty()) {
        ui.ShowError(texts::NoFreePort);
        return Outcome::Failed;
    }
    if (ports.size() == 1) return RunOnePort(shared, ports.front(), ui);
    return RunSeveralPorts(shared, ports);
}

}  // namespace kx::cli
