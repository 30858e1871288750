#pragma once
// The progress window of a load: a text, the percentage gauge and a cancel button. No
// close box: only the load that made it ends it. Always on top, modeless, and owned by
// the main window, so that window system keeps it above that one whatever is clicked.
#include <string>

#include "gui/win32/Form.h"
#include "gui/win32/MessagePump.h"
#include "ui/UserInterface.h"

namespace kx::wgui {

class TProgressForm final : public Form, public ui::ProgressWindow {
public:
    static constexpr int ProgressGauge = ControlId(ui::forms::ProgressWindow, ui::forms::progress_window::ProgressGauge);
    static constexpr int ProgressLabel = ControlId(ui::forms::ProgressWindow, ui::forms::progress_window::ProgressLabel);
    static constexpr int BitBtn1 = ControlId(ui::forms::ProgressWindow, ui::forms::progress_window::BitBtn1);

    // Shown at once, with the keyboard on its cancel button; `owner` may be null.
    TProgressForm(MessagePump& pump, HWND owner);

    void SetLabel(const std::string& text) override;
    void SetGaugeVisible(bool visible) override;
    void SetProgress(int percent) override;
    void ShowCancelButton() override;
    bool Cancelled() const override { return cancelled_; }

    void BitBtn1Click() { cancelled_ = true; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FormCreate() { cancelled_ = false; }

    bool cancelled_ = false;
    ModelessRegistration registration_;
};

}  // namespace kx::wgui
