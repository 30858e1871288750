// The main window's rules without a toolkit: start-up and shut-down with the settings
// file, where the window opens, the open dialog, the busy state of a session, ending the
// program during a load and the error boundary, against a scripted user interface, a
// fake view and fake serial ports.
#include "app/MainPresenter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "app/KXIniFile.h"
#include "link/KX_RS232.h"
#include "link/LoadOutcome.h"
#include "platform/Process.h"
#include "tests/app/TempDir.h"
#include "tests/support/FakePriority.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/ScriptedUi.h"
#include "ui/PassW.h"

namespace kx::test {
namespace {

using app::WindowPlacement;

class FakeView final : public app::MainView {
public:
    void SetCaption(const std::string& text) override { caption = text; }
    void ShowImagePath(const std::string& path) override { shownPath = path; }
    void SetBusy(bool value) override { busy.push_back(value); }
    WindowPlacement Placement() const override { return placement; }
    void ApplyPlacement(const WindowPlacement& value) override {
        placement = value;
        ++placementsApplied;
    }
    app::ScreenArea Screen() const override { return screen; }
    void Close() override { ++closes; }

    std::string caption = "none";
    std::string shownPath = "none";
    std::vector<bool> busy;
    WindowPlacement placement{WindowPlacement::Normal, 3, 4, 367, 280, WindowPlacement::Border::Sizeable};
    app::ScreenArea screen{100, 20, 1024, 768};  // a second monitor, right of the first
    int placementsApplied = 0;
    int closes = 0;
};

class Presenter : public ::testing::Test {
protected:
    Presenter() {
        line = ports.Add("/dev/ttyFAKE0");
        ports.Add("/dev/ttyFAKE1");
        ::setenv("KXBOOT_SETTINGS", settings.c_str(), 1);
        ui::AccessGranted = false;
    }
    ~Presenter() override {
        ::unsetenv("KXBOOT_SETTINGS");
        ui::AccessGranted = false;
    }

    std::unique_ptr<app::MainPresenter> Make(const std::string& lock = "kxboot-presenter-test") {
        return std::make_unique<app::MainPresenter>(
            view, this->ui,
            [this](ui::UserInterface& linkUi) {
                return std::make_unique<link::TKX_RS>(nullptr, nullptr,
                                                      link::LinkContext{.ui = linkUi, .ports = ports, .clock = clock, .priority = priority});
            },
            lock);
    }

