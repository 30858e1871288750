#pragma once
// Text conversions the Win32 backends share: the program works in UTF-8, the wide
// (UTF-16) API in wchar_t, the ANSI ("A") API and the settings files in a code page.
#include <string>

namespace kx::platform::win32 {

// The Cyrillic ANSI code page in which the settings files on technicians' machines are written.
constexpr unsigned SettingsCodePage = 1251;

std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// UTF-8 to and from the given code page; characters the code page lacks become '?'.
std::string Utf8ToCodePage(const std::string& utf8, unsigned codePage);
std::string CodePageToUtf8(const std::string& text, unsigned codePage);

// The folder of a full path: everything before the last separator, so that a file in a
// drive's root yields the bare "C:"; "." when the path has no folder at all.
std::string FolderOfPath(const std::string& path);
// The part after the last separator.
std::string FileNameOfPath(const std::string& path);

}  // namespace kx::platform::win32
