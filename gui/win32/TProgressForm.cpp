#include "gui/win32/TProgressForm.h"

#include "gui/win32/Gauge.h"
#include "platform/win32/WinText.h"

namespace kx::wgui {

TProgressForm::TProgressForm(MessagePump& pump, HWND owner)
    : registration_(pump, [this, owner] {
          Build(ui::forms::ProgressWindow, owner);
          return Handle();
      }()) {
    FormCreate();
    CentreOnScreen();
    ShowWindow(Handle(), SW_SHOW);
    SetFocus(Control(ControlId(ui::forms::ProgressWindow, *ui::forms::ProgressWindow.initialFocus)));
    UpdateWindow(Handle());
}

void TProgressForm::SetLabel(const std::string& text) {
    SetWindowTextW(Control(ProgressLabel), platform::win32::Utf8ToWide(text).c_str());
}

void TProgressForm::SetGaugeVisible(bool visible) { ShowWindow(Control(ProgressGauge), visible ? SW_SHOW : SW_HIDE); }

void TProgressForm::SetProgress(int percent) { SetGaugeValue(Control(ProgressGauge), percent); }

void TProgressForm::ShowCancelButton() { ShowWindow(Control(BitBtn1), SW_SHOW); }

LRESULT TProgressForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        // The button, or Esc through the dialog manager (it is the Cancel kind); a hidden
        // button takes no Esc.
        if (LOWORD(wParam) == BitBtn1 && IsWindowVisible(Control(BitBtn1))) BitBtn1Click();
        return 0;
    case WM_CLOSE:
        return 0;  // Alt+F4 too: only the load ends this window
    default:
        return Form::HandleMessage(message, wParam, lParam);
    }
}

}  // namespace kx::wgui
