#pragma once
// The simulator's own framing (length byte, address, header word, function code, data,
// check byte). Written independently of the link classes on purpose: a framing mistake
// shared by both ends of every end-to-end test would go unnoticed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kx::sim {

using Bytes = std::vector<std::uint8_t>;

// The byte that makes the sum of `count` bytes plus itself 0 modulo 256.
std::uint8_t CheckByteFor(const std::uint8_t* data, std::size_t count);
bool SumsToZero(const Bytes& frame);

// A frame of the layout above; `header` empty for the short layout without header word.
Bytes BuildFrame(std::uint8_t address, std::optional<std::uint16_t> header, std::uint8_t function,
                 const Bytes& data);

struct Request {
    Bytes raw;
    std::uint8_t address = 0;
    std::optional<std::uint16_t> header;
    std::uint8_t function = 0;
    Bytes data;        // between the function code and the check byte
    bool checkOk = false;
};

// Splits a complete frame (raw.size() == raw[0], at least the minimum length).
Request ParseRequest(const Bytes& raw, bool shortHeader);

// Smallest legal length byte: 6 with the header word, 4 without.
inline std::size_t MinFrameLength(bool shortHeader) { return shortHeader ? 4 : 6; }

}  // namespace kx::sim
