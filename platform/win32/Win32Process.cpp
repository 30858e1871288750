#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/Process.h"
#include "platform/win32/WinText.h"

namespace kx::platform {

std::string ExecutablePath() {
    // Long paths (\\?\ prefixed, up to 32767 characters) need a bigger buffer than MAX_PATH.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0) return {};
        if (length < size) {
            path.resize(length);
            return win32::WideToUtf8(path);
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::string ExecutableDir() { return win32::FolderOfPath(ExecutablePath()); }

std::string ExecutableFileName() { return win32::FileNameOfPath(ExecutablePath()); }

// Settings files stay in the Cyrillic ANSI code page, whatever code page this machine
// runs with, so that the files technicians already have keep their meaning.
std::string ToFileText(const std::string& utf8) {
    return win32::Utf8ToCodePage(utf8, win32::SettingsCodePage);
}

std::string FromFileText(const std::string& fileText) {
    return win32::CodePageToUtf8(fileText, win32::SettingsCodePage);
}

std::string EnvironmentValue(const std::string& name) {
    // The runtime's wide copy of the environment: a folder such as APPDATA holds the
    // user's name, which the ANSI code page may not be able to spell.
    const wchar_t* value = _wgetenv(win32::Utf8ToWide(name).c_str());
    return value != nullptr ? win32::WideToUtf8(value) : std::string();
}

std::string UserConfigDir() { return EnvironmentValue("APPDATA"); }

}  // namespace kx::platform
