#include "platform/posix/UucpLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/posix/UniqueFd.h"

namespace kx::platform::posix {
namespace {

constexpr const char* LockPrefix = "LCK..";

std::string RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// Anyone may create files in the lock folder. A FIFO planted there would block a plain
// open() until a writer came, and a link could point anywhere: neither is followed or
// waited for, and only a regular file is read (anything else holds no PID).
std::string ReadSmallFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!fd) return {};
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    char buffer[64];
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string PidText(int pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

enum class Placed { Yes, Exists, NotWritable };

// Writes the PID into a private file and links it into place, so that nobody ever sees
// a lock file that is still empty.
Placed PlaceLockFile(const std::string& folder, const std::string& lockPath) {
    static std::atomic<unsigned> counter{0};
    const std::string temp = folder + "/LTMP." + std::to_string(::getpid()) + "." +
                             std::to_string(counter.fetch_add(1));
    {
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (!fd) return Placed::NotWritable;
        if (!WriteAll(fd.Get(), PidText(::getpid()))) {
            ::unlink(temp.c_str());
            return Placed::NotWritable;
        }
    }
    const int linked = ::link(temp.c_str(), lockPath.c_str());
    const int linkErrno = errno;
    ::unlink(temp.c_str());
    if (linked == 0) return Placed::Yes;
    return linkErrno == EEXIST ? Placed::Exists : Placed::NotWritable;
}

bool HeldIn(const std::string& lockPath) {
    const int pid = LockFilePid(lockPath);
    return pid > 0 && ProcessAlive(pid);
}

}  // namespace

int LockFilePid(const std::string& path) {
    const std::string text = ReadSmallFile(path);
    if (text.empty()) return 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        long value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value = value * 10 + (text[i] - '0');
            if (value > INT_MAX) return 0;
        }
        return static_cast<int>(value);
    }
    if (text.size() == sizeof(int)) {
        int value = 0;
        std::memcpy(&value, text.data(), sizeof value);
        return value > 0 ? value : 0;
    }
    return 0;
}

bool ProcessAlive(int pid) {
    if (pid <= 0) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::vector<std::string> UucpLock::Folders() {
    if (const char* own = std::getenv("KXBOOT_LOCK_DIR"); own != nullptr && *own != '\0') {
        return {own};
    }
    std::vector<std::string> folders;
    for (const char* candidate : {"/run/lock", "/var/lock"}) {
        struct stat info {};
        if (::stat(candidate, &info) != 0 || !S_ISDIR(info.st_mode)) continue;
        const std::string real = RealPath(candidate);
        bool known = false;
        for (const auto& folder : folders) known = known || RealPath(folder) == real;
        if (!known) folders.emplace_back(candidate);
    }
    return folders;
}

std::string UucpLock::LockName(const std::string& devicePath) {
    std::string path = RealPath(devicePath);
    constexpr std::string_view dev = "/dev/";
    if (path.compare(0, dev.size(), dev) == 0) path.erase(0, dev.size());
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    for (char& c : path) {
        if (c == '/') c = '_';
    }
    return path;
}

bool UucpLock::Held(const std::string& devicePath, const std::vector<std::string>& folders) {
    return HolderPid(devicePath, folders) != 0;
}

int UucpLock::HolderPid(const std::string& devicePath, const std::vector<std::string>& folders) {
    const std::string name = LockName(devicePath);
    for (const auto& folder : folders) {
        const int pid = LockFilePid(folder + "/" + LockPrefix + name);
        if (pid > 0 && ProcessAlive(pid)) return pid;
    }
    return 0;
}

UucpLock::Outcome UucpLock::Acquire(const std::string& devicePath,
                                    const std::vector<std::string>& folders,
                                    std::unique_ptr<UucpLock>& lock) {
    lock.reset();
    if (Held(devicePath, folders)) return Outcome::Busy;
    const std::string name = LockName(devicePath);
    for (const auto& folder : folders) {
        const std::string lockPath = folder + "/" + LockPrefix + name;
        Placed placed = PlaceLockFile(folder, lockPath);
        if (placed == Placed::Exists && !HeldIn(lockPath)) {
            // A stale file (its owner is gone): replace it once.
            ::unlink(lockPath.c_str());
            placed = PlaceLockFile(folder, lockPath);
        }
        if (placed == Placed::Yes) {
            lock.reset(new UucpLock(lockPath));
            return Outcome::Acquired;
        }
        if (placed == Placed::Exists) return Outcome::Busy;
    }
    return Outcome::Unavailable;
}

UucpLock::~UucpLock() {
    if (LockFilePid(path_) == ::getpid()) ::unlink(path_.c_str());
}

}  // namespace kx::platform::posix
