#include <windows.h>

#include "platform/AppendFile.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

std::error_code LastError() {
    const DWORD code = GetLastError();
    return std::error_code(static_cast<int>(code != 0 ? code : ERROR_WRITE_FAULT), std::system_category());
}

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

AppendFile AppendFile::Open(const std::string& utf8Path, std::error_code& error) {
    error.clear();
    AppendFile file;
    // FILE_APPEND_DATA alone: every write goes to the end, whoever else appends.
    HANDLE handle = CreateFileW(win32::Utf8ToWide(utf8Path).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return file;
    }
    file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    // A pipe or a device (COM1, NUL) is no report.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        error = std::make_error_code(std::errc::invalid_argument);
        file.Close();
    }
    return file;
}

bool AppendFile::Append(std::string_view bytes, std::error_code& error) {
    error.clear();
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), bytes.data(), chunk, &written, nullptr) || written == 0) {
            error = LastError();
            return false;
        }
        bytes.remove_prefix(written);
    }
    if (!FlushFileBuffers(AsHandle(handle_))) {
        error = LastError();
        return false;
    }
    return true;
}

void AppendFile::Close() {
    if (handle_ != Closed) CloseHandle(AsHandle(handle_));
    handle_ = Closed;
}

}  // namespace kx::platform
