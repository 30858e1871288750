#include <windows.h>

#include "platform/InputFile.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

InputFile::InputFile(const std::string& path) {
    const HANDLE file = CreateFileW(win32::Utf8ToWide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    // A device name (NUL, CON, COM1) opens too, but is no settings file.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
}

InputFile::~InputFile() {
    if (IsOpen()) CloseHandle(Native(handle_));
}

std::size_t InputFile::Read(char* data, std::size_t size) {
    if (!IsOpen() || failed_) return 0;
    DWORD got = 0;
    const DWORD want = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    if (!ReadFile(Native(handle_), data, want, &got, nullptr)) {
        failed_ = true;
        return 0;
    }
    return got;
}

bool InputFile::Rewind() {
    if (!IsOpen() || failed_) return false;
    LARGE_INTEGER start{};
    failed_ = !SetFilePointerEx(Native(handle_), start, nullptr, FILE_BEGIN);
    return !failed_;
}

}  // namespace kx::platform
