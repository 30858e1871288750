// The link's own two firmware-upload procedures, for the boot loaders at addresses 240
// (erase, then load) and 241 (patch the head, then load). One skeleton; the variants
// differ only in the data of their Variant.
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "link/KX_RS232.h"
#include "link/BootFunctions.h"
#include "link/RangeError.h"
#include "link/Rounding.h"
#include "platform/Process.h"
#include "ui/UserInterface.h"

namespace kx::link {
namespace {

using platform::Millis;
using Image = std::vector<std::uint8_t>;


constexpr Millis IdentifyTimeout{100};
constexpr Millis EraseTimeout{4000};
constexpr Millis DataTimeout{500};
constexpr Millis ProgramTimeout{800};
constexpr Millis FinishTimeout{100};

constexpr std::uint32_t PatchBaudRate = 115200;
constexpr std::uint64_t NoLimit = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t LargestPageAddress = 0xFFFFFF;  // three bytes on the wire

namespace loadTexts {
constexpr const char* WaitOnly = "Включите ТОЛЬКО нужное устройство...";
constexpr const char* Wait = "Включите устройство...";
constexpr const char* Identifying = "Определение типа микроконтроллера...";
constexpr const char* Clearing = "Очистка устройства...";
constexpr const char* Loading = "Загрузка программы...";
constexpr const char* FileMissing = "Не могу найти файл %s.";
constexpr const char* WrongController = "В устройстве неверный микроконтроллер.";
constexpr const char* TooLong = "Что-то длинновата программка-то.";
constexpr const char* Done = "Загрузка окончена.";
}  // namespace loadTexts

// The page geometry an identity word selects.
struct Geometry {
    std::uint16_t id;
    std::size_t pageSize;
    std::size_t packetSize;
    std::uint64_t maxImageSize;
};

constexpr Geometry EraseGeometries[] = {
    {0x0297, 256, 128, 126976},
    {0x0394, 128, 128, 15360},
    {0x0494, 128, 128, 15360},
    {0x0893, 64, 64, 7168},
};
constexpr Geometry PatchGeometries[] = {{0x0041, 1536, 128, NoLimit}};

struct Identity {
    std::uint16_t id = 0;
    std::optional<std::uint8_t> revision;
    std::optional<std::array<std::uint8_t, 6>> head;
};

// One ignored byte, then the identity word.
Identity ReadEraseIdentity(TKX_RS& link) {
    Identity identity;
    link.GetByte();
    identity.id = link.GetWord();
    return identity;
}

// The identity word, two ignored bytes, the revision in the upper nibble, one ignored
// byte, then the six head bytes.
Identity ReadPatchIdentity(TKX_RS& link) {
    Identity identity;
    identity.id = link.GetWord();
    link.GetByte();
    link.GetByte();
    identity.revision = static_cast<std::uint8_t>(link.GetByte() >> 4);
    link.GetByte();
    std::array<std::uint8_t, 6> head{};
    for (auto& b : head) b = link.GetByte();
    identity.head = head;
    return identity;
}

struct Variant {
    std::uint8_t address;
    std::span<const Geometry> geometries;
    std::size_t identityBytes;  // data bytes the identity answer must carry
    Identity (*readIdentity)(TKX_RS&);
    std::uint32_t pageAddressStep;  // 0: the page size
    std::size_t skippedPage;        // 0: none
    bool erases;
    bool reportsFinishFailure;
    bool restoresRateBeforeWindow;  // on a missing or unreadable file
};

constexpr Variant EraseVariant{240, EraseGeometries, 3, ReadEraseIdentity, 0, 0, true, true, true};
constexpr Variant PatchVariant{241, PatchGeometries, 12, ReadPatchIdentity, 1024, 2, false, false, false};

// percent = p x 100 / n, rounded to the nearest integer, halves to even.
int GaugePercent(std::size_t p, std::size_t n) { return static_cast<int>(DivideRoundHalfEven(p * 100, n)); }

std::uint32_t BaudRateFromClock(double clockHz) {
    const double rate = RoundHalfEven(clockHz * 4800.0 / 7372800.0);
    if (!(rate >= 0 && rate <= static_cast<double>(std::numeric_limits<std::uint32_t>::max())))
        throw RangeError();
    return static_cast<std::uint32_t>(rate);
}

Image ReadWholeFile(const std::string& fileName) {
    const std::filesystem::path path = platform::PathFromUtf8(fileName);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) throw std::system_error(ec, "Cannot read " + fileName);
    std::ifstream in(path, std::ios::binary);
    Image image(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!in || static_cast<std::uintmax_t>(in.gcount()) != size)
        throw std::system_error(std::make_error_code(std::errc::io_error), "Cannot read " + fileName);
    return image;
}

std::string FileMissingText(const std::string& fileName) {
    const std::string_view format = loadTexts::FileMissing;
    const std::size_t at = format.find("%s");
    std::string text(format.substr(0, at));
    text.append(fileName).append(format.substr(at + 2));
    return text;
}

// One call of a procedure, from the wake loop to the finish request; every way out of
// it is followed by the final stage in Run.
class LoadProcedure {
public:
    LoadProcedure(TKX_RS& link, const Variant& variant, ui::ProgressWindow& window)
        : link_(link), variant_(variant), window_(window) {}

