#pragma once
// A dialog built from its description and shown modally: the other windows of the
// program are disabled while it runs; Enter presses the focused button, elsewhere the
// default button (OK); Esc and the close box end it with Cancel; Tab moves through the
// controls in the described order.
#include "gui/win32/Form.h"

namespace kx::wgui {

class ModalForm : public Form {
public:
    // True when the dialog ended with OK. The described first control has the keyboard.
    bool RunModal();

protected:
    // The dialog's window and controls, centred on the screen.
    void BuildDialog(const ui::forms::Form& form);
    // Runs before an OK ends the dialog; a form that must correct its fields does so here.
    virtual void BeforeOk() {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void RunLoop();

    bool running_ = false;
    bool accepted_ = false;
};

}  // namespace kx::wgui
