#include "link/LoadEngine.h"

#include <exception>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "link/LinkTexts.h"
#include "link/BootFunctions.h"
#include "link/KX_RS232.h"
#include "link/LinkError.h"
#include "link/RangeError.h"
#include "link/Rounding.h"
#include "platform/Process.h"
#include "ui/UserInterface.h"

namespace kx::link {
namespace {

using platform::Millis;

constexpr std::uint32_t LargestPageAddress = 0xFFFFFF;  // three bytes on the wire

// percent = p x 100 / n, rounded to the nearest integer, halves to even.
int GaugePercent(std::size_t p, std::size_t n) { return static_cast<int>(DivideRoundHalfEven(p * 100, n)); }

// Pages 1..last less the one the boot loader skips, when it is among them.
std::size_t PagesSentOf(const BootLoaderProfile& profile, const LoadImage& image, const PageGeometry& geometry) {
    const std::size_t last = image.LastPageToSend(geometry);
    const bool skips = profile.skippedPage != 0 && profile.skippedPage <= last;
    return last - (skips ? 1 : 0);
}

std::string WithFileName(std::string_view format, const std::string& fileName) {
    const std::size_t at = format.find("%s");
    if (at == std::string_view::npos) return std::string(format);
    std::string text(format.substr(0, at));
    text.append(fileName).append(format.substr(at + 2));
    return text;
}

// Holds the link's connection for as long as it lives.
class ConnectionHold {
public:
    explicit ConnectionHold(TKX_RS& link) : link_(link) { link_.HoldConnection(true); }
    ~ConnectionHold() { link_.HoldConnection(false); }
    ConnectionHold(const ConnectionHold&) = delete;
    ConnectionHold& operator=(const ConnectionHold&) = delete;

private:
    TKX_RS& link_;
};

// One load inside its progress window, from the wake loop to the finish request. Each
// step that ends the load shows its box (or none) and says why in the outcome.
class LoadEngine {
public:
    LoadEngine(TKX_RS& link, const BootLoaderProfile& profile, const LoadRequest& request,
               ui::ProgressWindow& window)
        : link_(link), profile_(profile), request_(request), window_(window), ui_(link.Ui()) {}

    LoadOutcome Run(LoadImage& image);

private:
    enum class WakeEnd { Answered, Cancelled, Ended };
    WakeEnd Wake();
    const PageGeometry* Identify(Identity& identity);
    std::optional<ImageRefusal> Refusal(const LoadImage& image, const Identity& identity,
                                        const PageGeometry& geometry) const;
    bool Prepare(LoadImage& image, const Identity& identity);
    bool SendPages(const LoadImage& image, const PageGeometry& geometry);
    void SendPage(std::span<const std::uint8_t> page, std::size_t p, const PageGeometry& geometry);
    void Finish();
    void SetTimeout(Millis timeout) { link_.AnswerTimeout = static_cast<std::uint16_t>(timeout.count()); }
    // Ends the load with `reason` and its box (none for a cancel).
    void End(LoadReason reason, const std::string& text);
    void EndWithError(const std::exception& error, LoadReason stage);

