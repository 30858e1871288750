#include "gui/win32/Win32UserInterface.h"

#include "gui/win32/TKX_RS232_SetBRDlg.h"
#include "gui/win32/TKX_RS232_SetNumDlg.h"
#include "gui/win32/TOpenDialog.h"
#include "gui/win32/TPasswDlg.h"
#include "gui/win32/TProgressForm.h"
#include "platform/win32/WinText.h"
#include "ui/Texts.h"

namespace kx::wgui {

namespace {

// The system's message box, centred on the screen (it has no owner window) and above the
// progress window, which stays on top of everything else. Modal for the whole program.
int RunBox(const char* caption, const std::string& text, UINT kind) {
    return MessageBoxW(nullptr, platform::win32::Utf8ToWide(text).c_str(), platform::win32::Utf8ToWide(caption).c_str(),
                       kind | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
}

// The system's Yes/No box takes no Esc; this one answers No to it, as to the No button.
LRESULT CALLBACK EscapeMeansNo(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        PostMessageW(GetAncestor(msg->hwnd, GA_ROOT), WM_COMMAND, IDNO, 0);
        return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class EscapeHook {
public:
    EscapeHook() : hook_(SetWindowsHookExW(WH_MSGFILTER, EscapeMeansNo, nullptr, GetCurrentThreadId())) {}
    ~EscapeHook() {
        if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    }
    EscapeHook(const EscapeHook&) = delete;
    EscapeHook& operator=(const EscapeHook&) = delete;

private:
    HHOOK hook_;
};

}  // namespace

void Win32UserInterface::ShowError(const std::string& message) {
    RunBox(texts::ErrorCaption, message, MB_OK | MB_ICONERROR);
}

void Win32UserInterface::ShowInfo(const std::string& message) {
    RunBox(texts::InfoCaption, message, MB_OK | MB_ICONINFORMATION);
}

bool Win32UserInterface::AskYesNo(const std::string& message) {
    // Esc answers No, as the No button does (the system's Yes/No box has no close box).
    EscapeHook escape;
    return RunBox(texts::ConfirmCaption, message, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

std::unique_ptr<ui::ProgressWindow> Win32UserInterface::CreateProgress() {
    return std::make_unique<TProgressForm>(pump_, owner_);
}

std::optional<std::string> Win32UserInterface::ChoosePort(const std::vector<std::string>& entries, int selected) {
    return TKX_RS232_SetNumDlg().Choose(entries, selected);
}

std::optional<double> Win32UserInterface::ChooseBaudRate(std::uint32_t current) {
    return TKX_RS232_SetBRDlg().Choose(current);
}

std::optional<std::string> Win32UserInterface::EnterPassword(const std::string& prompt) {
    return TPasswDlg().Ask(prompt);
}

std::optional<std::string> Win32UserInterface::ChooseFile(const std::string& filter, const std::string& initialDir) {
    return RunOpenDialog(GetActiveWindow(), filter, initialDir);
}

}  // namespace kx::wgui
