#include "app/FirmwareImage.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/RangeError.h"
#include "platform/Process.h"

namespace kx::app {
namespace {

[[noreturn]] void ThrowReadError(std::error_code ec, const std::string& path) {
    if (!ec) ec = std::make_error_code(std::errc::io_error);
    throw std::system_error(ec, "Cannot read " + path);
}

std::error_code LastError() {
    return errno != 0 ? std::error_code(errno, std::generic_category())
                      : std::make_error_code(std::errc::io_error);
}

// Reads `count` bytes at `offset`; anything short of that is a read failure.
void ReadAt(std::ifstream& in, const std::string& path, std::uint64_t offset, std::uint8_t* out,
            std::size_t count) {
    errno = 0;
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    if (!in || static_cast<std::size_t>(in.gcount()) != count) ThrowReadError(LastError(), path);
}

}  // namespace

FirmwareImage FirmwareImage::Load(const std::string& path) {
    const std::filesystem::path file = platform::PathFromUtf8(path);
    std::error_code ec;
    // The size decides what is read at all: a file too long to accept costs no memory.
    const std::uint64_t size = std::filesystem::file_size(file, ec);
    if (ec) ThrowReadError(ec, path);

    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) ThrowReadError(LastError(), path);

    FirmwareImage image;
    image.size_ = size;
    if (image.HasTrailer()) ReadAt(in, path, size - 3, image.trailer_.data(), 3);
    if (size <= MaxSize) {
        image.bytes_.resize(static_cast<std::size_t>(size));
        if (size > 0) ReadAt(in, path, 0, image.bytes_.data(), image.bytes_.size());
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

std::optional<std::string> FirmwareImage::Refusal(std::uint8_t identityLowByte) const {
    if (HasTrailer() && trailer_[0] != identityLowByte) return texts::TypeMismatch;
    if (HasTrailer() && trailer_[1] != TrailerMarker) return texts::VersionMismatch;
    if (size_ > MaxSize) return texts::TooLong;
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
