#pragma once
// A top-level window built in code. Its client size and its controls' places are given
// in pixels at 96 dots per inch and scaled to the monitor's DPI, again whenever the
// window moves to a monitor with another one. The window is destroyed with the object.
#include <windows.h>

#include <string>
#include <vector>

namespace kx::wgui {

struct Bounds {
    int left, top, width, height;
};

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
    // Creates the window hidden, with `caption`, owned by `owner` (may be null).
    void Create(const std::wstring& caption, const FormStyle& style, HWND owner);
    HWND AddControl(const wchar_t* windowClass, const std::wstring& text, DWORD style, Bounds bounds, int id,
                    bool regularFont = false);
    // The window's messages; the default handles DPI changes and DefWindowProc.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Child {
        HWND hwnd;
        Bounds bounds;
        bool regularFont;
    };
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeFonts();
    void ApplyDpi(int dpi, const RECT* suggested);
    void PlaceChild(const Child& child) const;

    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    FormStyle style_{};
    std::vector<Child> children_;
    HFONT font_ = nullptr;
    HFONT regularFont_ = nullptr;
};

}  // namespace kx::wgui