    TKX_RS& link_;
    const BootLoaderProfile& profile_;
    const LoadRequest& request_;
    ui::ProgressWindow& window_;
    ui::UserInterface& ui_;
    LoadOutcome outcome_;
};

LoadOutcome LoadEngine::Run(LoadImage& image) {
    if (const WakeEnd woken = Wake(); woken != WakeEnd::Answered) {
        if (woken == WakeEnd::Cancelled) End(LoadReason::Cancelled, {});
        return outcome_;
    }
    // From the answer on, this connection's board is the one loaded: a port lost and back
    // again ends the load instead of sending the rest to whatever board is there now.
    const ConnectionHold hold(link_);
    window_.SetLabel(texts::Identifying);
    Identity identity;
    const PageGeometry* geometry = Identify(identity);
    if (geometry == nullptr) {
        End(LoadReason::WrongController, texts::WrongController);
        return outcome_;
    }
    if (const auto refusal = Refusal(image, identity, *geometry)) {
        End(refusal->reason, refusal->text);
        return outcome_;
    }
    if (profile_.clearingCaption != nullptr) window_.SetLabel(profile_.clearingCaption);
    if (!Prepare(image, identity)) return outcome_;
    window_.SetLabel(texts::Loading);
    window_.SetGaugeVisible(true);
    if (SendPages(image, *geometry)) Finish();
    return outcome_;
}

void LoadEngine::End(LoadReason reason, const std::string& text) {
    outcome_.reason = reason;
    outcome_.text = text;
    if (reason == LoadReason::Cancelled) return;
    if (reason == LoadReason::Loaded)
        ui_.ShowInfo(text);
    else
        ui_.ShowError(text);
}

LoadReason ReasonOf(const EchoMismatch& mismatch) {
    return mismatch.WhichKind() == EchoMismatch::Kind::Missing ? LoadReason::NoEcho : LoadReason::UnexpectedEcho;
}

// A request that failed: its own message, and why as far as the engine can tell (a port
// that has gone away under the load, a page address out of range, an adapter that does
// not echo as the line mode says, else the stage).
void LoadEngine::EndWithError(const std::exception& error, LoadReason stage) {
    LoadReason reason = stage;
    if (dynamic_cast<const RangeError*>(&error) != nullptr)
        reason = LoadReason::OutOfRange;
    else if (const auto* mismatch = dynamic_cast<const EchoMismatch*>(&error))
        reason = ReasonOf(*mismatch);
    else if (!link_.PortOpen())
        reason = LoadReason::PortLost;
    End(reason, error.what());
}

// Asks until the boot loader answers or the user cancels. A board that answers through an
// adapter that does not echo as the line mode says would only fail the same way for ever:
// that ends the load at once, with its box.
LoadEngine::WakeEnd LoadEngine::Wake() {
    for (;;) {
        SetTimeout(profile_.timeouts.wake);
        try {
            link_.Command(profile_.address, fnIdentify);
            return WakeEnd::Answered;
        } catch (const EchoMismatch& mismatch) {
            End(ReasonOf(mismatch), mismatch.what());
            return WakeEnd::Ended;
        } catch (const std::exception&) {
            // Not awake yet (or not switched on): ask again.
        }
        ui_.ProcessMessages();
        if (window_.Cancelled()) return WakeEnd::Cancelled;
    }
}

// The geometry of an accepted identity, nullptr for a refused one. An answer too short to
// hold the identity is refused: its missing bytes would be whatever an earlier frame left.
const PageGeometry* LoadEngine::Identify(Identity& identity) {
    const std::int32_t dataBytes = std::int32_t{link_.RxBuf[0]} - 1 - link_.RxPos;
    if (dataBytes > 0) {
        const auto first = link_.RxBuf.begin() + link_.RxPos;
        outcome_.identity.assign(first, first + dataBytes);
    }
    if (dataBytes < static_cast<std::int32_t>(profile_.identityBytes)) return nullptr;
    identity = profile_.readIdentity(link_);
    outcome_.head = identity.head;
    if (request_.onIdentity) request_.onIdentity(identity);
    const IdentityCheck& check = request_.identity;
    if (check.check && (identity.word != check.expectedWord ||
                        (check.expectedRevision && identity.revision != check.expectedRevision)))
        return nullptr;
    for (const PageGeometry& g : profile_.geometries)
        if (g.id == identity.word) return &g;
    return nullptr;
}

std::optional<ImageRefusal> LoadEngine::Refusal(const LoadImage& image, const Identity& identity,
                                                const PageGeometry& geometry) const {
    if (image.Size() > geometry.maxImageSize) return ImageRefusal{LoadReason::TooLong, profile_.refusedImageText};
    return image.Refusal(identity);
}

// Erases the device where the boot loader wants it, then writes the head bytes into the
// image; false after a failure.
bool LoadEngine::Prepare(LoadImage& image, const Identity& identity) {
    if (profile_.erases) {
        SetTimeout(profile_.timeouts.erase);
        try {
            link_.Command(profile_.address, fnErase);
        } catch (const std::exception& e) {
            EndWithError(e, LoadReason::EraseFailed);
            return false;
        }
    }
    if (identity.head) image.OverwriteHead(*identity.head);
    return true;
}

// Pages 1..last (less the skipped one); false after a cancel or a failure.
bool LoadEngine::SendPages(const LoadImage& image, const PageGeometry& geometry) {
    const std::size_t total = image.PageCount(geometry);
    const std::size_t last = image.LastPageToSend(geometry);
    const int toSend = static_cast<int>(PagesSentOf(profile_, image, geometry));
    for (std::size_t p = 1; p <= last; ++p) {
        if (window_.Cancelled()) {
            End(LoadReason::Cancelled, {});
            return false;
        }
        if (p == profile_.skippedPage) continue;
        try {
            SendPage(image.Page(p, geometry), p, geometry);
        } catch (const std::exception& e) {
            EndWithError(e, LoadReason::ExchangeFailed);
            return false;
        }
        window_.SetProgress(GaugePercent(p, total));
        window_.PagesDone(++outcome_.pages, toSend, geometry.pageSize);
    }
    return true;
}

void LoadEngine::SendPage(std::span<const std::uint8_t> page, std::size_t p, const PageGeometry& geometry) {
    const std::size_t packets = geometry.pageSize / geometry.packetSize;
    for (std::size_t k = 0; k < packets; ++k) {
        SetTimeout(profile_.timeouts.data);
        link_.StartCommand(profile_.address, fnWriteData);
        link_.PutByte(static_cast<std::uint8_t>(k));
        for (std::uint8_t b : page.subspan(k * geometry.packetSize, geometry.packetSize)) link_.PutByte(b);
        link_.Transact();
    }
    const std::uint64_t step = profile_.pageAddressStep != 0 ? profile_.pageAddressStep : geometry.pageSize;
    const std::uint64_t address = (p - 1) * step;
    // An address beyond three bytes would program some earlier page instead.
    if (address > LargestPageAddress) throw RangeError();
    SetTimeout(profile_.timeouts.program);
    link_.StartCommand(profile_.address, fnProgramPage);
    link_.PutWord(static_cast<std::uint16_t>(address & 0xFFFF));
    link_.PutByte(static_cast<std::uint8_t>(address >> 16));
    link_.Transact();
}

void LoadEngine::Finish() {
    SetTimeout(profile_.timeouts.finish);
    try {
        link_.Command(profile_.address, fnFinish);
    } catch (const std::exception& e) {
        // The pages are programmed; most boot loaders' silence at the end changes nothing.
        if (profile_.reportsFinishFailure) {
            EndWithError(e, LoadReason::FinishFailed);
            return;
        }
    }
    End(LoadReason::Loaded, texts::Done);
}

// The link's rate and answer time-out as a load found them.
struct SavedLinkSettings {
    std::uint32_t rate;
    std::uint16_t answerTimeout;
};

// The image file, read; nullptr after the box for a missing one (told in `outcome`).
// Before the progress window exists, a profile that says so sets the remembered rate back
// on the way out.
// Whether some geometry of the profile leaves the image a page to send.
bool HasPageToSend(const LoadImage& image, const BootLoaderProfile& profile) {
    for (const PageGeometry& geometry : profile.geometries)
        if (PagesSentOf(profile, image, geometry) > 0) return true;
    return false;
}

std::unique_ptr<LoadImage> TakeImage(TKX_RS& link, const BootLoaderProfile& profile, const LoadRequest& request,
                                     const SavedLinkSettings& saved, LoadOutcome& outcome) {
    try {
        if (!ImageFileExists(request.fileName)) {
            if (profile.rate.restoresBeforeWindow) link.SetBaudRate(saved.rate);
            outcome.reason = LoadReason::FileMissing;
            outcome.text = WithFileName(profile.missingFileText, request.fileName);
            link.Ui().ShowError(outcome.text);
            return nullptr;
        }
        std::unique_ptr<LoadImage> image = request.readImage(request.fileName);
        // A load that could program nothing must not end as a success: refused before
        // the board is even woken, whatever page size its identity would select.
        if (!HasPageToSend(*image, profile)) {
            if (profile.rate.restoresBeforeWindow) link.SetBaudRate(saved.rate);
            outcome.reason = LoadReason::TooShort;
            outcome.text = texts::TooShort;
            link.Ui().ShowError(outcome.text);
            return nullptr;
        }
        return image;
    } catch (const std::exception&) {
        if (profile.rate.restoresBeforeWindow) link.SetBaudRate(saved.rate);
        throw;
    }
}

// The load inside its progress window; the window is gone, after whatever box the load
// showed has been closed, before this returns or throws.
LoadOutcome RunInWindow(TKX_RS& link, const BootLoaderProfile& profile, const LoadRequest& request,
                        LoadImage& image) {
    const std::unique_ptr<ui::ProgressWindow> window = link.Ui().CreateProgress();
    profile.openWindow(*window, link.LineMode);
    return LoadEngine(link, profile, request, *window).Run(image);
}

}  // namespace

LoadOutcome RunLoad(TKX_RS& link, const BootLoaderProfile& profile, const LoadRequest& request) {
    const SavedLinkSettings saved{link.BaudRate, link.AnswerTimeout};
    LoadOutcome outcome;
    if (profile.rate.setsRate) {
        link.SetBaudRate(request.baudRate);
        if (profile.rate.verifiesRate && link.BaudRate != request.baudRate) {
            link.SetBaudRate(saved.rate);
            outcome.reason = LoadReason::RateRefused;
            outcome.text = texts::RateRefused;
            link.Ui().ShowError(outcome.text);
            return outcome;
        }
    }
    outcome.reason = LoadReason::NoFileName;
    if (request.fileName.empty()) return outcome;
    std::unique_ptr<LoadImage> image = TakeImage(link, profile, request, saved, outcome);
    if (!image) return outcome;

    std::exception_ptr failure;
    try {
        outcome = RunInWindow(link, profile, request, *image);
    } catch (...) {
        failure = std::current_exception();
    }
    image.reset();
    if (profile.rate.restoresAfterLoad) {
        link.SetBaudRate(saved.rate);
        link.AnswerTimeout = saved.answerTimeout;
    }
    if (failure) std::rethrow_exception(failure);
    return outcome;
}

bool ImageFileExists(const std::string& fileName) {
    std::error_code ec;
    return std::filesystem::is_regular_file(platform::PathFromUtf8(fileName), ec);
}

}  // namespace kx::link
