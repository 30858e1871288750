#include "gui/win32/TPasswDlg.h"

#include <commctrl.h>

#include "platform/win32/WinText.h"

namespace kx::wgui {

using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

namespace {

constexpr UINT_PTR MaskSubclassId = 1;
constexpr int MaxChars = ui::forms::password_dialog::MaxChars;

// Backspace, Ctrl+C and the like: editing keys, not text.
constexpr bool IsControlChar(wchar_t c) { return c < 0x20 || c == 0x7F; }

std::wstring KeepMaskChars(const std::wstring& text) {
    std::wstring kept;
    for (wchar_t c : text)
        if (ui::forms::password_dialog::Accepts(c)) kept += c;
    return kept;
}

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
        !ui::forms::password_dialog::Accepts(static_cast<wchar_t>(wParam))) {
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
    BuildDialog(ui::forms::PasswordDialog);
    SetWindowSubclass(Control(MaskEdit1), MaskProc, MaskSubclassId, 0);
}

std::optional<std::string> TPasswDlg::Ask(const std::string& prompt) {
    SetWindowTextW(Control(Label1), Utf8ToWide(prompt).c_str());
    if (!RunModal()) return std::nullopt;
    wchar_t text[MaxChars + 1] = {};
    GetWindowTextW(Control(MaskEdit1), text, MaxChars + 1);
    return WideToUtf8(text);
}

}  // namespace kx::wgui
