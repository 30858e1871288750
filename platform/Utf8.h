#pragma once
// UTF-8 decoded and encoded one code point at a time, strictly: overlong forms, surrogates,
// code points beyond U+10FFFF and cut-short sequences are malformed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx::platform {

inline constexpr std::uint32_t ReplacementCharacter = 0xFFFD;

// The code point at `i`, moving `i` past it; a malformed sequence yields U+FFFD for its
// first byte alone.
std::uint32_t NextCodePoint(std::string_view s, std::size_t& i);
void AppendUtf8(std::string& out, std::uint32_t c);
// `bytes` with every byte that is not part of well-formed UTF-8 replaced by U+FFFD.
std::string WellFormedUtf8(std::string_view bytes);

}  // namespace kx::platform
