#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <random>
#include <utility>

#include "platform/FileReplacement.h"
#include "platform/posix/UniqueFd.h"
#include "platform/posix/WriteTarget.h"

namespace kx::platform {
namespace {

// An existing file that may be replaced: regular, and writable by this process. A file
// nobody may write counts as read-only even for root, who could write it anyway.
bool Replaceable(const std::string& target, struct stat& st) {
    if (::lstat(target.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    const posix::UniqueFd probe(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    return probe.Valid();
}

}  // namespace

FileReplacement::FileReplacement(const std::string& path) {
    const auto target = posix::WriteTarget(path);
    struct stat st {};
    if (!target || !Replaceable(*target, st)) return;
    target_ = *target;
    const bool exists = st.st_nlink > 0;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !Ok(); ++attempt) {
        temp_ = target_ + ".~" + std::to_string(random());
        // Mode 0666 less the umask for a new file, as any other file the user creates.
        const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) handle_ = fd;
        else if (errno != EEXIST) break;
    }
    if (!Ok() || !exists) return;
    // The new version keeps the old one's permissions and, where allowed, its owner.
    const int fd = static_cast<int>(handle_);
    if (::fchmod(fd, st.st_mode & 0777) != 0) {
        Discard();
    } else if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only root may give a file away; anyone else's new version is their own.
    }
}

FileReplacement::~FileReplacement() { Discard(); }

void FileReplacement::Discard() {
    if (!Ok()) return;
    ::close(static_cast<int>(handle_));
    handle_ = Closed;
    ::unlink(temp_.c_str());
}

bool FileReplacement::Write(std::string_view bytes) {
    while (Ok() && !bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
        else if (n < 0 && errno == EINTR) continue;
        else Discard();
    }
    return Ok();
}

bool FileReplacement::Commit() {
    if (!Ok()) return false;
    const int fd = static_cast<int>(std::exchange(handle_, Closed));
    const bool flushed = ::fsync(fd) == 0;
    if (::close(fd) != 0 || !flushed || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        return false;
    }
    // The rename itself lives in the folder: flushed too, or a power loss could undo it.
    const posix::UniqueFd folder(::open(posix::FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) ::fsync(folder.Get());
    return true;
}

}  // namespace kx::platform
