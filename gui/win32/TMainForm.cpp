#include "gui/win32/TMainForm.h"

#include "platform/win32/WinText.h"

namespace kx::wgui {

using app::WindowPlacement;
using platform::win32::Utf8ToWide;

namespace {

constexpr COLORREF WarningColour = ColourOf(ui::forms::main_window::Label1.colour);

int ShowCommandOf(int state) {
    if (state == WindowPlacement::Minimized) return SW_SHOWMINIMIZED;
    if (state == WindowPlacement::Maximized) return SW_SHOWMAXIMIZED;
    return SW_SHOWNORMAL;
}

struct OwnedSearch {
    HWND owner;
    HWND found = nullptr;
};

BOOL CALLBACK FindOwned(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<OwnedSearch*>(param);
    if (GetWindow(hwnd, GW_OWNER) != search->owner || !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

TMainForm::TMainForm(MessagePump& pump, ui::UserInterface& ui, app::MainPresenter::LinkFactory makeLink,
                     const std::string& mutexName)
    : warningBrush_(CreateSolidBrush(WarningColour)),
      registration_(pump, [this] {
          Build(ui::forms::MainWindow, nullptr);
          return Handle();
      }()),
      presenter_(*this, ui, std::move(makeLink), mutexName) {}

TMainForm::~TMainForm() { DeleteObject(warningBrush_); }

void TMainForm::FormShow() {
    presenter_.FormShow();
    ShowWindow(Handle(), ShowCommandOf(restoredState_));
    SetFocus(Control(ControlId(ui::forms::MainWindow, *ui::forms::MainWindow.initialFocus)));
    UpdateWindow(Handle());
}

void TMainForm::SetCaption(const std::string& caption) { SetWindowTextW(Handle(), Utf8ToWide(caption).c_str()); }

void TMainForm::ShowImagePath(const std::string& path) { SetWindowTextW(Control(lFN), Utf8ToWide(path).c_str()); }

void TMainForm::SetBusy(bool busy) {
    for (int id : {bRS232, bOpen, bLoad}) EnableWindow(Control(id), busy ? FALSE : TRUE);
    if (busy) return;
    // The progress window that was active is gone: the keyboard comes back here.
    if (GetActiveWindow() == nullptr) SetActiveWindow(Handle());
    // A disabled button loses the keyboard; the window must not stay without it.
    if (GetActiveWindow() == Handle() && GetFocus() == nullptr)
        SetFocus(lastFocus_ != nullptr ? lastFocus_ : Control(bLoad));
}

WindowPlacement TMainForm::Placement() const {
    WINDOWPLACEMENT system{};
    system.length = sizeof system;
    GetWindowPlacement(Handle(), &system);
    RECT frame;
    GetWindowRect(Handle(), &frame);
    // A minimised window keeps its size and place in the normal position.
    if (IsIconic(Handle())) frame = system.rcNormalPosition;
    WindowPlacement placement;
    placement.State = IsIconic(Handle()) ? WindowPlacement::Minimized
                      : IsZoomed(Handle()) ? WindowPlacement::Maximized
                                           : WindowPlacement::Normal;
    placement.Left = frame.left;
    placement.Top = frame.top;
    placement.Width = frame.right - frame.left;
    placement.Height = frame.bottom - frame.top;
    placement.BorderStyle = WindowPlacement::Border::Single;
    return placement;
}

void TMainForm::ApplyPlacement(const WindowPlacement& placement) {
    restoredState_ = placement.State;
    SetWindowPos(Handle(), nullptr, placement.Left, placement.Top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

app::ScreenArea TMainForm::Screen() const {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcMonitor;
    return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

void TMainForm::BringOwnedForward() const {
    OwnedSearch search{Handle()};
    EnumThreadWindows(GetCurrentThreadId(), FindOwned, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) SetForegroundWindow(search.found);
}

void TMainForm::OnCommand(int id) {
    if (id == bRS232) presenter_.bRS232Click();
    else if (id == bOpen) presenter_.bOpenClick();
    else if (id == bLoad) presenter_.bLoadClick();
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != Control(Label1)) break;
        SetBkColor(reinterpret_cast<HDC>(wParam), WarningColour);
        return reinterpret_cast<LRESULT>(warningBrush_);
    case WM_ACTIVATE:
        // During a load a click here hands the activation on to the progress window.
        if (LOWORD(wParam) != WA_INACTIVE && presenter_.SessionRunning())
            PostMessageW(Handle(), ForwardOwnedMessage, 0, 0);
        // As a dialog does: the control that had the keyboard gets it back, or the first
        // button when that one was disabled meanwhile (by a load).
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(Handle(), focus)) lastFocus_ = focus;
        } else if (!IsIconic(Handle())) {
            SetFocus(lastFocus_ != nullptr && IsWindowEnabled(lastFocus_) ? lastFocus_ : Control(bRS232));
        }
        return 0;
    case WM_QUERYENDSESSION:
        // Windows is shutting down or the user logs off: not in the middle of a load, which
        // is cancelled now and closes the window itself when it has ended.
        return presenter_.RequestEnd() ? TRUE : FALSE;
    case WM_ENDSESSION:
        // The process ends after this message: the settings are written now.
        if (wParam != FALSE) presenter_.FormClose();
        return 0;
    case ForwardOwnedMessage:
        if (presenter_.SessionRunning()) BringOwnedForward();
        return 0;
    case WM_CLOSE:
        // During a load the presenter cancels it and closes the window once it has ended;
        // till then its progress window stays in front. The window itself goes with this
        // object, after the main loop has ended.
        if (presenter_.FormClose()) PostQuitMessage(0);
        else PostMessageW(Handle(), ForwardOwnedMessage, 0, 0);
        return 0;
    default:
        break;
    }
    return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace kx::wgui
