#include "gui/win32/TKX_RS232_SetNumDlg.h"

#include "platform/win32/WinText.h"

namespace kx::wgui {

using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

TKX_RS232_SetNumDlg::TKX_RS232_SetNumDlg() { BuildDialog(ui::forms::PortDialog); }

std::optional<std::string> TKX_RS232_SetNumDlg::Choose(const std::vector<std::string>& entries, int selected) {
    HWND list = Control(PCB);
    for (const std::string& entry : entries)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(entry).c_str()));
    const int count = static_cast<int>(entries.size());
    SendMessageW(list, CB_SETCURSEL, selected >= 0 && selected < count ? selected : -1, 0);
    if (!RunModal()) return std::nullopt;
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return std::string();
    std::wstring text(static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, index, 0)), L'\0');
    SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return WideToUtf8(text);
}

}  // namespace kx::wgui
