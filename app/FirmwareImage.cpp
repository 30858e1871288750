#include "app/FirmwareImage.h"

#include <algorithm>
#include <system_error>

#include "link/LinkTexts.h"
#include "link/RangeError.h"
#include "platform/RegularFile.h"

namespace kx::app {
namespace {

[[noreturn]] void ThrowReadError(std::error_code ec, const std::string& path) {
    if (!ec) ec = std::make_error_code(std::errc::io_error);
    throw std::system_error(ec, "Cannot read " + path);
}

void ReadAt(const platform::RegularFile& file, const std::string& path, std::uint64_t offset,
            std::uint8_t* out, std::size_t count) {
    std::error_code ec;
    if (!file.ReadAt(offset, out, count, ec)) ThrowReadError(ec, path);
}

}  // namespace

FirmwareImage FirmwareImage::Load(const std::string& path) {
    // Opened once, and only as a regular file: a folder, a FIFO or a device given as the
    // image is a missing file, and never makes the program wait.
    std::error_code ec;
    const platform::RegularFile file = platform::RegularFile::Open(path, ec);
    if (!file.IsOpen()) ThrowReadError(ec, path);

    // The size decides what is read at all: a file too long to accept costs no memory.
    FirmwareImage image;
    image.size_ = file.Size();
    if (image.HasTrailer()) ReadAt(file, path, image.size_ - 3, image.trailer_.data(), 3);
    if (image.size_ <= MaxSize) {
        image.bytes_.resize(static_cast<std::size_t>(image.size_));
        if (image.size_ > 0) ReadAt(file, path, 0, image.bytes_.data(), image.bytes_.size());
        image.bodyLoaded_ = true;
    }
    return image;
}

FirmwareImage FirmwareImage::FromBytes(std::vector<std::uint8_t> bytes) {
    FirmwareImage image;
    image.size_ = bytes.size();
    image.bytes_ = std::move(bytes);
    image.bodyLoaded_ = true;
    if (image.HasTrailer()) std::copy(image.bytes_.end() - 3, image.bytes_.end(), image.trailer_.begin());
    return image;
}

std::optional<link::ImageRefusal> FirmwareImage::Refusal(std::uint8_t identityLowByte) const {
    using link::LoadReason;
    if (HasTrailer() && trailer_[0] != identityLowByte)
        return link::ImageRefusal{LoadReason::TypeMismatch, texts::TypeMismatch};
    if (HasTrailer() && trailer_[1] != TrailerMarker)
        return link::ImageRefusal{LoadReason::VersionMismatch, texts::VersionMismatch};
    if (size_ > MaxSize) return link::ImageRefusal{LoadReason::TooLong, texts::TooLong};
    return std::nullopt;
}

void FirmwareImage::OverwriteHead(const std::array<std::uint8_t, 6>& head) {
    // An image whose body was never read is always refused before anything is sent.
    if (!bodyLoaded_) throw link::RangeError();
    if (bytes_.size() < head.size()) bytes_.resize(head.size());
    std::copy(head.begin(), head.end(), bytes_.begin());
}

std::span<const std::uint8_t> FirmwareImage::Page(std::size_t p) const {
    if (!bodyLoaded_ || p < 1 || p > PagesToSend()) throw link::RangeError();
    return std::span<const std::uint8_t>(bytes_).subspan((p - 1) * PageSize, PageSize);
}

}  // namespace kx::app
