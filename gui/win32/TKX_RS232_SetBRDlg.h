#pragma once
// The baud-rate dialog: an edit box with up and down arrows for the rate in bit/s, kept
// within its described range.
#include <cstdint>
#include <optional>

#include "gui/win32/ModalForm.h"

namespace kx::wgui {

class TKX_RS232_SetBRDlg final : public ModalForm {
public:
    static constexpr int BSE = ControlId(ui::forms::BaudDialog, ui::forms::baud_dialog::BSE);
    static constexpr int BSEArrows = ArrowsId(BSE);

    TKX_RS232_SetBRDlg();
    // Starts at `current`; the value on OK, nullopt on Cancel.
    std::optional<double> Choose(std::uint32_t current);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void BeforeOk() override { Correct(); }

private:
    std::uint32_t Value() const;
    void SetValue(std::uint32_t value);
    void Correct() { SetValue(Value()); }
};

}  // namespace kx::wgui
