// The Windows program's windows, driven by the messages a user's keys and clicks become.
// A message posted before a modal dialog runs is what its own loop then dispatches.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

// Runs `action` once from a timer of the message loop that runs next (a modal dialog's,
// a load's): the way into a loop the test does not run itself. One at a time; a new one
// replaces what is still pending.
struct Soon {
    static inline std::function<void()> action;
    static inline UINT_PTR timer = 0;

    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD) {
        Cancel();
        std::function<void()> run = std::move(action);
        action = nullptr;
        if (run) run();
    }
    static void Do(std::function<void()> next) {
        Cancel();
        action = std::move(next);
        timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, Fire);
    }
    static void Cancel() {
        if (timer != 0) KillTimer(nullptr, timer);
        timer = 0;
    }
};

// A left click near the bottom left corner of `window`, through the system's input queue
// as the mouse gives it, so the window system activates what it hits.
void ClickNearCorner(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    const int x = frame.left + 10, y = frame.bottom - 10;
    const int width = GetSystemMetrics(SM_CXSCREEN) - 1, height = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT input[3] = {};
    const DWORD flags[] = {MOUSEEVENTF_MOVE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dx = MulDiv(x, 65535, width);
        input[i].mi.dy = MulDiv(y, 65535, height);
        input[i].mi.dwFlags = flags[i] | MOUSEEVENTF_ABSOLUTE;
    }
    SendInput(3, input, sizeof(INPUT));
}

