// The link's own two firmware-upload procedures, for the boot loaders at addresses 240
// (erase, then load) and 241 (patch the head, then load), over the load engine.
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "link/KX_RS232.h"
#include "link/LoadEngine.h"
#include "link/RangeError.h"
#include "link/Rounding.h"
#include "platform/Process.h"

namespace kx::link {
namespace {

constexpr std::uint32_t PatchBaudRate = 115200;

std::uint32_t BaudRateFromClock(double clockHz) {
    const double rate = RoundHalfEven(clockHz * 4800.0 / 7372800.0);
    if (!(rate >= 0 && rate <= static_cast<double>(std::numeric_limits<std::uint32_t>::max())))
        throw RangeError();
    return static_cast<std::uint32_t>(rate);
}

// The whole file in memory, cut into pages of whatever size the device's identity selects.
class RawImage final : public LoadImage {
public:
    explicit RawImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::optional<ImageRefusal> Refusal(const Identity&) const override { return std::nullopt; }
    std::uint64_t Size() const override { return bytes_.size(); }
    void OverwriteHead(const HeadBytes& head) override {
        if (bytes_.size() < head.size()) bytes_.resize(head.size());
        std::copy(head.begin(), head.end(), bytes_.begin());
    }
    std::size_t PageCount(const PageGeometry& geometry) const override { return bytes_.size() / geometry.pageSize; }
    std::size_t LastPageToSend(const PageGeometry& geometry) const override { return PageCount(geometry); }
    std::span<const std::uint8_t> Page(std::size_t p, const PageGeometry& geometry) const override {
        return std::span<const std::uint8_t>(bytes_).subspan((p - 1) * geometry.pageSize, geometry.pageSize);
    }

private:
    std::vector<std::uint8_t> bytes_;
};

std::unique_ptr<LoadImage> ReadWholeFile(const std::string& fileName) {
    const std::filesystem::path path = platform::PathFromUtf8(fileName);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) throw std::system_error(ec, "Cannot read " + fileName);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in || static_cast<std::uintmax_t>(in.gcount()) != size)
        throw std::system_error(std::make_error_code(std::errc::io_error), "Cannot read " + fileName);
    return std::make_unique<RawImage>(std::move(bytes));
}

LoadRequest ProcedureRequest(const std::string& fileName, IdentityCheck check, std::uint32_t rate) {
    return {.fileName = fileName, .identity = check, .baudRate = rate, .readImage = ReadWholeFile, .onIdentity = {}};
}

}  // namespace

LoadOutcome TKX_RS::EraseAndLoad(const std::string& fileName, bool checkIdentity, double clockHz,
                          std::uint16_t expectedId) {
    SetPortOpen(true);
    // A clock that gives no 32-bit rate leaves before the link's rate is touched.
    const std::uint32_t rate = BaudRateFromClock(clockHz);
    return RunLoad(*this, BootLoader240, ProcedureRequest(fileName, {checkIdentity, expectedId, std::nullopt}, rate));
}

LoadOutcome TKX_RS::PatchAndLoad(const std::string& fileName, bool checkIdentity, std::uint16_t expectedId,
                          std::uint8_t expectedRevision) {
    return RunLoad(*this, BootLoader241,
            ProcedureRequest(fileName, {checkIdentity, expectedId, expectedRevision}, PatchBaudRate));
}

}  // namespace kx::link
