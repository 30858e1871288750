#pragma once
// What the main window does, without a toolkit: start-up (environment, link, line mode,
// stored port, image path, placement, access, rate), where the window opens, shut-down
// (settings written), the three buttons, the busy state while a session runs, what
// ending the program during a load does, the error boundary, and whether a second copy
// must end. A front end is its widgets plus wiring to this: it makes its presenter over
// its main window, ends at once when MustEnd, and hands the presenter every click, the
// first show, every close and every request of the system to end.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

// A screen's rectangle in pixels, as the window system places windows on it.
struct ScreenArea {
    int left = 0, top = 0, width = 0, height = 0;
};

// The main window as the presenter sees it.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void ShowImagePath(const std::string& path) = 0;
    // A session runs: the buttons that could start another or change the port are disabled.
    virtual void SetBusy(bool busy) = 0;
    // The window's placement now: its state and its outer frame.
    virtual WindowPlacement Placement() const = 0;
    // Puts the window into the placement's state and its outer frame at Left, Top (the
    // position a minimised or maximised window goes back to); the size stays the window's.
    virtual void ApplyPlacement(const WindowPlacement& placement) = 0;
    // The screen the window is on.
    virtual ScreenArea Screen() const = 0;
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
    // The window closes (close box, Alt+F4): the settings are written and the answer is
    // true; a failure is reported and the window closes anyway. During a load it is an
    // end asked for, as RequestEnd: false for now.
    bool FormClose();
    void bRS232Click();
    void bOpenClick();
    void bLoadClick();
    // The program is asked to end (the close box, SIGTERM, the system's session ending):
    // true when the window may close now. During a load false: the load is cancelled at
    // its next safe point, as its progress window's Cancel does, and the window closes
    // once the load has ended.
    bool RequestEnd();

    bool SessionRunning() const { return sessionRunning_; }
    const std::string& ImageFileName() const { return imageFileName_; }
    const HeadBytes& Head() const { return headBytes_; }
    // How the last press of Load ended; none before the first, or when it left by an error.
    const std::optional<link::LoadOutcome>& LastOutcome() const { return lastOutcome_; }
    link::TKX_RS* Link() const { return link_.get(); }
    const std::string& InitialDir() const { return initialDir_; }

    TJustOne JustOne1;

private:
    class LinkUi;

    // Also gives where the window opens.
    void ReadSettings(WindowPlacement& opening);
    // Where the window opens: in the stored state when it is one the window knows (else
    // normal), at its own size (the border is fixed), its frame centred on `screen`
    // whatever position was stored.
    static WindowPlacement OpeningPlacement(const TKXIniFile& ini, const WindowPlacement& window,
                                            const ScreenArea& screen);
    void WriteSettings();
    // The application's general error report for what a handler did not expect.
    void Guarded(const std::function<void()>& handler);

    MainView& view_;
    ui::UserInterface& ui_;
    bool endRequested_ = false;
    std::unique_ptr<LinkUi> linkUi_;  // what the link talks to; outlives it
    LinkFactory makeLink_;
    std::unique_ptr<link::TKX_RS> link_;
    std::string imageFileName_;
    HeadBytes headBytes_{};
    std::optional<link::LoadOutcome> lastOutcome_;
    std::string initialDir_;
    bool sessionRunning_ = false;
};

}  // namespace kx::app