    TempDir dir;
    std::string settings = dir.File("kxboot.ini");
    FakeClock clock;
    FakeSerialPorts ports{clock};
    FakePriority priority;
    std::shared_ptr<FakeLine> line;
    ScriptedUi ui;
    FakeView view;
};

TEST_F(Presenter, ShowSetsUpTheLinkAndCloseWritesEverySetting) {
    WriteAll(settings, "[MainWindow]\nState=0\nLeft=40\nTop=50\nWidth=999\n");
    auto presenter = Make();
    EXPECT_EQ(presenter->Link(), nullptr);  // nothing is touched before the window shows
    presenter->FormShow();
    EXPECT_EQ(view.caption, "BootLoader for PIC33E");
    EXPECT_EQ(view.shownPath, "");
    ASSERT_NE(presenter->Link(), nullptr);
    EXPECT_EQ(presenter->Link()->LineMode, 2);
    EXPECT_EQ(presenter->Link()->BaudRate, 19200u);
    EXPECT_EQ(line->baud, 19200u);
    EXPECT_EQ(presenter->Link()->PortName, "/dev/ttyFAKE0");
    EXPECT_TRUE(ui::AccessGranted);
    EXPECT_EQ(presenter->InitialDir(), platform::ExecutableDir());
    EXPECT_EQ(view.placementsApplied, 1);

    view.placement = {WindowPlacement::Minimized, 7, 8, 367, 280, WindowPlacement::Border::Sizeable};
    EXPECT_TRUE(presenter->FormClose());
    const app::TKXIniFile ini(settings);
    EXPECT_EQ(ini.ReadString("Common", "FN", "absent"), "");
    EXPECT_EQ(ini.ReadString("RS232", "Port", ""), "/dev/ttyFAKE0");
    const std::pair<const char*, int> written[] = {{"State", 1}, {"Left", 7}, {"Top", 8}, {"Width", 367}, {"Height", 280}};
    for (const auto& [key, value] : written) EXPECT_EQ(ini.ReadInteger("MainWindow", key, -1), value) << key;
    EXPECT_TRUE(ui.events.empty());
}

// A second show replaces the link: the old one must let go of the stored port before the
// new one opens it, or the port is busy and a box says so.
TEST_F(Presenter, ShowingTheWindowAgainReopensTheStoredPortWithoutABox) {
    WriteAll(settings, "[RS232]\nPort=/dev/ttyFAKE1\n");
    auto presenter = Make();
    for (int show = 1; show <= 2; ++show) {
        SCOPED_TRACE(show);
        presenter->FormShow();
        ASSERT_NE(presenter->Link(), nullptr);
        EXPECT_EQ(presenter->Link()->PortName, "/dev/ttyFAKE1");
        EXPECT_TRUE(presenter->Link()->PortOpen());
        EXPECT_TRUE(ui.events.empty()) << ui.events.front();
    }
}

// The window always opens centred on its screen at its own size (the border is fixed),
// in the stored state when it is one the window knows.
TEST_F(Presenter, TheWindowOpensCentredInTheStoredStateIfKnown) {
    const struct {
        const char* stored;
        int state;
    } cases[] = {
        {"", WindowPlacement::Normal},
        {"State=0\nLeft=10\nTop=20\n", WindowPlacement::Normal},
        {"Left=5000\nTop=5000\n", WindowPlacement::Normal},
        {"Left=-20\nTop=-30\nWidth=1000\nHeight=-5\n", WindowPlacement::Normal},
        {"State=1\nLeft=10\nTop=20\n", WindowPlacement::Minimized},
        {"State=2\n", WindowPlacement::Maximized},
        {"State=7\n", WindowPlacement::Normal},
        {"State=-1\n", WindowPlacement::Normal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        WriteAll(settings, std::string("[MainWindow]\n") + c.stored);
        view.placement = {WindowPlacement::Normal, 3, 4, 367, 280, WindowPlacement::Border::Sizeable};
        Make()->FormShow();
        EXPECT_EQ(view.placement.State, c.state);
        EXPECT_EQ(view.placement.Left, 100 + (1024 - 367) / 2);
        EXPECT_EQ(view.placement.Top, 20 + (768 - 280) / 2);
        EXPECT_EQ(view.placement.Width, 367);
        EXPECT_EQ(view.placement.Height, 280);
    }
    // Settings that cannot be read at all still open the window centred.
    ::setenv("KXBOOT_SETTINGS", dir.File("kxboot.ini/not-a-folder/kxboot.ini").c_str(), 1);
    view.placement.State = WindowPlacement::Maximized;
    Make()->FormShow();
    EXPECT_EQ(ui.Errors().size(), 1u);
    EXPECT_EQ(view.placement.Left, 100 + (1024 - 367) / 2);
    EXPECT_EQ(view.placement.Top, 20 + (768 - 280) / 2);
}

TEST_F(Presenter, TheChosenImageIsShownKeptOnCancelAndRestoredNextTime) {
    const std::string image = dir.File("прошивка.rom");
    {
        auto presenter = Make();
        presenter->FormShow();
        ui.fileAnswers = {image, std::nullopt};
        presenter->bOpenClick();
        EXPECT_EQ(ui.lastFileFilter, "Файлы прошивок (*.rom)|*.rom");
        EXPECT_EQ(ui.lastFileDir, platform::ExecutableDir());
        presenter->bOpenClick();  // cancelled: nothing changes
        EXPECT_EQ(presenter->ImageFileName(), image);
        EXPECT_EQ(view.shownPath, image);
        EXPECT_TRUE(presenter->FormClose());
    }
    auto next = Make();
    next->FormShow();
    EXPECT_EQ(view.shownPath, image);
    EXPECT_EQ(next->ImageFileName(), image);
}

// While a session runs the window is busy: a second load and the other buttons do
// nothing, and the cancel reaches the session through the pumped messages. Asking the
// program to end meanwhile, by the close box or by the system, does the same as the
// progress window's Cancel: the load stops silently at its next safe point; then the
// window closes, which a Cancel alone never does.
TEST_F(Presenter, ASessionEndsSilentlyWhenCancelledOrWhenTheProgramIsToEnd) {
    enum class Way { CancelButton, CloseBox, System };
    WriteAll(dir.File("device.rom"), std::string(9219, '\x11'));
    WriteAll(settings, "[Common]\nFN=" + dir.File("device.rom") + "\n");
    long cancelledAfter = 0;  // the message-pump calls a load takes to stop after a Cancel
    for (const Way way : {Way::CancelButton, Way::CloseBox, Way::System}) {
        SCOPED_TRACE(static_cast<int>(way));
        view = FakeView{};
        ui = ScriptedUi{};
        auto presenter = Make();
        presenter->FormShow();
        long askedAt = 0;
        ui.onProcessMessages = [&](long call) {
            // A load that never stops is a failure, not a hang.
            if (call > 1000 && ui.progress != nullptr) ui.progress->cancelled = true;
            if (call != 3) return;
            askedAt = call;
            EXPECT_TRUE(presenter->SessionRunning());
            presenter->bLoadClick();
            presenter->bOpenClick();
            presenter->bRS232Click();
            ASSERT_NE(ui.progress, nullptr);
            switch (way) {
                case Way::CancelButton: ui.progress->cancelled = true; break;
                case Way::CloseBox: EXPECT_FALSE(presenter->FormClose()); break;
                case Way::System: EXPECT_FALSE(presenter->RequestEnd()); break;
            }
            EXPECT_EQ(view.closes, 0);
        };
        presenter->bLoadClick();
        EXPECT_EQ(askedAt, 3);
        // Stopped where the Cancel button stops it: at the next safe point.
        if (way == Way::CancelButton) cancelledAfter = ui.processMessagesCalls;
        EXPECT_EQ(ui.processMessagesCalls, cancelledAfter);
        EXPECT_LT(ui.processMessagesCalls, 1000);
        EXPECT_EQ(view.busy, (std::vector<bool>{true, false}));
        EXPECT_EQ(ui.progressWindowsCreated, 1);
        EXPECT_FALSE(ui.Has("file-dialog"));
        EXPECT_FALSE(ui.Has("port-dialog"));
        EXPECT_TRUE(ui.Errors().empty());
        EXPECT_TRUE(ui.Infos().empty());
        ASSERT_TRUE(presenter->LastOutcome().has_value());
        EXPECT_EQ(presenter->LastOutcome()->reason, link::LoadReason::Cancelled);
        EXPECT_FALSE(presenter->SessionRunning());
        EXPECT_EQ(view.closes, way == Way::CancelButton ? 0 : 1);
        EXPECT_TRUE(presenter->RequestEnd());  // idle: the window may close at once
        EXPECT_TRUE(presenter->FormClose());
    }
}

// What a handler did not expect is reported in a box; it never keeps the window from
// opening or from closing.
TEST_F(Presenter, UnusableSettingsAreReportedAndNeverKeepTheWindowOpen) {
    WriteAll(dir.File("plain-file"), "x");
    ::setenv("KXBOOT_SETTINGS", dir.File("plain-file/kxboot.ini").c_str(), 1);
    auto presenter = Make();
    presenter->FormShow();
    ASSERT_EQ(ui.Errors().size(), 1u);
    EXPECT_TRUE(presenter->FormClose());
    EXPECT_EQ(ui.Errors().size(), 2u);
}

TEST_F(Presenter, OnlyTheFirstCopyMayGoOn) {
    const auto first = Make("kxboot-presenter-once");
    EXPECT_FALSE(first->MustEnd());
    EXPECT_TRUE(Make("kxboot-presenter-once")->MustEnd());
    EXPECT_FALSE(Make("kxboot-presenter-other")->MustEnd());
    EXPECT_EQ(view.caption, "none");  // a copy that must end has shown nothing
}

}  // namespace
}  // namespace kx::test
