#include "app/KXIniFile.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <system_error>

#include "app/IniDocument.h"
#include "platform/Process.h"

namespace kx::app {
namespace fs = std::filesystem;
namespace {

// The file's text in the program's encoding; nullopt when it is missing or unreadable.
std::optional<std::string> LoadText(const std::string& path) {
    const fs::path file = platform::PathFromUtf8(path);
    std::error_code ec;
    if (fs::is_directory(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return platform::FromFileText(text);
}

bool WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// The file a write replaces: a link's target rather than the link itself.
fs::path WriteTarget(const std::string& path) {
    const fs::path file = platform::PathFromUtf8(path);
    std::error_code ec;
    if (fs::is_symlink(file, ec)) {
        const fs::path target = fs::canonical(file, ec);
        if (!ec) return target;
    }
    return file;
}

// Writes a temporary file beside the target and renames it over the target, so that the
// settings file is always either the old or the new text, never a truncated one.
bool ReplaceFile(const std::string& path, const std::string& text) {
    const fs::path target = WriteTarget(path);
    fs::path temp = target;
    temp += ".~" + std::to_string(std::random_device{}());
    std::error_code ec;
    const bool written = WriteFile(temp, platform::ToFileText(text));
    if (written) {
        const auto status = fs::status(target, ec);
        if (!ec && fs::exists(status)) fs::permissions(temp, status.permissions(), ec);
        fs::rename(temp, target, ec);
    }
    if (!written || ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
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

// Whether a new file can be created (and so the settings file replaced) in `folder`.
bool FolderWritable(const fs::path& folder) {
    fs::path probe = folder / (".kxboot-probe-" + std::to_string(std::random_device{}()));
    std::error_code ec;
    const bool created = WriteFile(probe, "");
    fs::remove(probe, ec);
    return created;
}

fs::path UserConfigFolder() {
    if (const std::string xdg = EnvValue("XDG_CONFIG_HOME"); !xdg.empty())
        return platform::PathFromUtf8(xdg) / "kxboot";
    if (const std::string appData = EnvValue("APPDATA"); !appData.empty())
        return platform::PathFromUtf8(appData) / "kxboot";
    return platform::PathFromUtf8(EnvValue("HOME")) / ".config" / "kxboot";
}

}  // namespace

TKXIniFile::TKXIniFile() : TKXIniFile(DefaultPath()) {}

TKXIniFile::TKXIniFile(std::string path) : path_(std::move(path)) {
    const fs::path file = platform::PathFromUtf8(path_);
    std::error_code ec;
    if (fs::exists(file, ec)) return;
    if (!WriteFile(file, " \r\n")) {
        throw std::system_error(std::make_error_code(std::errc::io_error), "Cannot create " + path_);
    }
}

std::string TKXIniFile::DefaultPath() {
    if (const std::string chosen = EnvValue("KXBOOT_SETTINGS"); !chosen.empty()) return chosen;
    return DefaultPathFor(platform::ExecutablePath());
}

std::string TKXIniFile::DefaultPathFor(const std::string& executablePath) {
    fs::path beside = platform::PathFromUtf8(executablePath);
    beside.replace_extension(".ini");
    if (FolderWritable(beside.parent_path())) return platform::PathToUtf8(beside);

    const fs::path folder = UserConfigFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    return platform::PathToUtf8(folder / beside.filename());
}

std::string TKXIniFile::ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
    const auto text = LoadText(path_);
    std::optional<std::string> value;
    if (text) value = IniDocument(*text).Value(section, key);
    return CutValue(value.value_or(defaultValue));
}

void TKXIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const std::string error = "Unable to write to " + path_;
    // A line break would end the line early and smuggle the rest in as lines of its own.
    if (value.find_first_of("\r\n") != std::string::npos) throw std::runtime_error(error);
    std::error_code ec;
    const bool exists = fs::exists(platform::PathFromUtf8(path_), ec);
    const auto text = LoadText(path_);
    // An existing file that cannot be read must not be replaced by this one key.
    if (exists && !text) throw std::runtime_error(error);
    IniDocument document(text.value_or(""));
    document.SetValue(section, key, value);
    if (!ReplaceFile(path_, document.Text())) throw std::runtime_error(error);
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
