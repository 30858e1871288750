#pragma once
// What the main window does, without a toolkit: start-up (environment, link, line mode,
// stored port, image path, placement, access, rate), shut-down (settings written), the
// three buttons, the busy state while a session runs, the error boundary, and whether a
// second copy must end. A front end is its widgets plus wiring to this.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/BootSession.h"
#include "app/JustOne.h"
#include "app/KXIniFile.h"

namespace kx::link {
class TKX_RS;
}
namespace kx::ui {
class UserInterface;
}

namespace kx::app {

// The main window as the presenter sees it.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void ShowImagePath(const std::string& path) = 0;
    // A session runs: what could start another or end the program is disabled.
    virtual void SetBusy(bool busy) = 0;
    // The window's placement now (the defaults for what the settings file lacks).
    virtual WindowPlacement Placement() const = 0;
    virtual void ApplyPlacement(const WindowPlacement& placement) = 0;
    // Closes the window as its close box does (the presenter's FormClose runs).
    virtual void Close() = 0;
};

class MainPresenter {
public:
    static constexpr std::uint32_t StartBaudRate = 19200;
    static constexpr std::uint8_t StartLineMode = 2;   // RS485 with echo
    static constexpr WindowPlacement::Border MainBorder = WindowPlacement::Border::Single;

    // Makes the one link, talking to the interface it is given; the front end decides which
    // ports, clock and priorities it uses (the system's, or a test's fakes).
    using LinkFactory = std::function<std::unique_ptr<link::TKX_RS>(ui::UserInterface&)>;

    // Takes the single-instance lock `mutexName` (the program file's name when empty).
    MainPresenter(MainView& view, ui::UserInterface& ui, LinkFactory makeLink, const std::string& mutexName = {});
    ~MainPresenter();
    MainPresenter(const MainPresenter&) = delete;
    MainPresenter& operator=(const MainPresenter&) = delete;

    // Another copy runs (or the lock could not be made): end before showing anything.
    bool MustEnd() const { return JustOne1.TerminateRequested(); }

    void FormShow();
    // False while a session runs: the window stays open (its cancel is the way out).
    // Otherwise the settings are written; a failure is reported and the window closes anyway.
    bool FormClose();
    void bRS232Click();
    void bOpenClick();
    void bLoadClick();
    // The system asks the program to end (SIGTERM, the session ending): true when the
    // window may close now; during a session false, and the window closes once it ends,
    // which the front end hastens by cancelling its progress window.
    bool RequestEnd();

    // The placement kept in the settings file, applied to the view (part of FormShow).
    void RestorePlacement(const TKXIniFile& ini);

    bool SessionRunning() const { return sessionRunning_; }
    const std::string& ImageFileName() const { return imageFileName_; }
    const HeadBytes& Head() const { return headBytes_; }
    link::TKX_RS* Link() const { return link_.get(); }
    const std::string& InitialDir() const { return initialDir_; }

    TJustOne JustOne1;

private:
    void ReadSettings();
    void WriteSettings();
    // The application's general error report for what a handler did not expect.
    void Guarded(const std::function<void()>& handler);

    MainView& view_;
    ui::UserInterface& ui_;
    LinkFactory makeLink_;
    std::unique_ptr<link::TKX_RS> link_;
    std::string imageFileName_;
    HeadBytes headBytes_{};
    std::string initialDir_;
    bool sessionRunning_ = false;
    bool endRequested_ = false;
};

}  // namespace kx::app
