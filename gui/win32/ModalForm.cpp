#include "gui/win32/ModalForm.h"

#include <vector>

namespace kx::wgui {

namespace {

// Every enabled top-level window of this thread but `except`: they are disabled while
// a modal dialog runs and enabled again afterwards.
BOOL CALLBACK CollectEnabled(HWND hwnd, LPARAM param) {
    auto* windows = reinterpret_cast<std::vector<HWND>*>(param);
    if (hwnd != windows->front() && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) windows->push_back(hwnd);
    return TRUE;
}

class DisabledWindows {
public:
    explicit DisabledWindows(HWND except) : windows_{except} {
        EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&windows_));
        for (std::size_t i = 1; i < windows_.size(); ++i) EnableWindow(windows_[i], FALSE);
    }
    ~DisabledWindows() {
        for (std::size_t i = 1; i < windows_.size(); ++i) EnableWindow(windows_[i], TRUE);
    }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

private:
    std::vector<HWND> windows_;  // front: the dialog itself
};

}  // namespace

void ModalForm::BuildDialog(const ui::forms::Form& form) {
    Build(form, GetActiveWindow());
    CentreOnScreen();
}

bool ModalForm::RunModal() {
    {
        DisabledWindows others(Handle());
        ShowWindow(Handle(), SW_SHOW);
        SetForegroundWindow(Handle());
        SetFocus(Control(ControlId(Description(), *Description().initialFocus)));
        running_ = true;
        accepted_ = false;
        RunLoop();
    }  // the other windows are enabled before this one goes, so one of them becomes active
    ShowWindow(Handle(), SW_HIDE);
    return accepted_;
}

void ModalForm::RunLoop() {
    MSG msg;
    while (running_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {  // the program is ending: pass the request on, as Cancel
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (IsDialogMessageW(Handle(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    running_ = false;
}

LRESULT ModalForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && IsWindowEnabled(Control(IDOK))) {
            BeforeOk();
            accepted_ = true;
            running_ = false;
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            running_ = false;
            return 0;
        }
        break;
    case WM_CLOSE:
        running_ = false;
        return 0;
    default:
        break;
    }
    return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace kx::wgui
