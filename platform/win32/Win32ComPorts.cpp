#include "platform/win32/Win32ComPorts.h"

#include <windows.h>

#include <cctype>
#include <vector>

#include "platform/win32/RegistryKey.h"
#include "platform/win32/WinText.h"

namespace kx::platform::win32 {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string ComName(const std::string& name) {
    std::string bare = name;
    for (const char* prefix : {"\\\\.\\", "\\\\?\\"})
        if (bare.rfind(prefix, 0) == 0) bare.erase(0, 4);
    return Upper(bare);
}

bool SystemListsPort(const std::string& name) {
    const RegistryKey key(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM");
    if (key.Get() == nullptr) return false;
    const std::string wanted = ComName(name);
    // Each value is one port: the driver's device name, the COM name as its data.
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD nameLength = 256;
        std::vector<wchar_t> data(256, L'\0');
        DWORD dataBytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        const LONG result = RegEnumValueW(key.Get(), index, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) return false;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        if (ComName(WideToUtf8(data.data())) == wanted) return true;
    }
}

bool NoSuchPortError(unsigned long error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

PortState StateAfterOpenError(unsigned long error, bool listed) {
    if (NoSuchPortError(error)) return PortState::Missing;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) return PortState::Busy;
    return listed ? PortState::Busy : PortState::Missing;
}

}  // namespace kx::platform::win32
