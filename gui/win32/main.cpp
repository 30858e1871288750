// The Windows desktop program: one main window, one link, one copy at a time.
#include <windows.h>

#include <commctrl.h>

#include "gui/win32/MessagePump.h"
#include "gui/win32/SelfTest.h"
#include "gui/win32/TMainForm.h"
#include "gui/win32/Win32UserInterface.h"
#include "app/MainPresenter.h"
#include "link/KX_RS232.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);

    kx::wgui::MessagePump pump;
    kx::wgui::Win32UserInterface userInterface(pump);
    kx::wgui::TMainForm MainForm(pump, userInterface, [](kx::ui::UserInterface& ui) {
        return std::make_unique<kx::link::TKX_RS>(nullptr, nullptr, kx::link::SystemLinkContext(ui));
    });
    // A second copy ends here, before it shows anything or touches port or settings.
    if (MainForm.Presenter().MustEnd()) return 0;
    userInterface.SetOwner(MainForm.Handle());

    const auto selfTest =
        kx::wgui::SelfTest::FromEnvironment(MainForm.Handle(), kx::wgui::TMainForm::bLoad, MainForm.Presenter());
    MainForm.FormShow();
    return pump.Run();
}
