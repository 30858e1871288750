#pragma once
// A file that records are appended to, each one whole and on its way to the disk before
// Append returns. Opened as the settings file is replaced: a regular file, or none (then
// made); never a FIFO or a device (the open never waits for a reader), and a symbolic
// link only where the kernel's protected-symlink rule would follow it (in a shared
// sticky folder, one planted by another user is refused). One backend per OS.
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace kx::platform {

class AppendFile {
public:
    // Opens the file named in UTF-8; on failure the result is closed and `error` says why
    // (anything but a regular file: std::errc::invalid_argument; a link that must not be
    // followed: std::errc::permission_denied).
    static AppendFile Open(const std::string& utf8Path, std::error_code& error);

    AppendFile() = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    bool IsOpen() const { return handle_ != Closed; }
    // Writes all of `bytes` at the end of the file; false with `error` set when it could not.
    bool Append(std::string_view bytes, std::error_code& error);

private:
    static constexpr std::intptr_t Closed = -1;
    void Close();

    std::intptr_t handle_ = Closed;   // a descriptor, or a Windows HANDLE
};

}  // namespace kx::platform
