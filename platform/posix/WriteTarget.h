#pragma once
// Where a write to a path may land: the path itself, or the target of a symbolic link at
// it, unless the kernel's protected-symlink rule would refuse to follow that link (in a
// world-writable sticky folder, a link that belongs neither to the user nor to the
// folder's owner). Shared by every file the program writes by name.
#include <optional>
#include <string>

namespace kx::platform::posix {

// The folder that holds `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// The file a write reaches, or nullopt when it must not be touched.
std::optional<std::string> WriteTarget(const std::string& path);

}  // namespace kx::platform::posix
