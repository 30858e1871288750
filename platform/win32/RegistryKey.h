#pragma once
// An open registry key, closed on every way out, with the two kinds of value the port
// backends read.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/WinText.h"

namespace kx::platform::win32 {

class RegistryKey {
public:
    // Takes over a key opened elsewhere (the device-setup API's); an invalid one reads
    // as empty.
    explicit RegistryKey(HKEY key) : key_(key == INVALID_HANDLE_VALUE ? nullptr : key) {}
    RegistryKey(HKEY parent, const wchar_t* path) {
        if (RegOpenKeyExW(parent, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY Get() const { return key_; }

    // A text value; "" when it is missing or no text.
    std::string Text(const wchar_t* value) const {
        std::vector<wchar_t> data(256, L'\0');
        DWORD bytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        if (key_ == nullptr ||
            RegQueryValueExW(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return {};
        return WideToUtf8(data.data());
    }

    // A number value; nullopt when it is missing or no number.
    std::optional<DWORD> Number(const wchar_t* value) const {
        DWORD number = 0, bytes = sizeof number, type = 0;
        if (key_ == nullptr ||
            RegQueryValueExW(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes) !=
                ERROR_SUCCESS ||
            type != REG_DWORD)
            return std::nullopt;
        return number;
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace kx::platform::win32
