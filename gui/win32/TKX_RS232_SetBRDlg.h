#pragma once
// The baud-rate dialog: an edit box with up and down arrows, 110 to 921600 bit/s in
// steps of 10; a value outside is brought to the nearest bound, text that is not a
// number reads as the lowest rate.
#include <cstdint>
#include <optional>

#include "gui/win32/ModalForm.h"

namespace kx::wgui {

class TKX_RS232_SetBRDlg final : public ModalForm {
public:
    static constexpr int ClientWidth = 301, ClientHeight = 89;
    static constexpr int BSE = 101, BSEArrows = 102;
    static constexpr std::uint32_t MinRate = 110, MaxRate = 921600, Step = 10;

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
