#include "app/KXIniFile.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/IniDocument.h"
#include "platform/FileReplacement.h"
#include "platform/Process.h"
#include "platform/RegularFile.h"

namespace kx::app {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t CopyChunk = 64 * 1024;

// Copies the bytes [from, to) of `in` to `out`, a piece at a time.
bool CopyRange(const platform::RegularFile& in, platform::FileReplacement& out, std::uint64_t from, std::uint64_t to) {
    std::vector<std::uint8_t> buffer(CopyChunk);
    std::error_code error;
    for (std::uint64_t at = from; at < to;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(CopyChunk, to - at));
        if (!in.ReadAt(at, buffer.data(), count, error) ||
            !out.Write(std::string_view(reinterpret_cast<const char*>(buffer.data()), count)))
            return false;
        at += count;
    }
    return true;
}

// Whether anything at all (a dangling link too) is at the path.
bool Occupied(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(platform::PathFromUtf8(path), ec).type() != fs::file_type::not_found;
}

// The new version: the old file with one splice, streamed through in fixed memory.
bool WriteEdited(platform::FileReplacement& out, std::string_view section, std::string_view key,
                 std::string_view value) {
    std::error_code error;
    const platform::RegularFile in = platform::RegularFile::Open(out.Target(), error);
    // An existing file that cannot be read must not be replaced by this one key; a file
    // that is gone reads as an empty one.
    if (!in.IsOpen() && Occupied(out.Target())) return false;
    const std::optional<IniEdit> edit = IniDocument(in).Edit(section, key, value);
    return edit && CopyRange(in, out, 0, edit->from) && out.Write(EncodeIniText(edit->encoding, edit->text)) &&
           CopyRange(in, out, edit->to, in.Size());
}

// The old file is closed before the new one takes its place: Windows would not replace
// a file that is open.
bool ReplaceWithEdit(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
    platform::FileReplacement out(path);
    return out.Ok() && WriteEdited(out, section, key, value) && out.Commit();
}

// The digits of an integer value: decimal, or hexadecimal after "0x", "0X" or "$"; the
// whole text must be used, and the value must fit 32 signed bits.
std::optional<std::int32_t> ParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
    std::int64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// At most MaxValueLength characters (not bytes: a character may take several in UTF-8).
std::string CutValue(std::string value) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(value[i]) & 0xC0) == 0x80;
        if (!continuation && characters++ == TKXIniFile::MaxValueLength) {
            value.resize(i);
            break;
        }
    }
    return value;
}

std::string EnvValue(const char* name) { return platform::EnvironmentValue(name); }

// A fresh copy of `from` at `to` (nothing when `from` cannot be read).
bool Seed(const std::string& from, const std::string& to) {
    platform::FileReplacement out(to);
    {
        std::error_code error;
        const platform::RegularFile in = platform::RegularFile::Open(from, error);
        if (!in.IsOpen() || !out.Ok() || !CopyRange(in, out, 0, in.Size())) return false;
    }
    return out.Commit();
}

}  // namespace

TKXIniFile::TKXIniFile() : TKXIniFile(DefaultPath()) {}

TKXIniFile::TKXIniFile(std::string path) : path_(std::move(path)) {
    // Whatever is at the path already, a FIFO or a device too, is left as it is.
    if (Occupied(path_)) return;
    platform::FileReplacement file(path_);
    if (!file.Ok() || !file.Write(" \r\n") || !file.Commit())
        throw std::system_error(std::make_error_code(std::errc::io_error), "Cannot create " + path_);
}

std::string TKXIniFile::DefaultPath() {
    if (const std::string chosen = EnvValue("KXBOOT_SETTINGS"); !chosen.empty()) return chosen;
    return DefaultPathFor(platform::ExecutablePath());
}

std::string TKXIniFile::DefaultPathFor(const std::string& executablePath) {
    fs::path besidePath = platform::PathFromUtf8(executablePath);
    besidePath.replace_extension(".ini");
    const std::string beside = platform::PathToUtf8(besidePath);
    // The probe's new version is thrown away unused: it only tells whether a write would work.
    if (platform::FileReplacement(beside).Ok()) return beside;

    const std::string configDir = platform::UserConfigDir();
    if (configDir.empty()) return beside;
    const fs::path folder = platform::PathFromUtf8(configDir) / "kxboot";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return beside;
    const std::string own = platform::PathToUtf8(folder / besidePath.filename());
    // The first time: the prepared file beside the program (port, image) carries over.
    if (!Occupied(own)) Seed(beside, own);
    return own;
}

std::string TKXIniFile::ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
    std::error_code error;
    const platform::RegularFile in = platform::RegularFile::Open(path_, error);
    return CutValue(IniDocument(in).Value(section, key).value_or(defaultValue));
}

void TKXIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    // A line break would end the line early and smuggle the rest in as lines of its own.
    const auto breaks = [](const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; };
    if (breaks(section) || breaks(key) || breaks(value) || !ReplaceWithEdit(path_, section, key, value))
        throw std::runtime_error("Unable to write to " + path_);
}

std::int32_t TKXIniFile::ReadInteger(const std::string& section, const std::string& key,
                                     std::int32_t defaultValue) const {
    return ParseInteger(ReadString(section, key, "")).value_or(defaultValue);
}

void TKXIniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TKXIniFile::ReadPlacement(const std::string& section, WindowPlacement& placement) const {
    placement.State = ReadInteger(section, "State", placement.State);
    if (placement.State == WindowPlacement::Maximized) return;
    placement.Left = std::max(0, ReadInteger(section, "Left", placement.Left));
    placement.Top = std::max(0, ReadInteger(section, "Top", placement.Top));
    if (placement.BorderStyle != WindowPlacement::Border::Sizeable) return;
    const auto size = [&](const char* name, int current) {
        const int value = ReadInteger(section, name, current);
        return value < 0 ? 100 : value;
    };
    placement.Width = size("Width", placement.Width);
    placement.Height = size("Height", placement.Height);
}

void TKXIniFile::WritePlacement(const std::string& section, const WindowPlacement& placement) {
    WriteInteger(section, "State", placement.State);
    WriteInteger(section, "Left", placement.Left);
    WriteInteger(section, "Top", placement.Top);
    WriteInteger(section, "Width", placement.Width);
    WriteInteger(section, "Height", placement.Height);
}

}  // namespace kx::app
