#pragma once
// The port-number dialog: a drop-down list of the free ports ("COM" and the number).
#include <optional>
#include <string>
#include <vector>

#include "gui/win32/ModalForm.h"

namespace kx::wgui {

class TKX_RS232_SetNumDlg final : public ModalForm {
public:
    static constexpr int PCB = ControlId(ui::forms::PortDialog, ui::forms::port_dialog::PCB);

    TKX_RS232_SetNumDlg();
    // The entries in list order, `selected` selected (-1: none). On OK the selected
    // entry's text ("" when none is selected), nullopt on Cancel.
    std::optional<std::string> Choose(const std::vector<std::string>& entries, int selected);
};

}  // namespace kx::wgui
