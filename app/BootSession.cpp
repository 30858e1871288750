#include "app/BootSession.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "app/FirmwareImage.h"
#include "link/BootFunctions.h"
#include "link/KX_RS232.h"
#include "link/LinkError.h"
#include "link/RangeError.h"
#include "link/Rounding.h"
#include "platform/Process.h"
#include "ui/UserInterface.h"

namespace kx::app {
namespace {

using std::chrono::milliseconds;

constexpr std::uint8_t BootAddress = 249;
using link::fnFinish;
using link::fnIdentify;
using link::fnProgramPage;
using link::fnWriteData;

constexpr std::size_t PacketsPerPage = 24;
constexpr std::size_t PacketData = 128;
static_assert(PacketsPerPage * PacketData == FirmwareImage::PageSize);
constexpr std::uint32_t PageAddressStep = 2048;

constexpr std::uint16_t IdentityWord = 0x1D2D;
constexpr std::uint8_t RevisionNibble = 4;
// Identity word, two unexamined bytes, revision byte, one unexamined byte, head bytes.
constexpr std::int32_t IdentityAnswerBytes = 12;

constexpr milliseconds WakeTimeout{100};
constexpr milliseconds FinishTimeout{100};
constexpr milliseconds PacketTimeout{500};
constexpr milliseconds ProgramTimeout{1500};

constexpr const char* WakeCaption = "Включите МК...";
constexpr const char* IdentifyCaption = "Определение типа микроконтроллера...";
constexpr const char* LoadCaption = "Загрузка программы...";
constexpr const char* DoneText = "Загрузка окончена.";

void SetAnswerTimeout(link::TKX_RS& link, milliseconds timeout) {
    link.AnswerTimeout = static_cast<std::uint16_t>(timeout.count());
}

// p × 100 / N rounded to the nearest integer, an exact half to the even neighbour.
int GaugeValue(std::size_t page, std::size_t pageCount) {
    return static_cast<int>(link::DivideRoundHalfEven(page * 100, pageCount));
}

// Polls the boot loader until it answers; false when the user cancelled in between.
bool WakeBootLoader(link::TKX_RS& link, ui::UserInterface& ui, const ui::ProgressWindow& progress) {
    for (;;) {
        SetAnswerTimeout(link, WakeTimeout);
        try {
            link.Command(BootAddress, fnIdentify);
            return true;
        } catch (const std::exception&) {
            // Whatever went wrong, the device is simply not listening yet.
        }
        ui.ProcessMessages();
        if (progress.Cancelled()) return false;
    }
}

// The chip's identity from the answer just received; nullopt when the answer is too short
// to hold it (the buffer beyond the answer holds an earlier frame, never head bytes).
struct Identity {
    std::uint16_t word = 0;
    std::uint8_t revisionByte = 0;
    HeadBytes head{};
};

std::optional<Identity> ReadIdentity(link::TKX_RS& link) {
    const std::int32_t frameLength = link.RxBuf[0];
    if (frameLength - 1 - link.RxPos < IdentityAnswerBytes) return std::nullopt;
    Identity id;
    id.word = link.GetWord();
    link.GetByte();
    link.GetByte();
    id.revisionByte = link.GetByte();
    link.GetByte();
    for (auto& b : id.head) b = link.GetByte();
    return id;
}

bool IdentityAccepted(const Identity& id) {
    return id.word == IdentityWord && (id.revisionByte >> 4) == RevisionNibble;
}

void SendPage(link::TKX_RS& link, std::span<const std::uint8_t> page, std::size_t pageNumber) {
    for (std::size_t k = 0; k < PacketsPerPage; ++k) {
        SetAnswerTimeout(link, PacketTimeout);
        link.StartCommand(BootAddress, fnWriteData);
        link.PutByte(static_cast<std::uint8_t>(k));
        for (std::size_t i = k * PacketData; i < (k + 1) * PacketData; ++i) link.PutByte(page[i]);
        link.Transact();
    }
    const std::uint32_t address = static_cast<std::uint32_t>(pageNumber - 1) * PageAddressStep;
    SetAnswerTimeout(link, ProgramTimeout);
    link.StartCommand(BootAddress, fnProgramPage);
    link.PutWord(static_cast<std::uint16_t>(address & 0xFFFF));
    link.PutByte(static_cast<std::uint8_t>((address >> 16) & 0xFF));
    link.Transact();
}

// Pages 1..N-1; false when the session ended here (cancelled, or a request failed and
// its message has been shown).
bool SendPages(link::TKX_RS& link, ui::UserInterface& ui, ui::ProgressWindow& progress,
               const FirmwareImage& image) {
    const std::size_t pageCount = image.PageCount();
    const std::size_t toSend = image.PagesToSend();
    for (std::size_t p = 1; p <= toSend; ++p) {
        if (progress.Cancelled()) return false;
        const std::span<const std::uint8_t> page = image.Page(p);
        try {
            SendPage(link, page, p);
        } catch (const link::LinkError& e) {
            ui.ShowError(e.what());
            return false;
        } catch (const link::RangeError& e) {
            ui.ShowError(e.what());
            return false;
        }
        progress.SetProgress(GaugeValue(p, pageCount));
        progress.PagesDone(static_cast<int>(p), static_cast<int>(toSend), FirmwareImage::PageSize);
    }
    return true;
}

void Finish(link::TKX_RS& link) {
    SetAnswerTimeout(link, FinishTimeout);
    try {
        link.Command(BootAddress, fnFinish);
    } catch (const std::exception&) {
        // The pages are programmed; a boot loader that does not confirm the end changes nothing.
    }
}

// Everything from the progress window on; the window is released by the caller after
// whatever box this shows has been closed.
void RunWithProgress(link::TKX_RS& link, FirmwareImage& image, HeadBytes& headBytes,
                     ui::UserInterface& ui, ui::ProgressWindow& progress) {
    progress.ShowCancelButton();
    progress.SetLabel(WakeCaption);
    progress.SetGaugeVisible(false);
    if (!WakeBootLoader(link, ui, progress)) return;

    progress.SetLabel(IdentifyCaption);
    const std::optional<Identity> id = ReadIdentity(link);
    if (id) headBytes = id->head;
    if (!id || !IdentityAccepted(*id)) {
        ui.ShowError(texts::WrongController);
        return;
    }
    if (const auto refusal = image.Refusal(static_cast<std::uint8_t>(id->word & 0xFF))) {
        ui.ShowError(*refusal);
        return;
    }
    image.OverwriteHead(headBytes);

    progress.SetLabel(LoadCaption);
    progress.SetGaugeVisible(true);
    if (!SendPages(link, ui, progress, image)) return;

    Finish(link);
    ui.ShowInfo(DoneText);
}

}  // namespace

void RunBootSession(link::TKX_RS& link, const std::string& imageFileName, HeadBytes& headBytes,
                    ui::UserInterface& ui) {
    if (imageFileName.empty()) return;
    std::error_code ec;
    if (!std::filesystem::exists(platform::PathFromUtf8(imageFileName), ec)) {
        ui.ShowError(texts::FileNotFound);
        return;
    }
    FirmwareImage image = FirmwareImage::Load(imageFileName);
    const std::unique_ptr<ui::ProgressWindow> progress = ui.CreateProgress();
    RunWithProgress(link, image, headBytes, ui, *progress);
}

}  // namespace kx::app
