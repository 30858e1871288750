// The Windows program's windows, driven by the messages a user's keys and clicks become.
// A message posted before a modal dialog runs is what its own loop then dispatches.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <optional>
#include <string>

#include "gui/win32/Gauge.h"
#include "gui/win32/MessagePump.h"
#include "gui/win32/TKX_RS232_SetBRDlg.h"
#include "gui/win32/TKX_RS232_SetNumDlg.h"
#include "gui/win32/TMainForm.h"
#include "gui/win32/TOpenDialog.h"
#include "gui/win32/TPasswDlg.h"
#include "gui/win32/TProgressForm.h"
#include "gui/win32/Win32UserInterface.h"
#include "link/KX_RS232.h"
#include "platform/win32/WinText.h"
#include "tests/app/TempDir.h"
#include "tests/support/FakePriority.h"
#include "tests/support/FakeSerial.h"

namespace kx::wgui {
namespace {

void PostKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, (1u << 31) | (1u << 30) | 1);
}

void PostText(HWND edit, const std::wstring& text) {
    PostMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class Win32Windows : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&controls);
    }
};

TEST_F(Win32Windows, PasswordFieldShowsDollarsAndTakesTenLettersOrDigits) {
    TPasswDlg dialog;
    HWND edit = dialog.Control(TPasswDlg::MaskEdit1);
    EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), L'$');
    PostText(edit, L"Ab1-й 9_xyzQWERTY");
    PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.Ask("Пароль?"), "Ab19xyzQWE");
    EXPECT_EQ(TextOf(dialog.Control(TPasswDlg::Label1)), L"Пароль?");
}

TEST_F(Win32Windows, PasswordDialogCancelledByEscCancelOrCloseBox) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        TPasswDlg dialog;
        HWND edit = dialog.Control(TPasswDlg::MaskEdit1);
        PostText(edit, L"QOX");
        if (way == 0) PostKey(edit, VK_ESCAPE);
        if (way == 1) PostMessageW(dialog.Handle(), WM_COMMAND, IDCANCEL, 0);
        if (way == 2) PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
        EXPECT_EQ(dialog.Ask("?"), std::nullopt);
    }
}

TEST_F(Win32Windows, EnterInThePasswordFieldPressesOk) {
    TPasswDlg dialog;
    HWND edit = dialog.Control(TPasswDlg::MaskEdit1);
    PostText(edit, L"QOX");
    PostKey(edit, VK_RETURN);
    EXPECT_EQ(dialog.Ask("?"), "QOX");
}

struct PortCase {
    int selected;
    const wchar_t* keys;  // before OK: Down moves the selection in the closed list
    std::optional<std::string> chosen;
};

TEST_F(Win32Windows, PortDialogAnswersTheSelectedEntry) {
    const PortCase cases[] = {
        {1, L"", "COM5"},   {-1, L"", ""},      {7, L"", ""},  // out of the list: none selected
        {0, L"D", "COM5"},  {1, L"D", "COM7"},  {1, L"E", std::nullopt},
        // numbers above 32 and of three digits; the last entry stays chosen past the end
        {2, L"D", "COM40"}, {3, L"DD", "COM256"},
    };
    for (const PortCase& c : cases) {
        SCOPED_TRACE(c.selected);
        TKX_RS232_SetNumDlg dialog;
        HWND list = dialog.Control(TKX_RS232_SetNumDlg::PCB);
        for (const wchar_t* key = c.keys; *key != 0; ++key) PostKey(list, *key == L'D' ? VK_DOWN : VK_ESCAPE);
        PostKey(list, VK_RETURN);
        EXPECT_EQ(dialog.Choose({"COM1", "COM5", "COM7", "COM40", "COM256"}, c.selected), c.chosen);
    }
}

struct RateCase {
    const wchar_t* typed;  // nullptr: nothing typed
    int upPresses;
    std::optional<double> rate;
};

TEST_F(Win32Windows, BaudRateDialogKeepsTheValueInRange) {
    const RateCase cases[] = {
        {nullptr, 0, 19200}, {L"57600", 0, 57600}, {L"5", 0, 110}, {L"99999999", 0, 921600},
        {nullptr, 2, 19220}, {L"921595", 1, 921600},
    };
    for (const RateCase& c : cases) {
        SCOPED_TRACE(c.typed != nullptr ? c.typed : L"-");
        TKX_RS232_SetBRDlg dialog;
        HWND edit = dialog.Control(TKX_RS232_SetBRDlg::BSE);
        if (c.typed != nullptr) PostText(edit, c.typed);
        for (int i = 0; i < c.upPresses; ++i) PostKey(edit, VK_UP);
        PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
        EXPECT_EQ(dialog.Choose(19200), c.rate);
    }
    TKX_RS232_SetBRDlg dialog;
    PostMessageW(dialog.Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(dialog.Choose(19200), std::nullopt);
}

TEST_F(Win32Windows, ProgressWindowGaugeAndCancel) {
    MessagePump pump;
    {
        TProgressForm form(pump);
        EXPECT_FALSE(form.Cancelled());
        HWND gauge = form.Control(TProgressForm::ProgressGauge);
        for (auto [set, shown] : {std::pair{42, 42}, {150, 100}, {-5, 0}}) {
            form.SetProgress(set);
            EXPECT_EQ(GaugeValue(gauge), shown);
        }
        PostMessageW(form.Handle(), WM_CLOSE, 0, 0);  // not a way out: only the load ends it
        pump.ProcessMessages();
        EXPECT_TRUE(IsWindowVisible(form.Handle()));
        EXPECT_FALSE(form.Cancelled());
        // Esc reaches the cancel button through the pump's dialog handling.
        PostKey(form.Control(TProgressForm::BitBtn1), VK_ESCAPE);
        pump.ProcessMessages();
        EXPECT_TRUE(form.Cancelled());
        PostMessageW(form.Handle(), WM_COMMAND, IDCANCEL, 0);
        pump.ProcessMessages();
        EXPECT_TRUE(form.Cancelled());
    }
    TProgressForm next(pump);
    EXPECT_FALSE(next.Cancelled());
}

// Presses `key` in the "Confirm" box once it is up (a timer of the box's own loop).
WPARAM confirmKey = 0;
void CALLBACK PressInConfirm(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"Confirm");
    if (box == nullptr) return;
    KillTimer(nullptr, timer);
    PostKey(GetDlgItem(box, IDYES), confirmKey);
}

