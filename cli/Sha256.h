#pragma once
// SHA-256 of a byte string, for the load report: which image went into a board is
// recorded by its content, not only by its path.
#include <cstdint>
#include <span>
#include <string>

namespace kx::cli {

// The digest as 64 lower-case hex digits.
std::string Sha256Hex(std::span<const std::uint8_t> data);

}  // namespace kx::cli
