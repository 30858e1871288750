#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/InputFile.h"

namespace kx::platform {

InputFile::InputFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    handle_ = fd;
}

InputFile::~InputFile() {
    if (IsOpen()) ::close(static_cast<int>(handle_));
}

std::size_t InputFile::Read(char* data, std::size_t size) {
    if (!IsOpen() || failed_) return 0;
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), data, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) {
            failed_ = true;
            return 0;
        }
    }
}

bool InputFile::Rewind() {
    if (!IsOpen() || failed_) return false;
    failed_ = ::lseek(static_cast<int>(handle_), 0, SEEK_SET) != 0;
    return !failed_;
}

}  // namespace kx::platform
