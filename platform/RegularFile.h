#pragma once
// A file opened for reading only if it is a regular file. The open never waits: a FIFO
// or a device at the path (anyone may plant one in a shared folder) is refused instead
// of blocking the program until a writer comes. One backend per OS.
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace kx::platform {

class RegularFile {
public:
    // Opens the file named in UTF-8. On failure the result is closed and `error` says
    // why; anything but a regular file (a folder, a FIFO, a device) counts as missing:
    // std::errc::no_such_file_or_directory.
    static RegularFile Open(const std::string& utf8Path, std::error_code& error);

    RegularFile() = default;
    ~RegularFile();
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool IsOpen() const { return handle_ != Closed; }
    // The size when it was opened.
    std::uint64_t Size() const { return size_; }
    // Reads exactly `count` bytes at `offset`; false with `error` set when fewer came.
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count, std::error_code& error) const;

private:
    static constexpr std::intptr_t Closed = -1;
    void Close();

    std::intptr_t handle_ = Closed;   // a descriptor, or a Windows HANDLE
    std::uint64_t size_ = 0;
};

}  // namespace kx::platform
