#pragma once
// The characters the password field takes: Latin letters and digits.
#include <string>

namespace kx::wgui {

constexpr bool IsMaskChar(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
}

// Backspace, Ctrl+C and the like: editing keys, not text.
constexpr bool IsControlChar(wchar_t c) { return c < 0x20 || c == 0x7F; }

inline std::wstring KeepMaskChars(const std::wstring& text) {
    std::wstring kept;
    for (wchar_t c : text)
        if (IsMaskChar(c)) kept += c;
    return kept;
}

}  // namespace kx::wgui
