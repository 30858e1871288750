#include "gui/win32/Form.h"

#include <commctrl.h>

#include <system_error>

#include "gui/win32/Gauge.h"
#include "platform/win32/WinText.h"

namespace kx::wgui {

namespace {

using ui::forms::Kind;

constexpr wchar_t ClassName[] = L"KxbootForm";

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

FormStyle StyleOf(const ui::forms::Form& form) {
    FormStyle style{WS_POPUP | WS_CAPTION, WS_EX_CONTROLPARENT, form.clientWidth, form.clientHeight, form.boldFont};
    switch (form.frame) {
        case ui::forms::Frame::Main:
            style.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
            break;
        case ui::forms::Frame::Dialog:
            style.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
            style.exStyle |= WS_EX_DLGMODALFRAME;
            break;
        case ui::forms::Frame::Progress:
            style.style = WS_POPUP | WS_CAPTION | WS_BORDER;
            style.exStyle |= WS_EX_TOPMOST;
            break;
    }
    return style;
}

bool IsTabStop(const ui::forms::Form& form, const ui::forms::Control& control) {
    for (const ui::forms::Control* stop : form.tabOrder)
        if (stop == &control) return true;
    return false;
}

DWORD LabelStyle(const ui::forms::Control& control) {
    if (control.align == ui::forms::Align::Centre) return SS_CENTER | SS_NOPREFIX;
    return (control.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP) | SS_NOPREFIX;
}

// The width of a spin edit's arrows at 96 DPI: the system's scroll-arrow width.
int ArrowWidth() {
    static auto* const forDpi = UserFunction<int WINAPI(int, UINT)>("GetSystemMetricsForDpi");
    return forDpi != nullptr ? forDpi(SM_CXVSCROLL, 96) : GetSystemMetrics(SM_CXVSCROLL);
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

void Form::Build(const ui::forms::Form& form, HWND owner) {
    form_ = &form;
    Create(platform::win32::Utf8ToWide(form.caption), StyleOf(form), owner);
    for (const ui::forms::Control* control : form.controls) AddDescribed(form, *control);
    // The dialog manager tabs through the controls in their z-order.
    for (const ui::forms::Control* stop : form.tabOrder)
        SetWindowPos(Control(ControlId(form, *stop)), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::AddDescribed(const ui::forms::Form& form, const ui::forms::Control& control) {
    const int id = ControlId(form, control);
    const DWORD tab = IsTabStop(form, control) ? WS_TABSTOP : 0;
    const std::wstring text = platform::win32::Utf8ToWide(control.text);
    switch (control.kind) {
        case Kind::Label:
            AddControl(L"STATIC", text, LabelStyle(control), control.bounds, id, control.regularFont);
            return;
        case Kind::DropDownList:
            AddControl(L"COMBOBOX", text, tab | WS_VSCROLL | CBS_DROPDOWNLIST, control.bounds, id, control.regularFont,
                       control.listRows);
            return;
        case Kind::SpinEdit:
            AddSpinEdit(control, id, tab);
            return;
        case Kind::MaskEdit: {
            HWND edit = AddControl(L"EDIT", text, tab | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, control.bounds, id,
                                   control.regularFont);
            SendMessageW(edit, EM_SETPASSWORDCHAR, static_cast<WPARAM>(ui::forms::password_dialog::MaskChar), 0);
            SendMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(control.maximum), 0);
            return;
        }
        case Kind::Gauge:
            AddControl(GaugeClass(), text, 0, control.bounds, id, control.regularFont);
            return;
        default:
            break;
    }
    const DWORD kind = &control == form.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    HWND button = AddControl(L"BUTTON", text, tab | kind, control.bounds, id, control.regularFont);
    // No help system comes with the program.
    if (control.kind == Kind::HelpButton) EnableWindow(button, FALSE);
}

// The arrows sit beside the edit box rather than inside it, so both keep their places
// when the window is scaled to another DPI.
void Form::AddSpinEdit(const ui::forms::Control& control, int id, DWORD style) {
    const Bounds& b = control.bounds;
    const int arrows = ArrowWidth();
    HWND edit = AddControl(L"EDIT", L"", style | WS_BORDER | ES_RIGHT | ES_NUMBER,
                           {b.left, b.top, b.width - arrows, b.height}, id, control.regularFont);
    HWND updown = AddControl(UPDOWN_CLASSW, L"", UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                             {b.left + b.width - arrows, b.top, arrows, b.height}, ArrowsId(id));
    SendMessageW(updown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);  // the Up and Down keys in the box
    SendMessageW(updown, UDM_SETRANGE32, static_cast<WPARAM>(control.minimum), control.maximum);
    UDACCEL step{0, static_cast<UINT>(control.step)};
    SendMessageW(updown, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
}

void Form::MakeFonts() {
    if (font_ != nullptr) DeleteObject(font_);
    if (regularFont_ != nullptr) DeleteObject(regularFont_);
    const int height = -MulDiv(ui::forms::FontPoints, dpi_, 72);
    const std::wstring face = platform::win32::Utf8ToWide(ui::forms::FontFamily);
    auto make = [height, &face](int weight) {
        return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face.c_str());
    };
    font_ = make(style_.boldFont ? FW_BOLD : FW_NORMAL);
    regularFont_ = make(FW_NORMAL);
    for (const Child& child : children_)
        SendMessageW(child.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(child.regularFont ? regularFont_ : font_), TRUE);
}

HWND Form::AddControl(const wchar_t* windowClass, const std::wstring& text, DWORD style, Bounds bounds, int id,
                      bool regularFont, int listRows) {
    HWND child = CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(regularFont ? regularFont_ : font_), FALSE);
    if (listRows > 0) SendMessageW(child, CB_SETMINVISIBLE, static_cast<WPARAM>(listRows), 0);
    children_.push_back({child, bounds, regularFont, listRows});
    PlaceChild(children_.back());
    return child;
}

void Form::PlaceChild(const Child& child) const {
    int height = Scale(child.bounds.height);
    // The open list's rows (and its border) below the closed box.
    if (child.listRows > 0)
        height += child.listRows * static_cast<int>(SendMessageW(child.hwnd, CB_GETITEMHEIGHT, 0, 0)) + 2;
    SetWindowPos(child.hwnd, nullptr, Scale(child.bounds.left), Scale(child.bounds.top), Scale(child.bounds.width),
                 height, SWP_NOZORDER | SWP_NOACTIVATE);
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
    // The fonts first: a drop-down list's open rows are as high as its font.
    if (font_ != nullptr) MakeFonts();
    for (const Child& child : children_) PlaceChild(child);
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

const ui::forms::Control* Form::FocusedControl() const {
    HWND focus = GetFocus();
    if (focus == nullptr || !IsChild(hwnd_, focus)) return nullptr;
    const int id = GetDlgCtrlID(focus);
    for (const ui::forms::Control* control : form_->controls)
        if (ControlId(*form_, *control) == id) return control;
    return nullptr;
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DPICHANGED:
        ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case DM_GETDEFID: {
        // The dialog manager asks on Enter, unless the focused button is drawn as the
        // default, and then sends this button's click. These windows are no dialogs, so
        // nothing else moves the default to the focused button as a dialog would.
        const ui::forms::Control* pressed = ui::forms::EnterButton(*form_, FocusedControl());
        return pressed != nullptr ? MAKELRESULT(ControlId(*form_, *pressed), DC_HASDEFID) : 0;
    }
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    return form->HandleMessage(message, wParam, lParam);
}

}  // namespace kx::wgui
