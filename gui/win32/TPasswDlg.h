#pragma once
// The password dialog: a prompt and an edit box that shows every character as "$" and
// takes only Latin letters and digits, at most ten.
#include <optional>
#include <string>

#include "gui/win32/ModalForm.h"

namespace kx::wgui {

class TPasswDlg final : public ModalForm {
public:
    static constexpr int ClientWidth = 233, ClientHeight = 139;
    static constexpr int Label1 = 100, MaskEdit1 = 101;
    static constexpr int MaxChars = 10;
    static constexpr wchar_t EchoChar = L'$';

    TPasswDlg();
    // The text typed on OK, nullopt on Cancel.
    std::optional<std::string> Ask(const std::string& prompt);
};

}  // namespace kx::wgui
