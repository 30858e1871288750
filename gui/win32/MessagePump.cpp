#include "gui/win32/MessagePump.h"

#include <algorithm>

namespace kx::wgui {

namespace {
// A window that keeps asking to be painted must not hold the load up for ever.
constexpr int MaxMessagesPerCall = 1000;
}

void MessagePump::ProcessMessages() {
    MSG msg;
    for (int n = 0; n < MaxMessagesPerCall && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

int MessagePump::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
    return static_cast<int>(msg.wParam);
}

void MessagePump::Dispatch(MSG& msg) {
    for (HWND window : modeless_)
        if (IsWindow(window) && IsDialogMessageW(window, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void MessagePump::AddModeless(HWND window) { modeless_.insert(modeless_.begin(), window); }

void MessagePump::RemoveModeless(HWND window) {
    modeless_.erase(std::remove(modeless_.begin(), modeless_.end(), window), modeless_.end());
}

}  // namespace kx::wgui
