#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RegularFile.h"

namespace kx::platform {
namespace {

std::error_code Errno() { return std::error_code(errno != 0 ? errno : EIO, std::generic_category()); }

}  // namespace

RegularFile RegularFile::Open(const std::string& utf8Path, std::error_code& error) {
    error.clear();
    RegularFile file;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer. It does
    // nothing to reads from a regular file.
    const int fd = ::open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = Errno();
        return file;
    }
    file.handle_ = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = Errno();
        file.Close();
    } else if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        file.Close();
    } else {
        file.size_ = static_cast<std::uint64_t>(info.st_size);
    }
    return file;
}

void RegularFile::Close() {
    if (handle_ != Closed) ::close(static_cast<int>(handle_));
    handle_ = Closed;
}

bool RegularFile::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count, std::error_code& error) const {
    error.clear();
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(static_cast<int>(handle_), out + done, count - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A file that shrank after it was opened ends early: a read failure all the same.
            error = n < 0 ? Errno() : std::make_error_code(std::errc::io_error);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace kx::platform
