#include "app/IniScanner.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "platform/RegularFile.h"
#include "platform/Utf8.h"
#include "platform/Process.h"

namespace kx::app {
namespace {

using platform::AppendUtf8;
using platform::NextCodePoint;
constexpr std::uint32_t Replacement = platform::ReplacementCharacter;

void AppendUnit(std::string& out, std::uint32_t unit, bool bigEndian) {
    const char lo = static_cast<char>(unit & 0xFF), hi = static_cast<char>(unit >> 8);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
}

std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::uint32_t c = NextCodePoint(utf8, i);
        if (c >= 0x10000) {
            AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10), bigEndian);
            AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian);
        } else {
            AppendUnit(out, c, bigEndian);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? std::uint32_t(a) << 8 | b : std::uint32_t(b) << 8 | a;
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = Replacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace

std::string EncodeIniText(IniEncoding encoding, std::string_view utf8) {
    switch (encoding) {
        case IniEncoding::Utf8: return std::string(utf8);
        case IniEncoding::Utf16Le: return Utf8ToUtf16(utf8, false);
        case IniEncoding::Utf16Be: return Utf8ToUtf16(utf8, true);
        case IniEncoding::Ansi: break;
    }
    return platform::ToFileText(std::string(utf8));
}

std::string DecodeIniText(IniEncoding encoding, std::string_view bytes) {
    switch (encoding) {
        case IniEncoding::Utf8: return std::string(bytes);
        case IniEncoding::Utf16Le: return Utf16ToUtf8(bytes, false);
        case IniEncoding::Utf16Be: return Utf16ToUtf8(bytes, true);
        case IniEncoding::Ansi: break;
    }
    return platform::FromFileText(std::string(bytes));
}

IniScanner::IniScanner(const platform::RegularFile& file) : file_(file), buffer_(ChunkSize) {
    Fill();
    const std::string_view head(buffer_.data(), size_);
    if (head.starts_with("\xEF\xBB\xBF")) {
        encoding_ = IniEncoding::Utf8;
        bodyStart_ = 3;
    } else if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
        encoding_ = head[0] == '\xFF' ? IniEncoding::Utf16Le : IniEncoding::Utf16Be;
        bodyStart_ = 2;
        unitSize_ = 2;
    }
    pos_ = static_cast<std::size_t>(bodyStart_);
}

// Moves what is left to the front of the buffer and reads more after it; false when
// nothing more came.
bool IniScanner::Fill() {
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, size_ - pos_);
        base_ += pos_;
        size_ -= pos_;
        pos_ = 0;
    }
    const std::uint64_t at = base_ + size_;
    if (failed_ || !file_.IsOpen() || at >= file_.Size() || size_ == buffer_.size()) return false;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size() - size_, file_.Size() - at));
    std::error_code error;
    if (!file_.ReadAt(at, reinterpret_cast<std::uint8_t*>(buffer_.data() + size_), count, error)) {
        failed_ = true;
        return false;
    }
    size_ += count;
    return true;
}

// The next code unit (a byte, or a UTF-16 unit); false at the end.
bool IniScanner::Peek(std::uint32_t& unit) {
    while (size_ - pos_ < unitSize_)
        if (!Fill()) return false;
    const auto a = static_cast<unsigned char>(buffer_[pos_]);
    if (unitSize_ == 1) {
        unit = a;
    } else {
        const auto b = static_cast<unsigned char>(buffer_[pos_ + 1]);
        unit = encoding_ == IniEncoding::Utf16Be ? std::uint32_t(a) << 8 | b : std::uint32_t(b) << 8 | a;
    }
    return true;
}

void IniScanner::Keep(const char* data, std::size_t size) {
    kept_.append(data, std::min(size, MaxKept - kept_.size()));
}

void IniScanner::KeepUntilLineEnd() {
    std::uint32_t unit = 0;
    if (unitSize_ == 1) {
        // Byte text: whole runs at a time, the common case and the one that must be quick.
        for (;;) {
            if (pos_ == size_ && !Fill()) return;
            const char* from = buffer_.data() + pos_;
            const char* to = std::find_if(from, static_cast<const char*>(buffer_.data() + size_), [](char c) { return c == '\r' || c == '\n'; });
            Keep(from, static_cast<std::size_t>(to - from));
            pos_ += static_cast<std::size_t>(to - from);
            if (pos_ < size_) return;
        }
    }
    while (Peek(unit) && unit != '\r' && unit != '\n') {
        Keep(buffer_.data() + pos_, unitSize_);
        Advance();
    }
}

void IniScanner::SkipLineEnds() {
    const auto lineEnd = [](char c) { return c == '\r' || c == '\n'; };
    std::uint32_t unit = 0;
    if (unitSize_ == 1) {
        for (;;) {
            if (pos_ == size_ && !Fill()) return;
            const char* from = buffer_.data() + pos_;
            pos_ += static_cast<std::size_t>(std::find_if_not(from, static_cast<const char*>(buffer_.data() + size_), lineEnd) - from);
            if (pos_ < size_) return;
        }
    }
    while (Peek(unit) && (unit == '\r' || unit == '\n')) Advance();
}

bool IniScanner::Next(IniLine& line) {
    std::uint32_t unit = 0;
    if (!Peek(unit)) return false;
    line.begin = Offset();
    kept_.clear();
    KeepUntilLineEnd();
    line.end = Offset();
    if (Peek(unit)) {
        Advance();
        if (unit == '\r' && Peek(unit) && unit == '\n') Advance();
    }
    line.eolEnd = Offset();
    SkipLineEnds();
    line.next = Offset();
    line.text = DecodeIniText(encoding_, kept_);
    return true;
}

}  // namespace kx::app