    void Run(Image image, bool checkIdentity, std::uint16_t expectedId,
             std::optional<std::uint8_t> expectedRevision);

private:
    bool Wake();
    const Geometry* Identify(bool checkIdentity, std::uint16_t expectedId,
                             std::optional<std::uint8_t> expectedRevision, Identity& identity);
    bool Prepare(Image& image, const Identity& identity);
    bool SendPages(const Image& image, const Geometry& geometry);
    void SendPage(std::span<const std::uint8_t> page, std::size_t p, const Geometry& geometry);
    void Finish();
    void SetTimeout(Millis timeout) { link_.AnswerTimeout = static_cast<std::uint16_t>(timeout.count()); }

    TKX_RS& link_;
    const Variant& variant_;
    ui::ProgressWindow& window_;
};

void LoadProcedure::Run(Image image, bool checkIdentity, std::uint16_t expectedId,
                        std::optional<std::uint8_t> expectedRevision) {
    if (!Wake()) return;
    window_.SetLabel(loadTexts::Identifying);
    Identity identity;
    const Geometry* geometry = Identify(checkIdentity, expectedId, expectedRevision, identity);
    if (geometry == nullptr) {
        link_.Ui().ShowError(loadTexts::WrongController);
        return;
    }
    if (image.size() > geometry->maxImageSize) {
        link_.Ui().ShowError(loadTexts::TooLong);
        return;
    }
    window_.SetLabel(loadTexts::Clearing);
    if (!Prepare(image, identity)) return;
    window_.SetLabel(loadTexts::Loading);
    window_.SetGaugeVisible(true);
    if (!SendPages(image, *geometry)) return;
    Finish();
}

// Asks until the boot loader answers; false when the user cancelled first.
bool LoadProcedure::Wake() {
    for (;;) {
        SetTimeout(IdentifyTimeout);
        try {
            link_.Command(variant_.address, fnIdentify);
            return true;
        } catch (const std::exception&) {
            // Not awake yet (or not switched on): ask again.
        }
        link_.Ui().ProcessMessages();
        if (window_.Cancelled()) return false;
    }
}

// The geometry of an accepted identity, nullptr for a refused one. An answer too short to
// hold the identity is refused: its missing bytes would be whatever an earlier frame left.
const Geometry* LoadProcedure::Identify(bool checkIdentity, std::uint16_t expectedId,
                                        std::optional<std::uint8_t> expectedRevision, Identity& identity) {
    const std::int32_t dataBytes = std::int32_t{link_.RxBuf[0]} - 1 - link_.RxPos;
    if (dataBytes < static_cast<std::int32_t>(variant_.identityBytes)) return nullptr;
    identity = variant_.readIdentity(link_);
    if (checkIdentity && (identity.id != expectedId || (expectedRevision && identity.revision != expectedRevision)))
        return nullptr;
    for (const Geometry& g : variant_.geometries)
        if (g.id == identity.id) return &g;
    return nullptr;
}

// Erases the device or writes the head bytes into the image; false after a failure.
bool LoadProcedure::Prepare(Image& image, const Identity& identity) {
    if (variant_.erases) {
        SetTimeout(EraseTimeout);
        try {
            link_.Command(variant_.address, fnErase);
        } catch (const std::exception& e) {
            link_.Ui().ShowError(e.what());
            return false;
        }
    }
    if (identity.head) {
        if (image.size() < identity.head->size()) image.resize(identity.head->size());
        std::copy(identity.head->begin(), identity.head->end(), image.begin());
    }
    return true;
}

// Pages 1..N (less the skipped one); false after a cancel or a failure.
bool LoadProcedure::SendPages(const Image& image, const Geometry& geometry) {
    const std::size_t n = image.size() / geometry.pageSize;
    const bool skips = variant_.skippedPage != 0 && variant_.skippedPage <= n;
    const int toSend = static_cast<int>(n) - (skips ? 1 : 0);
    int sent = 0;
    for (std::size_t p = 1; p <= n; ++p) {
        if (window_.Cancelled()) return false;
        const auto page = std::span<const std::uint8_t>(image).subspan((p - 1) * geometry.pageSize, geometry.pageSize);
        if (p == variant_.skippedPage) continue;
        try {
            SendPage(page, p, geometry);
        } catch (const std::exception& e) {
            link_.Ui().ShowError(e.what());
            return false;
        }
        window_.SetProgress(GaugePercent(p, n));
        window_.PagesDone(++sent, toSend, geometry.pageSize);
    }
    return true;
}

void LoadProcedure::SendPage(std::span<const std::uint8_t> page, std::size_t p, const Geometry& geometry) {
    const std::size_t packets = geometry.pageSize / geometry.packetSize;
    for (std::size_t k = 0; k < packets; ++k) {
        SetTimeout(DataTimeout);
        link_.StartCommand(variant_.address, fnWriteData);
        link_.PutByte(static_cast<std::uint8_t>(k));
        for (std::uint8_t b : page.subspan(k * geometry.packetSize, geometry.packetSize)) link_.PutByte(b);
        link_.Transact();
    }
    const std::uint64_t step = variant_.pageAddressStep != 0 ? variant_.pageAddressStep : geometry.pageSize;
    const std::uint64_t address = (p - 1) * step;
    // An address beyond three bytes would program some earlier page instead.
    if (address > LargestPageAddress) throw RangeError();
    SetTimeout(ProgramTimeout);
    link_.StartCommand(variant_.address, fnProgramPage);
    link_.PutWord(static_cast<std::uint16_t>(address & 0xFFFF));
    link_.PutByte(static_cast<std::uint8_t>(address >> 16));
    link_.Transact();
}

void LoadProcedure::Finish() {
    SetTimeout(FinishTimeout);
    try {
        link_.Command(variant_.address, fnFinish);
    } catch (const std::exception& e) {
        if (variant_.reportsFinishFailure) {
            link_.Ui().ShowError(e.what());
            return;
        }
    }
    link_.Ui().ShowInfo(loadTexts::Done);
}

struct Arguments {
    const std::string& fileName;
    bool checkIdentity;
    std::uint16_t expectedId;
    std::optional<std::uint8_t> expectedRevision;
    std::uint32_t baudRate;
    bool verifyRate;
};

// The whole image file; nullopt after the box for a missing one. Before the progress
// window exists, a variant that says so sets the remembered rate back on the way out.
std::optional<Image> TakeImage(TKX_RS& link, const Variant& variant, const std::string& fileName,
                               std::uint32_t savedRate) {
    try {
        std::error_code ec;
        if (!std::filesystem::exists(platform::PathFromUtf8(fileName), ec)) {
            if (variant.restoresRateBeforeWindow) link.SetBaudRate(savedRate);
            link.Ui().ShowError(FileMissingText(fileName));
            return std::nullopt;
        }
        return ReadWholeFile(fileName);
    } catch (const std::exception&) {
        if (variant.restoresRateBeforeWindow) link.SetBaudRate(savedRate);
        throw;
    }
}

// The procedure inside its progress window; the image copy and the window are gone
// before this returns or throws.
void RunInWindow(TKX_RS& link, const Variant& variant, const Arguments& args, Image image) {
    const std::unique_ptr<ui::ProgressWindow> window = link.Ui().CreateProgress();
    window->ShowCancelButton();
    window->SetGaugeVisible(false);
    window->SetLabel(link.LineMode == 2 ? loadTexts::WaitOnly : loadTexts::Wait);
    LoadProcedure(link, variant, *window).Run(std::move(image), args.checkIdentity, args.expectedId,
                                              args.expectedRevision);
}

// Steps up to the progress window, then the procedure, then the final stage.
void RunLoad(TKX_RS& link, const Variant& variant, const Arguments& args) {
    const std::uint32_t savedRate = link.BaudRate;
    const std::uint16_t savedTimeout = link.AnswerTimeout;
    link.SetBaudRate(args.baudRate);
    if (args.verifyRate && link.BaudRate != args.baudRate) {
        link.SetBaudRate(savedRate);
        link.Ui().ShowError(texts::RateRefused);
        return;
    }
    if (args.fileName.empty()) return;
    std::optional<Image> image = TakeImage(link, variant, args.fileName, savedRate);
    if (!image) return;

    std::exception_ptr failure;
    try {
        RunInWindow(link, variant, args, std::move(*image));
    } catch (...) {
        failure = std::current_exception();
    }
    link.SetBaudRate(savedRate);
    link.AnswerTimeout = savedTimeout;
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

void TKX_RS::EraseAndLoad(const std::string& fileName, bool checkIdentity, double clockHz,
                          std::uint16_t expectedId) {
    SetPortOpen(true);
    // A clock that gives no 32-bit rate leaves before the link's rate is touched.
    const std::uint32_t rate = BaudRateFromClock(clockHz);
    RunLoad(*this, EraseVariant, {fileName, checkIdentity, expectedId, std::nullopt, rate, true});
}

void TKX_RS::PatchAndLoad(const std::string& fileName, bool checkIdentity, std::uint16_t expectedId,
                          std::uint8_t expectedRevision) {
    RunLoad(*this, PatchVariant, {fileName, checkIdentity, expectedId, expectedRevision, PatchBaudRate, false});
}

}  // namespace kx::link
