#include <windows.h>

#include "platform/NamedLock.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

// Owns the mutex handle; the mutex ceases to exist when its last handle is closed.
class Win32NamedLock final : public NamedLock {
public:
    explicit Win32NamedLock(HANDLE handle) : handle_(handle) {}
    ~Win32NamedLock() override { CloseHandle(handle_); }
    Win32NamedLock(const Win32NamedLock&) = delete;
    Win32NamedLock& operator=(const Win32NamedLock&) = delete;

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<NamedLock> TryAcquireNamedLock(const std::string& name) {
    // The name as the ANSI functions see it: the system's code page, as the file
    // name itself is reported by the ANSI API.
    const std::string ansiName = win32::Utf8ToCodePage(name, CP_ACP);
    HANDLE handle = CreateMutexA(nullptr, FALSE, ansiName.c_str());
    if (handle == nullptr) return nullptr;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another holder made it. Keeping this handle would keep the mutex alive after
        // that holder ends, so a later copy would still see it.
        CloseHandle(handle);
        return nullptr;
    }
    return std::make_unique<Win32NamedLock>(handle);
}

}  // namespace kx::platform
