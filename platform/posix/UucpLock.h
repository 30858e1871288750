#pragma once
// The lock convention that Linux serial programs share: while a program holds a port it
// keeps a file LCK..<name> in the lock folder holding its PID as ten ASCII digits and a
// newline. A file whose PID no longer runs is stale and is ignored (and replaced).
// Whatever else sits at a lock path (a FIFO, a folder, a device, a symbolic link) holds
// no PID and counts as stale too: it is replaced where this user may remove it, and the
// port is busy where not (another user's entry in the sticky lock folder, a folder).
#include <memory>
#include <string>
#include <vector>

namespace kx::platform::posix {

class UucpLock {
public:
    enum class Outcome {
        Acquired,     // the lock file is ours
        Busy,         // a live process holds the port
        Unavailable,  // no writable lock folder: the caller goes on without the lock
    };

    // The folders where lock files live: $KXBOOT_LOCK_DIR alone when set, else
    // /run/lock and /var/lock (the same folder counted once).
    static std::vector<std::string> Folders();
    // The name part of the lock file: the device path with symbolic links resolved and
    // "/dev/" dropped, inner slashes turned into '_' ("ttyUSB0", "pts_3").
    static std::string LockName(const std::string& devicePath);
    // Whether a live process holds the port's lock in any of the folders.
    static bool Held(const std::string& devicePath, const std::vector<std::string>& folders);
    // The live process whose PID the port's lock file holds, in the first folder with one; 0 when none.
    static int HolderPid(const std::string& devicePath, const std::vector<std::string>& folders);
    // Takes the lock in the first writable folder; `lock` is set only on Acquired.
    static Outcome Acquire(const std::string& devicePath, const std::vector<std::string>& folders,
                           std::unique_ptr<UucpLock>& lock);

    // Removes the lock file, provided it still holds this process's PID.
    ~UucpLock();
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    const std::string& Path() const { return path_; }

private:
    explicit UucpLock(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// The PID a lock file holds (ASCII, or the old four-byte binary form); 0 when none.
int LockFilePid(const std::string& path);
// Whether the process `pid` runs (a process we may not signal runs too).
bool ProcessAlive(int pid);

}  // namespace kx::platform::posix
