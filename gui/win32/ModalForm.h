#pragma once
// A dialog built in code and shown modally: the other windows of the program are
// disabled while it runs; Enter presses the default button (OK), Esc and the close box
// end it with Cancel, Tab moves through the controls in the order they were added.
#include "gui/win32/Form.h"

namespace kx::wgui {

// The dialogs' OK, Cancel and Help buttons: the standard identifiers, so that the
// dialog manager's Enter and Esc reach them.
inline constexpr int OkButtonId = IDOK;
inline constexpr int CancelButtonId = IDCANCEL;
inline constexpr int HelpButtonId = IDHELP;

class ModalForm : public Form {
public:
    // True when the dialog ended with OK.
    bool RunModal(HWND focus);

protected:
    // Fixed dialog border with the system menu only, centred on the screen.
    void CreateDialogWindow(const std::wstring& caption, int clientWidth, int clientHeight, bool boldFont = false);
    // OK (default), Cancel and, when `help` is given, a disabled Help button: no help
    // system comes with the program.
    void AddDialogButtons(Bounds ok, Bounds cancel, const Bounds* help = nullptr);
    // Runs before an OK ends the dialog; a form that must correct its fields does so here.
    virtual void BeforeOk() {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void RunLoop();

    bool running_ = false;
    bool accepted_ = false;
};

}  // namespace kx::wgui
