#include "gui/win32/TKX_RS232_SetBRDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

namespace kx::wgui {

namespace {

namespace form = ui::forms::baud_dialog;

constexpr auto MinRate = static_cast<std::uint32_t>(form::BSE.minimum);
constexpr auto MaxRate = static_cast<std::uint32_t>(form::BSE.maximum);

}  // namespace

TKX_RS232_SetBRDlg::TKX_RS232_SetBRDlg() {
    BuildDialog(ui::forms::BaudDialog);
    SetValue(MinRate);
}

std::optional<double> TKX_RS232_SetBRDlg::Choose(std::uint32_t current) {
    SetValue(current);
    if (!RunModal()) return std::nullopt;
    return static_cast<double>(Value());
}

std::uint32_t TKX_RS232_SetBRDlg::Value() const {
    wchar_t text[32] = {};
    GetWindowTextW(Control(BSE), text, static_cast<int>(std::size(text)));
    wchar_t* end = nullptr;
    const unsigned long long value = std::wcstoull(text, &end, 10);
    if (end == text) return MinRate;  // not a number
    return static_cast<std::uint32_t>(std::clamp<unsigned long long>(value, MinRate, MaxRate));
}

void TKX_RS232_SetBRDlg::SetValue(std::uint32_t value) {
    value = std::clamp(value, MinRate, MaxRate);
    SetWindowTextW(Control(BSE), std::to_wstring(value).c_str());
    SendMessageW(Control(BSEArrows), UDM_SETPOS32, 0, static_cast<LPARAM>(value));
}

LRESULT TKX_RS232_SetBRDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == BSE && HIWORD(wParam) == EN_KILLFOCUS) {
        Correct();
        return 0;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == BSEArrows && header->code == UDN_DELTAPOS) {
            const auto* delta = reinterpret_cast<const NMUPDOWN*>(lParam);
            const long long next = static_cast<long long>(Value()) + delta->iDelta;
            SetValue(static_cast<std::uint32_t>(std::clamp<long long>(next, MinRate, MaxRate)));
            return TRUE;  // the value is set here, not by the arrows
        }
    }
    return ModalForm::HandleMessage(message, wParam, lParam);
}

}  // namespace kx::wgui
