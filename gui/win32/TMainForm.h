#pragma once
// The program's main window: port, open and load buttons, the image path and the
// warning. Widgets only: every click goes to the presenter, which holds the program's
// rules; the window shows what the presenter tells it.
#include <memory>
#include <string>

#include "gui/win32/Form.h"
#include "gui/win32/MessagePump.h"
#include "app/MainPresenter.h"

namespace kx::wgui {

class TMainForm final : public Form, public app::MainView {
public:
    static constexpr int ClientWidth = 361, ClientHeight = 251;
    static constexpr int bRS232 = 101, bOpen = 102, bLoad = 103, lFN = 104, Label1 = 105;

    explicit TMainForm(MessagePump& pump);
    ~TMainForm() override;
    // Wires the window to its presenter; clicks do nothing before.
    void Attach(app::MainPresenter& presenter) { presenter_ = &presenter; }
    // The first show: the presenter's start-up, then the window opens centred in the
    // restored state.
    void FormShow();

    void SetCaption(const std::string& caption) override;
    void ShowImagePath(const std::string& path) override;
    void SetBusy(bool busy) override;
    app::WindowPlacement Placement() const override;
    void ApplyPlacement(const app::WindowPlacement& placement) override;
    // As the close box does; after the handler that asks for it has returned.
    void Close() override { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnCommand(int id);

    app::MainPresenter* presenter_ = nullptr;
    int restoredState_ = app::WindowPlacement::Normal;
    HWND lastFocus_ = nullptr;  // the control that had the keyboard when the window was left
    HBRUSH warningBrush_;
    ModelessRegistration registration_;
};

}  // namespace kx::wgui
