#pragma once
// The program's main window: port, open and load buttons, the image path and the
// warning. Widgets only: every click goes to the presenter, which holds the program's
// rules; the window shows what the presenter tells it.
#include <memory>
#include <string>

#include "app/MainPresenter.h"
#include "gui/win32/Form.h"
#include "gui/win32/MessagePump.h"

namespace kx::wgui {

class TMainForm final : public Form, public app::MainView {
public:
    static constexpr int bRS232 = ControlId(ui::forms::MainWindow, ui::forms::main_window::bRS232);
    static constexpr int bOpen = ControlId(ui::forms::MainWindow, ui::forms::main_window::bOpen);
    static constexpr int bLoad = ControlId(ui::forms::MainWindow, ui::forms::main_window::bLoad);
    static constexpr int lFN = ControlId(ui::forms::MainWindow, ui::forms::main_window::lFN);
    static constexpr int Label1 = ControlId(ui::forms::MainWindow, ui::forms::main_window::Label1);

    // The window and its presenter, which talks to `ui` and takes the single-instance lock
    // `mutexName` (the program file's name when empty).
    TMainForm(MessagePump& pump, ui::UserInterface& ui, app::MainPresenter::LinkFactory makeLink,
              const std::string& mutexName = {});
    ~TMainForm() override;
    app::MainPresenter& Presenter() { return presenter_; }
    // The first show: the presenter's start-up, then the window opens where the presenter
    // placed it, in the restored state.
    void FormShow();

    void SetCaption(const std::string& caption) override;
    void ShowImagePath(const std::string& path) override;
    void SetBusy(bool busy) override;
    app::WindowPlacement Placement() const override;
    void ApplyPlacement(const app::WindowPlacement& placement) override;
    app::ScreenArea Screen() const override;
    // As the close box does; after the handler that asks for it has returned.
    void Close() override { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Posted to itself when a click or a close comes during a load, so the progress
    // window is brought forward once the activation that carried it has ended.
    static constexpr UINT ForwardOwnedMessage = WM_APP + 1;

    void OnCommand(int id);
    // The shown window this one owns (a load's progress window) comes forward and takes
    // the keyboard: while a load runs, it is where the user can act.
    void BringOwnedForward() const;

    int restoredState_ = app::WindowPlacement::Normal;
    HWND lastFocus_ = nullptr;  // the control that had the keyboard when the window was left
    HBRUSH warningBrush_;
    ModelessRegistration registration_;
    app::MainPresenter presenter_;  // made once the window exists
};

}  // namespace kx::wgui
