#include "gui/win32/Gauge.h"

#include <algorithm>
#include <string>

#include "gui/win32/Form.h"

namespace kx::wgui {

namespace {

constexpr auto& Described = ui::forms::progress_window::ProgressGauge;
constexpr COLORREF FillColour = ColourOf(Described.colour);
constexpr COLORREF BackColour = RGB(255, 255, 255);

void DrawText(HDC dc, const RECT& area, const std::wstring& text, COLORREF colour, const RECT& clip) {
    SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    RECT box = area;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RestoreDC(dc, -1);
}

void Paint(HWND hwnd) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT area;
    GetClientRect(hwnd, &area);
    const int value = GaugeValue(hwnd);
    RECT filled = area, rest = area;
    filled.right = area.left + MulDiv(area.right - area.left, value - Described.minimum,
                                      Described.maximum - Described.minimum);
    rest.left = filled.right;
    HBRUSH fill = CreateSolidBrush(FillColour), back = CreateSolidBrush(BackColour);
    FillRect(dc, &filled, fill);
    FillRect(dc, &rest, back);
    DeleteObject(fill);
    DeleteObject(back);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd), WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    const std::wstring text = std::to_wstring(value) + L"%";
    DrawText(dc, area, text, BackColour, filled);
    DrawText(dc, area, text, RGB(0, 0, 0), rest);
    if (previous != nullptr) SelectObject(dc, previous);
    EndPaint(hwnd, &paint);
}

LRESULT CALLBACK GaugeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        Paint(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

const wchar_t* GaugeClass() {
    static const wchar_t* const name = [] {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = GaugeProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        cls.lpszClassName = L"KxbootGauge";
        RegisterClassExW(&cls);
        return L"KxbootGauge";
    }();
    return name;
}

void SetGaugeValue(HWND gauge, int percent) {
    const int value = std::clamp(percent, Described.minimum, Described.maximum);
    if (GaugeValue(gauge) == value) return;
    SetWindowLongPtrW(gauge, GWLP_USERDATA, value);
    InvalidateRect(gauge, nullptr, FALSE);
}

int GaugeValue(HWND gauge) { return static_cast<int>(GetWindowLongPtrW(gauge, GWLP_USERDATA)); }

}  // namespace kx::wgui
