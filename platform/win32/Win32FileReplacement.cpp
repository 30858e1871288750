#include <windows.h>

#include <random>
#include <utility>

#include "platform/FileReplacement.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// An existing file that may be replaced: a file on a disk, not read-only, that this
// process may write (the profile functions refuse the same ones).
bool Replaceable(const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
    const HANDLE probe = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    const bool disk = GetFileType(probe) == FILE_TYPE_DISK;
    CloseHandle(probe);
    return disk;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& path) {
    if (!Replaceable(win32::Utf8ToWide(path))) return;
    target_ = path;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !Ok(); ++attempt) {
        temp_ = target_ + ".~" + std::to_string(random());
        const HANDLE file = CreateFileW(win32::Utf8ToWide(temp_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(file);
        else if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
}

FileReplacement::~FileReplacement() { Discard(); }

void FileReplacement::Discard() {
    if (!Ok()) return;
    CloseHandle(Native(std::exchange(handle_, Closed)));
    DeleteFileW(win32::Utf8ToWide(temp_).c_str());
}

bool FileReplacement::Write(std::string_view bytes) {
    while (Ok() && !bytes.empty()) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(Native(handle_), bytes.data(), chunk, &written, nullptr) || written == 0) Discard();
        else bytes.remove_prefix(written);
    }
    return Ok();
}

bool FileReplacement::Commit() {
    if (!Ok()) return false;
    const HANDLE file = Native(std::exchange(handle_, Closed));
    const bool flushed = FlushFileBuffers(file) != 0;
    const std::wstring temp = win32::Utf8ToWide(temp_);
    // MOVEFILE_WRITE_THROUGH: the rename is on the disk when the call returns.
    if (!CloseHandle(file) || !flushed ||
        !MoveFileExW(temp.c_str(), win32::Utf8ToWide(target_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace kx::platform
