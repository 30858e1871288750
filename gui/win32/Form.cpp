#include "gui/win32/Form.h"

#include <system_error>

namespace kx::wgui {

namespace {

constexpr wchar_t ClassName[] = L"KxbootForm";
constexpr int FontPoints = 8;
constexpr wchar_t FontFace[] = L"MS Sans Serif";

void RegisterFormClass() {
    static const bool registered = [] {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = DefWindowProcW;  // each window switches to its own at creation
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        cls.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
        cls.lpszClassName = ClassName;
        return RegisterClassExW(&cls) != 0;
    }();
    (void)registered;
}

// The per-monitor DPI calls came with Windows 10 (1607); looked up at run time, so the
// program still starts on older systems, which scale with the system DPI alone.
template <typename Function>
Function* UserFunction(const char* name) {
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
}

int DpiOf(HWND hwnd) {
    static auto* const forWindow = UserFunction<UINT WINAPI(HWND)>("GetDpiForWindow");
    UINT dpi = hwnd != nullptr && forWindow != nullptr ? forWindow(hwnd) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
        ReleaseDC(nullptr, screen);
    }
    return dpi != 0 ? static_cast<int>(dpi) : 96;
}

// The outer size of a window whose client area is `client` at `dpi`.
SIZE FrameSize(SIZE client, DWORD style, DWORD exStyle, int dpi) {
    static auto* const forDpi = UserFunction<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, client.cx, client.cy};
    if (forDpi != nullptr) forDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi));
    else AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace

Form::~Form() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (font_ != nullptr) DeleteObject(font_);
    if (regularFont_ != nullptr) DeleteObject(regularFont_);
}

void Form::Create(const std::wstring& caption, const FormStyle& style, HWND owner) {
    RegisterFormClass();
    style_ = style;
    dpi_ = DpiOf(owner);
    const SIZE frame = FrameSize({Scale(style.clientWidth), Scale(style.clientHeight)}, style.style, style.exStyle, dpi_);
    hwnd_ = CreateWindowExW(style.exStyle, ClassName, caption.c_str(), style.style, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.cx, frame.cy, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    // Without its window a form would wait for ever for messages that never come.
    if (hwnd_ == nullptr)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateWindowExW");
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::WindowProc));
    // The monitor the window landed on may have another DPI than its owner's.
    const int actual = DpiOf(hwnd_);
    if (actual != dpi_) ApplyDpi(actual, nullptr);
    MakeFonts();
}

void Form::MakeFonts() {
    if (font_ != nullptr) DeleteObject(font_);
    if (regularFont_ != nullptr) DeleteObject(regularFont_);
    const int height = -MulDiv(FontPoints, dpi_, 72);
    auto make = [height](int weight) {
        return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, FontFace);
    };
    font_ = make(style_.boldFont ? FW_BOLD : FW_NORMAL);
    regularFont_ = make(FW_NORMAL);
    for (const Child& child : children_)
        SendMessageW(child.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(child.regularFont ? regularFont_ : font_), TRUE);
}

HWND Form::AddControl(const wchar_t* windowClass, const std::wstring& text, DWORD style, Bounds bounds, int id,
                      bool regularFont) {
    HWND child = CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
    children_.push_back({child, bounds, regularFont});
    PlaceChild(children_.back());
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(regularFont ? regularFont_ : font_), FALSE);
    return child;
}

void Form::PlaceChild(const Child& child) const {
    SetWindowPos(child.hwnd, nullptr, Scale(child.bounds.left), Scale(child.bounds.top), Scale(child.bounds.width),
                 Scale(child.bounds.height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::ApplyDpi(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    if (suggested != nullptr) {
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        const SIZE frame =
            FrameSize({Scale(style_.clientWidth), Scale(style_.clientHeight)}, style_.style, style_.exStyle, dpi_);
        SetWindowPos(hwnd_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    for (const Child& child : children_) PlaceChild(child);
    if (font_ != nullptr) MakeFonts();
}

void Form::CentreOnScreen() {
    RECT frame;
    GetWindowRect(hwnd_, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcMonitor;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DPICHANGED) {
        ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    return form->HandleMessage(message, wParam, lParam);
}

}  // namespace kx::wgui
