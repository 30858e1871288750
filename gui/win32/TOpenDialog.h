#pragma once
// The system's open-file dialog: one existing file in an existing folder, no read-only
// check box, resizable.
#include <windows.h>

#include <optional>
#include <string>

namespace kx::wgui {

// "Description|patterns|Description|patterns" as the system's dialog wants it: each part
// ended by a null character, the whole ended by another.
std::wstring SystemFilter(const std::string& filter);

// The chosen file's full path; nullopt on Cancel.
std::optional<std::string> RunOpenDialog(HWND owner, const std::string& filter, const std::string& initialDir);

}  // namespace kx::wgui
