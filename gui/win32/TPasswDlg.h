#pragma once
// The password dialog: a prompt and an edit box that shows every character as "$" and
// takes only Latin letters and digits, at most ten.
#include <optional>
#include <string>

#include "gui/win32/ModalForm.h"

namespace kx::wgui {

class TPasswDlg final : public ModalForm {
public:
    static constexpr int Label1 = ControlId(ui::forms::PasswordDialog, ui::forms::password_dialog::Label1);
    static constexpr int MaskEdit1 = ControlId(ui::forms::PasswordDialog, ui::forms::password_dialog::MaskEdit1);

    TPasswDlg();
    // The text typed on OK, nullopt on Cancel.
    std::optional<std::string> Ask(const std::string& prompt);
};

}  // namespace kx::wgui
