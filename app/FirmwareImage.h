#pragma once
// A firmware image (.rom): a body of 3072-byte pages, optionally a 3-byte trailer.
// Read whole into memory, but only when its size can be accepted at all.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/LoadOutcome.h"

namespace kx::app {

class FirmwareImage {
public:
    static constexpr std::size_t PageSize = 3072;
    static constexpr std::uint64_t MaxSize = 67587;   // 22 pages and a trailer
    static constexpr std::uint8_t TrailerMarker = 0x70;

    // Reads the named file. Throws std::system_error when it cannot be read.
    static FirmwareImage Load(const std::string& path);
    static FirmwareImage FromBytes(std::vector<std::uint8_t> bytes);

    std::uint64_t Size() const { return size_; }
    bool HasTrailer() const { return size_ % PageSize == 3; }
    // T0, T1, T2; only meaningful when HasTrailer().
    std::array<std::uint8_t, 3> Trailer() const { return trailer_; }

    // Why the image refuses a device whose identity word has this low byte, with the text
    // to show, tested in order (type, version, size); nullopt when the image is accepted.
    std::optional<link::ImageRefusal> Refusal(std::uint8_t identityLowByte) const;

    // Overwrites bytes 0..5 of the in-memory copy (a shorter image grows to six bytes).
    void OverwriteHead(const std::array<std::uint8_t, 6>& head);

    // N: whole pages in the file; pages 1..N-1 are the ones sent.
    std::size_t PageCount() const { return static_cast<std::size_t>(size_ / PageSize); }
    std::size_t PagesToSend() const { return PageCount() > 1 ? PageCount() - 1 : 0; }
    // Page p (1-based) as 3072 bytes; throws the range error outside 1..N-1 or when the
    // body was not read (an image too long to accept).
    std::span<const std::uint8_t> Page(std::size_t p) const;

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    bool BodyLoaded() const { return bodyLoaded_; }

private:
    std::uint64_t size_ = 0;
    std::array<std::uint8_t, 3> trailer_{};
    std::vector<std::uint8_t> bytes_;
    bool bodyLoaded_ = false;
};


}  // namespace kx::app
