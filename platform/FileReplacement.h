#pragma once
// A new version of a file, written beside it and put in its place in one step, so that
// the file is at every moment either wholly old or wholly new, also after a crash or a
// power loss: the data reach the disk before the rename, and the rename before Commit
// returns.
//
// Only a regular file (or no file) is replaced. Refused, leaving everything as it is:
// a device, FIFO, socket or folder at the path; a read-only file; a symbolic link that
// the kernel's protected-symlink rule would not let a process follow in a world-writable
// sticky folder (one that belongs neither to the user nor to the folder's owner). An
// allowed link is followed: its target is replaced and the link stays.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx::platform {

class FileReplacement {
public:
    explicit FileReplacement(const std::string& path);
    ~FileReplacement();  // without Commit: the new version is thrown away
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the file may not or cannot be replaced; every later call then fails.
    bool Ok() const { return handle_ != Closed; }
    // The file that Commit replaces: the path, or the target of a link at the path.
    const std::string& Target() const { return target_; }

    bool Write(std::string_view bytes);
    bool Commit();

private:
    void Discard();

    static constexpr std::intptr_t Closed = -1;
    std::string target_;
    std::string temp_;
    std::intptr_t handle_ = Closed;
};

}  // namespace kx::platform