TEST_F(Win32Windows, ConfirmAnswersYesOnlyToYes) {
    MessagePump pump;
    Win32UserInterface ui(pump);
    for (auto [key, yes] : {std::pair<WPARAM, bool>{VK_RETURN, true}, {VK_ESCAPE, false}, {'N', false}, {'Y', true}}) {
        SCOPED_TRACE(key);
        confirmKey = key;
        SetTimer(nullptr, 0, 50, PressInConfirm);
        EXPECT_EQ(ui.AskYesNo("Это действительно так?"), yes);
    }
}

TEST_F(Win32Windows, PumpReturnsAtOnceAndLeavesTheQuitRequest) {
    MessagePump pump;
    pump.ProcessMessages();  // an empty queue: returns without waiting
    PostQuitMessage(3);
    pump.ProcessMessages();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Win32Windows, OpenDialogFilterInTheSystemsForm) {
    EXPECT_EQ(SystemFilter("Файлы прошивок (*.rom)|*.rom"), std::wstring(L"Файлы прошивок (*.rom)\0*.rom\0\0", 30));
}

// The window opens where its presenter puts it: centred on its monitor, whatever place
// the settings file held; its busy state and image path show as the presenter says.
TEST_F(Win32Windows, MainWindowOpensCentredWhateverThePlacementSaid) {
    test::TempDir dir;
    const std::string settings = dir.File("kxboot.ini");
    std::ofstream(settings) << "[MainWindow]\r\nLeft=5000\r\nTop=5000\r\n";
    _wputenv_s(L"KXBOOT_SETTINGS", platform::win32::Utf8ToWide(settings).c_str());
    test::FakeClock clock;
    test::FakeSerialPorts ports(clock);
    test::FakePriority priority;
    ports.Add("COM1");
    MessagePump pump;
    Win32UserInterface ui(pump);
    TMainForm form(pump, ui, [&](kx::ui::UserInterface& linkUi) {
        return std::make_unique<link::TKX_RS>(nullptr, nullptr,
                                              link::LinkContext{.ui = linkUi, .ports = ports, .clock = clock,
                                                                .priority = priority});
    }, "kxboot-win32gui-test");
    ASSERT_FALSE(form.Presenter().MustEnd());
    form.FormShow();
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
    EXPECT_EQ(TextOf(form.Handle()), L"BootLoader for PIC33E");
    RECT frame;
    GetWindowRect(form.Handle(), &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(form.Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(frame.left + frame.right, monitor.rcMonitor.left + monitor.rcMonitor.right, 1);
    EXPECT_NEAR(frame.top + frame.bottom, monitor.rcMonitor.top + monitor.rcMonitor.bottom, 1);
    const app::WindowPlacement placement = form.Placement();
    EXPECT_EQ(placement.Left, frame.left);
    EXPECT_EQ(placement.Width, frame.right - frame.left);
    EXPECT_EQ(placement.BorderStyle, app::WindowPlacement::Border::Single);

    form.SetBusy(true);
    for (int id : {TMainForm::bRS232, TMainForm::bOpen, TMainForm::bLoad}) EXPECT_FALSE(IsWindowEnabled(form.Control(id)));
    form.SetBusy(false);
    for (int id : {TMainForm::bRS232, TMainForm::bOpen, TMainForm::bLoad}) EXPECT_TRUE(IsWindowEnabled(form.Control(id)));
    form.ShowImagePath("C:\\Прошивки\\МК.rom");
    EXPECT_EQ(TextOf(form.Control(TMainForm::lFN)), L"C:\\Прошивки\\МК.rom");
    EXPECT_TRUE(form.Presenter().FormClose());
    _wputenv_s(L"KXBOOT_SETTINGS", L"");
}

// Tab goes through the controls in the described order.
TEST_F(Win32Windows, TabFollowsTheDescribedOrder) {
    TKX_RS232_SetBRDlg dialog;
    HWND at = dialog.Control(IDOK);
    for (int next : {IDCANCEL, TKX_RS232_SetBRDlg::BSE, IDOK}) {  // Help is disabled: no stop there
        at = GetNextDlgTabItem(dialog.Handle(), at, FALSE);
        EXPECT_EQ(GetDlgCtrlID(at), next);
    }
}

}  // namespace
}  // namespace kx::wgui
