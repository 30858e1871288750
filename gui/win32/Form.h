#pragma once
// A top-level window built from its description (ui/Forms.h): frame, caption, font,
// client size and every control of its kind, in the described tab order. Places and
// sizes are pixels at 96 dots per inch, scaled to the monitor's DPI, again whenever the
// window moves to a monitor with another one. The window is destroyed with the object.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Forms.h"

namespace kx::wgui {

// A described control's identifier: the standard ones for the OK, Cancel and Help kinds,
// so that the dialog manager's Enter and Esc reach them; the others by their place in the
// description.
constexpr int ControlId(const ui::forms::Form& form, const ui::forms::Control& control) {
    using ui::forms::Kind;
    if (control.kind == Kind::OkButton) return IDOK;
    if (control.kind == Kind::CancelButton) return IDCANCEL;
    if (control.kind == Kind::HelpButton) return IDHELP;
    return 101 + ui::forms::IndexOf(form, control);
}
// A spin edit's arrows, beside its edit box.
constexpr int ArrowsId(int spinEditId) { return spinEditId + 0x100; }
// 0xRRGGBB as the system's colour.
constexpr COLORREF ColourOf(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

using Bounds = ui::forms::Bounds;

struct FormStyle {
    DWORD style;
    DWORD exStyle;
    int clientWidth;
    int clientHeight;
    bool boldFont = false;
};

class Form {
public:
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    HWND Handle() const { return hwnd_; }
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }
    void CentreOnScreen();

protected:
    Form() = default;
    // Creates the window of `form` hidden, owned by `owner` (may be null), with its controls.
    void Build(const ui::forms::Form& form, HWND owner);
    const ui::forms::Form& Description() const { return *form_; }
    // The window's messages; the default handles DPI changes, tells the dialog manager
    // which button Enter presses, and passes the rest to DefWindowProc.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Child {
        HWND hwnd;
        Bounds bounds;
        bool regularFont;
        int listRows;  // a drop-down list's window holds its open list too
    };
    void Create(const std::wstring& caption, const FormStyle& style, HWND owner);
    HWND AddControl(const wchar_t* windowClass, const std::wstring& text, DWORD style, Bounds bounds, int id,
                    bool regularFont = false, int listRows = 0);
    void AddDescribed(const ui::forms::Form& form, const ui::forms::Control& control);
    void AddSpinEdit(const ui::forms::Control& control, int id, DWORD style);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeFonts();
    void ApplyDpi(int dpi, const RECT* suggested);
    void PlaceChild(const Child& child) const;
    // The described control that has the keyboard; nullptr when none of them has it.
    const ui::forms::Control* FocusedControl() const;

    const ui::forms::Form* form_ = nullptr;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    FormStyle style_{};
    std::vector<Child> children_;
    HFONT font_ = nullptr;
    HFONT regularFont_ = nullptr;
};

}  // namespace kx::wgui
