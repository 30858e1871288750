#include <unistd.h>

#include <cstdlib>

#include <string>

#include "platform/Process.h"

namespace kx::platform {

std::string ExecutablePath() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string ExecutableFileName() {
    const std::string path = ExecutablePath();
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Settings files are UTF-8 on POSIX systems.
std::string ToFileText(const std::string& utf8) { return utf8; }
std::string FromFileText(const std::string& fileText) { return fileText; }

std::string EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::string(value) : std::string();
}

std::string UserConfigDir() {
    // A relative $XDG_CONFIG_HOME is invalid and to be ignored.
    if (const std::string xdg = EnvironmentValue("XDG_CONFIG_HOME"); xdg.starts_with('/')) return xdg;
    const std::string home = EnvironmentValue("HOME");
    return home.empty() ? std::string() : home + "/.config";
}

}  // namespace kx::platform
