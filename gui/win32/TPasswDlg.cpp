#include "gui/win32/TPasswDlg.h"

#include <commctrl.h>

#include "gui/win32/MaskChars.h"
#include "platform/win32/WinText.h"

namespace kx::wgui {

using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

namespace {

constexpr UINT_PTR MaskSubclassId = 1;

// What the clipboard holds, as wide text; empty when it holds no text.
std::wstring ClipboardText(HWND owner) {
    std::wstring text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Keeps out of the edit box every character the mask does not take, typed or pasted.
LRESULT CALLBACK MaskProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CHAR && !IsControlChar(static_cast<wchar_t>(wParam)) &&
        !IsMaskChar(static_cast<wchar_t>(wParam))) {
        MessageBeep(MB_OK);
        return 0;
    }
    if (message == WM_PASTE) {
        const std::wstring kept = KeepMaskChars(ClipboardText(hwnd));
        SendMessageW(hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, MaskProc, MaskSubclassId);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

TPasswDlg::TPasswDlg() {
    CreateDialogWindow(L"Контроль доступа", ClientWidth, ClientHeight, /*boldFont=*/true);
    AddControl(L"STATIC", L"", SS_CENTER, {8, 9, 217, 39}, Label1, /*regularFont=*/true);
    HWND edit = AddControl(L"EDIT", L"", WS_TABSTOP | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, {53, 64, 128, 21},
                           MaskEdit1, /*regularFont=*/true);
    SendMessageW(edit, EM_SETPASSWORDCHAR, EchoChar, 0);
    SendMessageW(edit, EM_SETLIMITTEXT, MaxChars, 0);
    SetWindowSubclass(edit, MaskProc, MaskSubclassId, 0);
    AddDialogButtons({18, 99, 77, 27}, {130, 99, 77, 27});
}

std::optional<std::string> TPasswDlg::Ask(const std::string& prompt) {
    SetWindowTextW(Control(Label1), Utf8ToWide(prompt).c_str());
    if (!RunModal(Control(MaskEdit1))) return std::nullopt;
    wchar_t text[MaxChars + 1] = {};
    GetWindowTextW(Control(MaskEdit1), text, MaxChars + 1);
    return WideToUtf8(text);
}

}  // namespace kx::wgui
