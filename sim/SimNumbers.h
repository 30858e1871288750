#pragma once
// Number and text helpers of the simulator's command line.
#include <string>
#include <vector>

namespace kx::sim {

// Decimal or 0x-prefixed hexadecimal, within [low, high]; throws std::invalid_argument.
long ParseNumber(const std::string& text, long low, long high);
// Hex digits, optionally separated by spaces, commas or colons; throws std::invalid_argument.
std::vector<unsigned char> ParseHexBytes(const std::string& text);
std::vector<std::string> SplitText(const std::string& text, char separator);
std::string HexText(const unsigned char* data, std::size_t count);

}  // namespace kx::sim
