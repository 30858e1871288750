#pragma once
// Lets the pending window messages run while a load keeps the user-interface thread
// busy. It never waits for a message. Keys for the program's modeless windows (the main
// window, the progress window) go through the dialog manager first, so Tab, Enter and
// Esc work in them as in a dialog.
#include <windows.h>

#include <vector>

namespace kx::wgui {

class MessagePump {
public:
    // Dispatches what is waiting now and returns. A quit request is left in the queue
    // for the main loop.
    void ProcessMessages();
    // The main loop: waits for and dispatches messages until the program is asked to end;
    // returns the exit code.
    int Run();

    void AddModeless(HWND window);
    void RemoveModeless(HWND window);

private:
    void Dispatch(MSG& msg);

    std::vector<HWND> modeless_;
};

// Keeps a window in the pump's modeless list for the object's lifetime.
class ModelessRegistration {
public:
    ModelessRegistration(MessagePump& pump, HWND window) : pump_(pump), window_(window) { pump_.AddModeless(window_); }
    ~ModelessRegistration() { pump_.RemoveModeless(window_); }
    ModelessRegistration(const ModelessRegistration&) = delete;
    ModelessRegistration& operator=(const ModelessRegistration&) = delete;

private:
    MessagePump& pump_;
    HWND window_;
};

}  // namespace kx::wgui
