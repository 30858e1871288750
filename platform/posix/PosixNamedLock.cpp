// The named lock on POSIX systems: an advisory lock (flock) on a file in the user's
// runtime folder. The kernel drops it when the process ends, however it ends, so a
// crashed copy never blocks the next start.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/NamedLock.h"

namespace kx::platform {
namespace {

class PosixNamedLock final : public NamedLock {
public:
    explicit PosixNamedLock(int fd) : fd_(fd) {}
    ~PosixNamedLock() override { ::close(fd_); }
    PosixNamedLock(const PosixNamedLock&) = delete;
    PosixNamedLock& operator=(const PosixNamedLock&) = delete;

private:
    int fd_;
};

// A folder only this user can reach: a real directory (not a link), owned by the
// user, closed to group and others. Anything else could let another user hold or
// redirect our lock file.
bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::optional<std::string> RuntimeFolder() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && xdg[0] == '/' && IsPrivateFolder(xdg)) return std::string(xdg);

    const std::string fallback = "/tmp/kxboot-" + std::to_string(::geteuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    if (!IsPrivateFolder(fallback)) return std::nullopt;
    return fallback;
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

int OpenLockFile(const std::string& path) {
    // No following of links, no blocking on a planted FIFO, owner-only when created.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<NamedLock> TryAcquireNamedLock(const std::string& name) {
    if (!IsPlainName(name)) return nullptr;
    const auto folder = RuntimeFolder();
    if (!folder) return nullptr;

    const int fd = OpenLockFile(*folder + "/" + name + ".lock");
    if (fd < 0) return nullptr;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixNamedLock>(fd);
}

}  // namespace kx::platform