// True when `upper` lies above `lower` in the window system's order.
bool Above(HWND upper, HWND lower) {
    for (HWND below = GetWindow(upper, GW_HWNDNEXT); below != nullptr; below = GetWindow(below, GW_HWNDNEXT))
        if (below == lower) return true;
    return false;
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

// Puts the keyboard on `dialog`'s control `focus` once the dialog runs, as a click puts
// it, and presses Enter there; should Enter do nothing, the next tick cancels the dialog.
void EnterOnceRunning(const Form& dialog, int focus) {
    Soon::Do([&dialog, focus] {
        SetFocus(dialog.Control(focus));
        PostKey(dialog.Control(focus), VK_RETURN);
        Soon::Do([&dialog] { PostMessageW(dialog.Handle(), WM_COMMAND, IDCANCEL, 0); });
    });
}

TEST_F(Win32Windows, EnterPressesTheFocusedButtonElseTheDefault) {
    // Each dialog run to its end with Enter pressed on its control `focus`: true for OK.
    using RunDialog = bool (*)(int focus);
    const RunDialog password = [](int focus) {
        TPasswDlg dialog;
        EnterOnceRunning(dialog, focus);
        return dialog.Ask("?").has_value();
    };
    const RunDialog port = [](int focus) {
        TKX_RS232_SetNumDlg dialog;
        EnterOnceRunning(dialog, focus);
        return dialog.Choose({"COM1", "COM5"}, 1).has_value();
    };
    const RunDialog rate = [](int focus) {
        TKX_RS232_SetBRDlg dialog;
        EnterOnceRunning(dialog, focus);
        return dialog.Choose(19200).has_value();
    };
    const struct {
        RunDialog run;
        int focus;
        bool ok;
    } cases[] = {
        {password, IDOK, true}, {password, IDCANCEL, false}, {password, TPasswDlg::MaskEdit1, true},
        {port, IDOK, true},     {port, IDCANCEL, false},     {port, TKX_RS232_SetNumDlg::PCB, true},
        {rate, IDOK, true},     {rate, IDCANCEL, false},     {rate, TKX_RS232_SetBRDlg::BSE, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cases[i].run(cases[i].focus), cases[i].ok);
        Soon::Cancel();
    }
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
        TProgressForm form(pump, nullptr);
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
    TProgressForm next(pump, nullptr);
    EXPECT_FALSE(next.Cancelled());
    // Enter on the focused cancel button presses it.
    SetFocus(next.Control(TProgressForm::BitBtn1));
    PostKey(next.Control(TProgressForm::BitBtn1), VK_RETURN);
    pump.ProcessMessages();
    EXPECT_TRUE(next.Cancelled());
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

// The program's own windows, but every message box recorded instead of waiting for a
// person to answer it.
class RecordedBoxes final : public kx::ui::UserInterface {
public:
    explicit RecordedBoxes(Win32UserInterface& windows) : windows_(windows) {}

    void ShowError(const std::string& message) override { boxes.push_back("Error|" + message); }
    void ShowInfo(const std::string& message) override { boxes.push_back("Information|" + message); }
    bool AskYesNo(const std::string& message) override {
        boxes.push_back("Confirm|" + message);
        return false;
    }
    void ProcessMessages() override { windows_.ProcessMessages(); }
    std::unique_ptr<kx::ui::ProgressWindow> CreateProgress() override { return windows_.CreateProgress(); }
    std::optional<std::string> ChoosePort(const std::vector<std::string>&, int) override { return std::nullopt; }
    std::optional<double> ChooseBaudRate(std::uint32_t) override { return std::nullopt; }
    std::optional<std::string> EnterPassword(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&) override { return std::nullopt; }

    std::vector<std::string> boxes;

private:
    Win32UserInterface& windows_;
};

// Enter on the focused Load button starts a load that wakes a silent device until it is
// cancelled. A click on the main window meanwhile leaves the progress window above it
// and hands it the keyboard; the close box then cancels the load, silently, and the
// window closes once the load has ended.
TEST_F(Win32Windows, ProgressWindowStaysInFrontOfTheMainWindowItBelongsTo) {
    test::TempDir dir;
    const std::string image = dir.File("device.rom");
    std::ofstream(image, std::ios::binary) << std::string(9219, '\x11');
    const std::string settings = dir.File("kxboot.ini");
    std::ofstream(settings, std::ios::binary) << "[Common]\r\nFN=" << image << "\r\n";
    _wputenv_s(L"KXBOOT_SETTINGS", platform::win32::Utf8ToWide(settings).c_str());
    test::FakeClock clock;
    test::FakeSerialPorts ports(clock);
    test::FakePriority priority;
    // Should the cancel never arrive, the line breaks the wake loop instead of hanging;
    // the attempts come as fast as the fake clock lets them, far more than the timers' ticks.
    constexpr int MostWrites = 200000;
    int writes = 0;
    ports.Add("COM1")->onWrite = [&writes](const test::Bytes&) {
        if (++writes > MostWrites) throw std::runtime_error("the cancel never reached the load");
    };
    MessagePump pump;
    Win32UserInterface windows(pump);
    RecordedBoxes ui(windows);
    TMainForm form(pump, ui, [&](kx::ui::UserInterface& linkUi) {
        return std::make_unique<link::TKX_RS>(nullptr, nullptr,
                                              link::LinkContext{.ui = linkUi, .ports = ports, .clock = clock,
                                                                .priority = priority});
    }, "kxboot-win32gui-test");
    windows.SetOwner(form.Handle());
    form.FormShow();

    HWND progress = nullptr, owner = nullptr, activeAfterClick = nullptr, foregroundAfterClick = nullptr;
    bool aboveAfterClick = false;
    std::function<void()> click = [&] {
        progress = FindWindowW(L"KxbootForm", L"Progress...");
        if (progress == nullptr) return Soon::Do(click);
        owner = GetWindow(progress, GW_OWNER);
        ClickNearCorner(form.Handle());  // the main window's part the progress window leaves free
        Soon::Do([&] {
            activeAfterClick = GetActiveWindow();
            foregroundAfterClick = GetForegroundWindow();
            aboveAfterClick = Above(progress, form.Handle());
            PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
        });
    };
    Soon::Do(click);
    HWND load = form.Control(TMainForm::bLoad);
    SetFocus(load);
    PostKey(load, VK_RETURN);
    pump.ProcessMessages();  // the load runs in here, until the close box cancels it
    Soon::Cancel();

    ASSERT_NE(progress, nullptr) << "Enter on the Load button started no load";
    // Owned, so that a window manager too keeps it above the main window.
    EXPECT_EQ(owner, form.Handle());
    EXPECT_EQ(activeAfterClick, progress);
    EXPECT_EQ(foregroundAfterClick, progress);
    EXPECT_TRUE(aboveAfterClick);
    EXPECT_GT(writes, 0);
    EXPECT_LE(writes, MostWrites);
    EXPECT_EQ(ui.boxes, std::vector<std::string>{});  // a cancel ends silently
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_FALSE(form.Presenter().SessionRunning());
    // The window closed as its close box does once the load had ended: the program ends.
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
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
