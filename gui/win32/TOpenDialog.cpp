#include "gui/win32/TOpenDialog.h"

#include <commdlg.h>

#include "platform/win32/WinText.h"

namespace kx::wgui {

using platform::win32::Utf8ToWide;

std::wstring SystemFilter(const std::string& filter) {
    std::wstring result = Utf8ToWide(filter);
    for (wchar_t& c : result)
        if (c == L'|') c = L'\0';
    result.push_back(L'\0');
    result.push_back(L'\0');
    return result;
}

std::optional<std::string> RunOpenDialog(HWND owner, const std::string& filter, const std::string& initialDir) {
    const std::wstring filters = SystemFilter(filter);
    const std::wstring folder = Utf8ToWide(initialDir);
    std::wstring file(32768, L'\0');  // long paths too
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING |
                   OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    file.resize(wcslen(file.c_str()));
    return platform::win32::WideToUtf8(file);
}

}  // namespace kx::wgui
