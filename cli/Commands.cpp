#include "cli/Commands.h"

#include <optional>
#include <system_error>

#include "app/BootSession.h"
#include "app/FirmwareImage.h"
#include "cli/LinkSetup.h"
#include "link/BootLoaders.h"
#include "link/LinkError.h"
#include "platform/SerialPort.h"

namespace kx::cli {
namespace {

std::unique_ptr<OpenedLink> OpenLinkFor(const Invocation& inv, ConsoleUi& ui) {
    std::optional<platform::Millis> wake;
    if (inv.wakeTimeoutSeconds)
        wake = platform::Millis(static_cast<long long>(*inv.wakeTimeoutSeconds * 1000.0 + 0.5));
    ui.SetWakeTimeout(wake);
    return OpenedLink::Open(inv.link, ui);
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

Outcome RunLoad(const Invocation& inv, ConsoleUi& ui) {
    const auto opened = OpenLinkFor(inv, ui);
    if (!opened) return ui.Result();
    app::HeadBytes head{};
    app::RunBootSession(opened->Link(), inv.image, head);
    return ui.Result();
}

Outcome RunInfo(const Invocation& inv, ConsoleUi& ui, std::FILE* out) {
    std::optional<app::FirmwareImage> image = LoadImage(inv.image);
    if (!image) {
        ui.ShowError(texts::FileNotFound);
        return ui.Result();
    }
    const auto refusal = image->Refusal(static_cast<std::uint8_t>(link::SessionIdentityWord & 0xFF));
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
        ui.ShowError(*refusal);
        return ui.Result();
    }
    return Outcome::Done;
}

Outcome RunPorts(ConsoleUi& ui, std::FILE* out) {
    platform::SerialPorts& ports = platform::SystemSerialPorts();
    const std::vector<std::string> names = ports.Candidates();
    int free = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool isFree = ports.IsFree(names[i]);
        free += isFree ? 1 : 0;
        std::fprintf(out, "COM%-3zu %-24s %s\n", i + 1, names[i].c_str(), isFree ? "free" : "busy");
    }
    std::fflush(out);
    if (free == 0) {
        ui.ShowError(texts::NoFreePort);
        return ui.Result();
    }
    return Outcome::Done;
}

Outcome RunEraseAndLoad(const Invocation& inv, ConsoleUi& ui) {
    const auto opened = OpenLinkFor(inv, ui);
    if (!opened) return ui.Result();
    opened->Link().EraseAndLoad(inv.image, inv.expectId.has_value(), inv.clockHz, inv.expectId.value_or(0));
    return ui.Result();
}

Outcome RunPatchAndLoad(const Invocation& inv, ConsoleUi& ui) {
    const auto opened = OpenLinkFor(inv, ui);
    if (!opened) return ui.Result();
    const bool check = inv.expectId.has_value();
    opened->Link().PatchAndLoad(inv.image, check, inv.expectId.value_or(0), inv.expectRevision.value_or(0));
    return ui.Result();
}

Outcome RunAddress(const Invocation& inv, ConsoleUi& ui, std::FILE* out) {
    ui.SetAssumeYes(inv.yes);
    const auto opened = OpenLinkFor(inv, ui);
    if (!opened) return ui.Result();
    try {
        const int address = opened->Link().ReadAddress();
        if (address < 0) return Outcome::Cancelled;
        std::fprintf(out, "%d\n", address);
        std::fflush(out);
        return Outcome::Done;
    } catch (const link::LinkError& e) {
        ui.ShowError(e.what());
        return ui.Result();
    }
}

}  // namespace kx::cli
