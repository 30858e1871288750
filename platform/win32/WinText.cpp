#include "platform/win32/WinText.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace kx::platform::win32 {
namespace {

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long to convert");
    return static_cast<int>(size);
}

std::wstring ToWide(const std::string& text, unsigned codePage) {
    if (text.empty()) return {};
    const int inLength = CheckedLength(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), inLength, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), inLength, wide.data(), length);
    return wide;
}

std::string FromWide(const std::wstring& wide, unsigned codePage) {
    if (wide.empty()) return {};
    const int inLength = CheckedLength(wide.size());
    // UTF-8 takes no default character; the code pages replace what they lack with '?'.
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), inLength, nullptr, 0, fallback, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), inLength, text.data(), length, fallback, nullptr);
    return text;
}

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) { return ToWide(utf8, CP_UTF8); }
std::string WideToUtf8(const std::wstring& wide) { return FromWide(wide, CP_UTF8); }

std::string Utf8ToCodePage(const std::string& utf8, unsigned codePage) {
    return FromWide(Utf8ToWide(utf8), codePage);
}

std::string CodePageToUtf8(const std::string& text, unsigned codePage) {
    return WideToUtf8(ToWide(text, codePage));
}

std::string FolderOfPath(const std::string& path) {
    const auto separator = LastSeparator(path);
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

std::string FileNameOfPath(const std::string& path) {
    const auto separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace kx::platform::win32
