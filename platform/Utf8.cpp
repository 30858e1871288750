#include "platform/Utf8.h"

namespace kx::platform {

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::uint32_t NextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    std::size_t extra = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    if (lead >= 0xC2 && lead < 0xE0) extra = 1;
    else if (lead >= 0xE0 && lead < 0xF0) extra = 2;
    else if (lead >= 0xF0 && lead < 0xF5) extra = 3;
    std::uint32_t c = lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra && extra > 0; ++k) {
        if (i + k >= s.size() || (byte(i + k) & 0xC0) != 0x80) {
            extra = 0;
            break;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond Unicode are malformed too.
    const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (extra > 0 && (c < least[extra] || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)) extra = 0;
    if (extra == 0) {
        ++i;
        return ReplacementCharacter;
    }
    i += extra + 1;
    return c;
}

std::string WellFormedUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) AppendUtf8(out, NextCodePoint(bytes, i));
    return out;
}

}  // namespace kx::platform
