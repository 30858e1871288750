#include <windows.h>

#include <algorithm>

#include "platform/RegularFile.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

std::error_code LastError() {
    const DWORD code = GetLastError();
    return std::error_code(static_cast<int>(code != 0 ? code : ERROR_READ_FAULT), std::system_category());
}

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

RegularFile RegularFile::Open(const std::string& utf8Path, std::error_code& error) {
    error.clear();
    RegularFile file;
    const std::wstring path = win32::Utf8ToWide(utf8Path);
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open: access is denied.
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            error = std::make_error_code(std::errc::no_such_file_or_directory);
        return file;
    }
    file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    LARGE_INTEGER size{};
    // A pipe or a device (COM1, NUL) is no image.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        file.Close();
    } else if (!GetFileSizeEx(handle, &size)) {
        error = LastError();
        file.Close();
    } else {
        file.size_ = static_cast<std::uint64_t>(size.QuadPart);
    }
    return file;
}

void RegularFile::Close() {
    if (handle_ != Closed) CloseHandle(AsHandle(handle_));
    handle_ = Closed;
}

bool RegularFile::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count, std::error_code& error) const {
    error.clear();
    std::size_t done = 0;
    while (done < count) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), out + done, chunk, &got, &at)) {
            error = LastError();
            return false;
        }
        if (got == 0) {   // the file shrank after it was opened
            error = std::make_error_code(std::errc::io_error);
            return false;
        }
        done += got;
    }
    return true;
}

}  // namespace kx::platform
