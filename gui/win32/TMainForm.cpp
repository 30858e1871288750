#include "gui/win32/TMainForm.h"

#include "platform/win32/WinText.h"

namespace kx::wgui {

using app::WindowPlacement;
using platform::win32::Utf8ToWide;

namespace {

constexpr wchar_t WarningText[] =
    L"ВНИМАНИЕ!\nВнимательно проверьте соответствие версий Вашего устройства и загружаемого "
    L"программного обеспечения. При их несовпадении устройство может выйти из строя.";
constexpr COLORREF WarningColour = RGB(255, 0, 255);  // fuchsia
constexpr int WarningHeight = 75;
constexpr DWORD MainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

int ShowCommandOf(int state) {
    if (state == WindowPlacement::Minimized) return SW_SHOWMINIMIZED;
    if (state == WindowPlacement::Maximized) return SW_SHOWMAXIMIZED;
    return SW_SHOWNORMAL;
}

}  // namespace

TMainForm::TMainForm(MessagePump& pump)
    : warningBrush_(CreateSolidBrush(WarningColour)),
      registration_(pump, [this] {
          Create(L"BootLoader for PIC24/PIC33", {MainStyle, WS_EX_CONTROLPARENT, ClientWidth, ClientHeight}, nullptr);
          return Handle();
      }()) {
    AddControl(L"BUTTON", L"Выбрать СОМ-порт", WS_TABSTOP | BS_PUSHBUTTON, {24, 16, 321, 25}, bRS232);
    AddControl(L"BUTTON", L"Открыть файл прошивки", WS_TABSTOP | BS_PUSHBUTTON, {24, 56, 321, 25}, bOpen);
    AddControl(L"BUTTON", L"Загрузить ", WS_TABSTOP | BS_PUSHBUTTON, {24, 136, 321, 25}, bLoad);
    AddControl(L"STATIC", L"lFN", SS_LEFT | SS_NOPREFIX, {24, 88, 321, 41}, lFN);
    AddControl(L"STATIC", WarningText, SS_CENTER | SS_NOPREFIX,
               {0, ClientHeight - WarningHeight, ClientWidth, WarningHeight}, Label1);
}

TMainForm::~TMainForm() { DeleteObject(warningBrush_); }

void TMainForm::FormShow() {
    if (presenter_ != nullptr) presenter_->FormShow();
    CentreOnScreen();  // the restored left and top do not survive the first show
    ShowWindow(Handle(), ShowCommandOf(restoredState_));
    SetFocus(Control(bRS232));
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
    // A state the file should not hold opens the window normally; a fixed border keeps its size.
    restoredState_ = placement.State == WindowPlacement::Minimized || placement.State == WindowPlacement::Maximized
                         ? placement.State
                         : WindowPlacement::Normal;
    SetWindowPos(Handle(), nullptr, placement.Left, placement.Top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TMainForm::OnCommand(int id) {
    if (presenter_ == nullptr) return;
    if (id == bRS232) presenter_->bRS232Click();
    else if (id == bOpen) presenter_->bOpenClick();
    else if (id == bLoad) presenter_->bLoadClick();
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
        // Windows is shutting down or the user logs off: not in the middle of a load,
        // which closes the window itself when it has ended.
        return presenter_ == nullptr || presenter_->RequestEnd() ? TRUE : FALSE;
    case WM_ENDSESSION:
        // The process ends after this message: the settings are written now.
        if (wParam != FALSE && presenter_ != nullptr) presenter_->FormClose();
        return 0;
    case WM_CLOSE:
        // A running load keeps the window: its progress window's Cancel is the way out.
        // The window itself goes with this object, after the main loop has ended.
        if (presenter_ == nullptr || presenter_->FormClose()) PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace kx::wgui
