#pragma once
// Facts about the running program file and the process's text conventions.
#include <filesystem>
#include <string>

namespace kx::platform {

// Full path of the program file.
std::string ExecutablePath();
// Its folder, without a trailing separator (a drive root stays "C:").
std::string ExecutableDir();
// The program file's name with its extension, without the folder.
std::string ExecutableFileName();

// Settings files are stored in the OS's traditional text encoding (the ANSI code page
// on Windows, UTF-8 elsewhere); the program works in UTF-8.
std::string ToFileText(const std::string& utf8);
std::string FromFileText(const std::string& fileText);

// The value of an environment variable as UTF-8 (Windows hands narrow values over in the
// ANSI code page); empty when it is not set.
std::string EnvironmentValue(const std::string& name);

// The user's own folder for programs' settings: %APPDATA% on Windows, $XDG_CONFIG_HOME
// (or ~/.config) elsewhere; empty when the environment names none.
std::string UserConfigDir();

// A filesystem path from UTF-8 text, whatever the OS's narrow encoding is.
inline std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
// UTF-8 text of a filesystem path.
inline std::string PathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace kx::platform
