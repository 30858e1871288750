#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/AppendFile.h"
#include "platform/posix/UniqueFd.h"
#include "platform/posix/WriteTarget.h"

namespace kx::platform {
namespace {

std::error_code Errno() { return std::error_code(errno != 0 ? errno : EIO, std::generic_category()); }

}  // namespace

AppendFile AppendFile::Open(const std::string& utf8Path, std::error_code& error) {
    error.clear();
    AppendFile file;
    const auto target = posix::WriteTarget(utf8Path);
    if (!target) {
        error = std::make_error_code(std::errc::permission_denied);
        return file;
    }
    // O_NONBLOCK: a FIFO without a reader fails at once instead of holding the program;
    // O_NOFOLLOW: a link put in place of the resolved target is not followed after all.
    posix::UniqueFd fd(::open(target->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY |
                                                   O_CLOEXEC, 0666));
    struct stat info {};
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0) {
        error = Errno();
    } else if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(std::errc::invalid_argument);
    } else {
        file.handle_ = fd.Release();
    }
    return file;
}

bool AppendFile::Append(std::string_view bytes, std::error_code& error) {
    error.clear();
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? Errno() : std::make_error_code(std::errc::io_error);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    // A station runs for days: a power loss must not cost the boards already loaded.
    if (::fdatasync(static_cast<int>(handle_)) != 0 && errno != EINVAL) {
        error = Errno();
        return false;
    }
    return true;
}

void AppendFile::Close() {
    if (handle_ != Closed) ::close(static_cast<int>(handle_));
    handle_ = Closed;
}

}  // namespace kx::platform
