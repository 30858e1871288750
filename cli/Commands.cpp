#include "cli/Commands.h"

#include <optional>
#include <system_error>

#include "app/BootSession.h"
#include "app/FirmwareImage.h"
#include "cli/Json.h"
#include "cli/LatencyHint.h"
#include "cli/LinkSetup.h"
#include "cli/PortLoads.h"
#include "link/BootLoaders.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "platform/PortDescription.h"
#include "platform/SerialPort.h"

namespace kx::cli {
namespace {

std::unique_ptr<OpenedLink> OpenLinkFor(const Invocation& inv, ConsoleUi& ui) {
    ui.SetWakeTimeout(inv.WakeTimeout());
    return OpenedLink::Open(inv.link, inv.link.ports.empty() ? std::string() : inv.link.ports.front(), ui);
}

std::string PortDescriptionJson(const std::string& name, bool free) {
    const platform::PortDescription d = platform::DescribePort(name);
    JsonObject port;
    port.Add("name", name);
    port.AddTextOrNull("by_id", d.stableName).Add("free", free).AddTextOrNull("description", d.Text());
    port.AddTextOrNull("vendor_id", d.vendorId).AddTextOrNull("product_id", d.productId);
    port.AddTextOrNull("manufacturer", d.manufacturer).AddTextOrNull("product", d.product);
    port.AddTextOrNull("serial_number", d.serialNumber).AddTextOrNull("hardware_id", d.hardwareId);
    if (d.latencyTimer) {
        port.Add("latency_timer_ms", static_cast<std::int64_t>(d.latencyTimer->count()));
        port.AddTextOrNull("latency_hint", LatencyHint(name, *d.latencyTimer));
    } else {
        port.AddNull("latency_timer_ms").AddNull("latency_hint");
    }
    return port.Text();
}

void PrintPortLine(const std::string& name, bool free, std::FILE* out) {
    const platform::PortDescription d = platform::DescribePort(name);
    std::string line = name + "  " + (free ? "free" : "busy");
    if (!d.stableName.empty()) line += "  " + d.stableName;
    if (const std::string text = d.Text(); !text.empty()) line += "  " + text;
    if (!d.hardwareId.empty()) line += "  " + d.hardwareId;
    if (d.latencyTimer) line += "  latency timer " + std::to_string(d.latencyTimer->count()) + " ms";
    std::fprintf(out, "%s\n", line.c_str());
    // Indented under its port, so that a script reading "path  state" lines can skip it.
    if (const std::string hint = d.latencyTimer ? LatencyHint(name, *d.latencyTimer) : ""; !hint.empty())
        std::fprintf(out, "    %s\n", hint.c_str());
}

void PrintInfoJson(const app::FirmwareImage& image, const std::optional<link::ImageRefusal>& refusal,
                   std::FILE* out) {
    JsonObject info;
    info.Add("size", static_cast<std::int64_t>(image.Size()));
    info.Add("pages", static_cast<std::int64_t>(image.PageCount()));
    info.Add("pages_sent", static_cast<std::int64_t>(refusal ? 0 : image.PagesToSend()));
    if (image.HasTrailer()) {
        const auto trailer = image.Trailer();
        info.Add("trailer", HexText(trailer));
    } else {
        info.AddNull("trailer");
    }
    char identity[8];
    std::snprintf(identity, sizeof identity, "%04X", link::SessionIdentityWord);
    info.Add("identity", identity).Add("accepted", !refusal.has_value()).Add("message", refusal ? refusal->text : "");
    std::fprintf(out, "%s\n", info.Text().c_str());
}

// What a load of the image would refuse it for: no page to send before the board is woken,
// then what the image says of the session's identity.
std::optional<link::ImageRefusal> InfoRefusal(const app::FirmwareImage& image) {
    if (image.PagesToSend() == 0) return link::ImageRefusal{link::LoadReason::TooShort, texts::TooShort};
    return image.Refusal(static_cast<std::uint8_t>(link::SessionIdentityWord & 0xFF));
}

// The image as the session would read it; nullopt when it is missing or anything but a
// regular file. Other read failures go to the general error report.
std::optional<app::FirmwareImage> LoadImage(const std::string& path) {
    try {
        return app::FirmwareImage::Load(path);
    } catch (const std::system_error& e) {
        if (e.code() == std::errc::no_such_file_or_directory) return std::nullopt;
        throw;
    }
}

void PrintPages(std::size_t pages, std::FILE* out) {
    if (pages == 0)
        std::fprintf(out, "sent:    none\n");
    else
        std::fprintf(out, "sent:    pages 1..%zu (%zu bytes)\n", pages, pages * app::FirmwareImage::PageSize);
}

}  // namespace

Outcome RunLoad(const Invocation& inv, ConsoleUi& ui) { return RunLoads(inv, ui); }

Outcome RunInfo(const Invocation& inv, ConsoleUi& ui, std::FILE* out) {
    std::optional<app::FirmwareImage> image = LoadImage(inv.image);
    if (!image) {
        ui.ShowError(texts::FileNotFound);
        return Outcome::Failed;
    }
    const auto refusal = InfoRefusal(*image);
    if (inv.json) {
        PrintInfoJson(*image, refusal, out);
        std::fflush(out);
        if (!refusal) return Outcome::Done;
        ui.ShowError(refusal->text);
        return Outcome::Failed;
    }
    std::fprintf(out, "size:    %llu bytes\n", static_cast<unsigned long long>(image->Size()));
    std::fprintf(out, "pages:   %zu of %zu bytes\n", image->PageCount(), app::FirmwareImage::PageSize);
    // A refused image is never sent, not even in part.
    PrintPages(refusal ? 0 : image->PagesToSend(), out);
    if (image->HasTrailer()) {
        const auto t = image->Trailer();
        std::fprintf(out, "trailer: %02X %02X %02X\n", t[0], t[1], t[2]);
    } else {
        std::fprintf(out, "trailer: none\n");
    }
    std::fprintf(out, "identity 0x%04X: %s\n", link::SessionIdentityWord, refusal ? "refused" : "accepted");
    std::fflush(out);
    if (refusal) {
        ui.ShowError(refusal->text);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome RunPorts(const Invocation& inv, ConsoleUi& ui, std::FILE* out) {
    platform::SerialPorts& ports = platform::SystemSerialPorts();
    const std::vector<std::string> names = ports.Candidates();
    int free = 0;
    std::string json;
    for (const auto& name : names) {
        // Windows offers every name up to COM256; only the ports that exist are listed.
        const platform::PortState state = ports.Probe(name);
        if (state == platform::PortState::Missing) continue;
        const bool isFree = state == platform::PortState::Free;
        free += isFree ? 1 : 0;
        if (inv.json)
            json += (json.empty() ? "" : ",\n ") + PortDescriptionJson(name, isFree);
        else
            PrintPortLine(name, isFree, out);
    }
    if (inv.json) std::fprintf(out, "[%s]\n", json.c_str());
    std::fflush(out);
    if (free == 0) {
        ui.ShowError(texts::NoFreePort);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome RunEraseAndLoad(const Invocation& inv, ConsoleUi& ui) {
    const auto opened = OpenLinkFor(inv, ui);
    if (!opened) return Outcome::Failed;
    return OutcomeOf(
        opened->Link().EraseAndLoad(inv.image, inv.expectId.has_value(), inv.clockHz, inv.expectId.value_or(0)));
}

Outcome RunPatchAndLoad(const Invocation& inv, ConsoleUi& ui) {
    const auto opened = OpenLinkFor(inv, ui);
    if (!opened) return Outcome::Failed;
    const bool check = inv.expectId.has_value();
    return OutcomeOf(
        opened->Link().PatchAndLoad(inv.image, check, inv.expectId.value_or(0), inv.expectRevision.value_or(0)));
}

Outcome RunAddress(const Invocation& inv, ConsoleUi& ui, std::FILE* out) {
    ui.SetAssumeYes(inv.yes);
    const auto opened = OpenLinkFor(inv, ui);
    if (!opened) return Outcome::Failed;
    try {
        const int address = opened->Link().ReadAddress();
        if (address < 0) return Outcome::Cancelled;
        std::fprintf(out, "%d\n", address);
        std::fflush(out);
        return Outcome::Done;
    } catch (const link::LinkError& e) {
        ui.ShowError(e.what());
        return Outcome::Failed;
    }
}

}  // namespace kx::cli
