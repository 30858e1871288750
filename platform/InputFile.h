#pragma once
// A regular file opened for reading. Opening never blocks and never takes anything but a
// regular file: a FIFO, a device or a socket planted where a file is expected counts as
// no file at all, so that it can neither hang the program nor feed it endless data.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kx::platform {

class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return handle_ != Closed; }
    // Up to `size` bytes; 0 at the end of the file or after a failure (see Failed).
    std::size_t Read(char* data, std::size_t size);
    // Back to the first byte, for a second pass.
    bool Rewind();
    bool Failed() const { return failed_; }

private:
    static constexpr std::intptr_t Closed = -1;
    std::intptr_t handle_ = Closed;  // a descriptor or a HANDLE, as the OS has it
    bool failed_ = false;
};

}  // namespace kx::platform
