#include "app/MainPresenter.h"

#include <exception>

#include "ui/Texts.h"
#include "link/KX_RS232.h"
#include "platform/Process.h"
#include "ui/PassW.h"
#include "ui/SysUtils.h"
#include "ui/UserInterface.h"

namespace kx::app {
namespace {

constexpr const char* MainSection = "MainWindow";

TJustOne MakeGuard(const std::string& name) { return name.empty() ? TJustOne() : TJustOne(name); }

// Marks a session as running for exactly its extent, whichever way it ends.
class BusyScope {
public:
    BusyScope(bool& running, MainView& view) : running_(running), view_(view) {
        running_ = true;
        view_.SetBusy(true);
    }
    ~BusyScope() {
        running_ = false;
        view_.SetBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& running_;
    MainView& view_;
};

// The window's frame in the middle of the screen, at the window's own size.
WindowPlacement CentredOn(WindowPlacement placement, const ScreenArea& screen) {
    placement.Left = screen.left + (screen.width - placement.Width) / 2;
    placement.Top = screen.top + (screen.height - placement.Height) / 2;
    return placement;
}

// A load's progress window that also reads as cancelled once the program is to end.
class EndingProgress final : public ui::ProgressWindow {
public:
    EndingProgress(std::unique_ptr<ui::ProgressWindow> window, const bool& ending)
        : window_(std::move(window)), ending_(ending) {}

    void SetLabel(const std::string& text) override { window_->SetLabel(text); }
    void SetGaugeVisible(bool visible) override { window_->SetGaugeVisible(visible); }
    void SetProgress(int percent) override { window_->SetProgress(percent); }
    void ShowCancelButton() override { window_->ShowCancelButton(); }
    bool Cancelled() const override { return ending_ || window_->Cancelled(); }
    void PagesDone(int done, int total, std::size_t bytesPerPage) override {
        window_->PagesDone(done, total, bytesPerPage);
    }

private:
    std::unique_ptr<ui::ProgressWindow> window_;
    const bool& ending_;
};

}  // namespace

// The front end's user interface, through which the link reports, except that a load
// asked to end stops at its next safe point as if its Cancel had been pressed.
class MainPresenter::LinkUi final : public ui::UserInterface {
public:
    LinkUi(ui::UserInterface& ui, const bool& ending) : ui_(ui), ending_(ending) {}

    void ShowError(const std::string& message) override { ui_.ShowError(message); }
    void ShowInfo(const std::string& message) override { ui_.ShowInfo(message); }
    bool AskYesNo(const std::string& message) override { return ui_.AskYesNo(message); }
    void ProcessMessages() override { ui_.ProcessMessages(); }
    std::unique_ptr<ui::ProgressWindow> CreateProgress() override {
        return std::make_unique<EndingProgress>(ui_.CreateProgress(), ending_);
    }
    std::optional<std::string> ChoosePort(const std::vector<std::string>& entries, int selected) override {
        return ui_.ChoosePort(entries, selected);
    }
    std::optional<double> ChooseBaudRate(std::uint32_t current) override { return ui_.ChooseBaudRate(current); }
    std::optional<std::string> EnterPassword(const std::string& prompt) override { return ui_.EnterPassword(prompt); }
    std::optional<std::string> ChooseFile(const std::string& filter, const std::string& initialDir) override {
        return ui_.ChooseFile(filter, initialDir);
    }

private:
    ui::UserInterface& ui_;
    const bool& ending_;
};

MainPresenter::MainPresenter(MainView& view, ui::UserInterface& ui, LinkFactory makeLink, const std::string& mutexName)
    : JustOne1(MakeGuard(mutexName)),
      view_(view),
      ui_(ui),
      linkUi_(std::make_unique<LinkUi>(ui, endRequested_)),
      makeLink_(std::move(makeLink)) {}

MainPresenter::~MainPresenter() = default;

void MainPresenter::FormShow() {
    WindowPlacement opening = CentredOn(view_.Placement(), view_.Screen());
    Guarded([this, &opening] {
        view_.SetCaption(texts::ShownCaption);
        ui::InitEnvironment();
        link_.reset();  // a link from an earlier show lets go of its port first
        link_ = makeLink_(*linkUi_);
        link_->SetLineMode(StartLineMode);
        imageFileName_.clear();
        ReadSettings(opening);
        view_.ShowImagePath(imageFileName_);
        ui::AccessGranted = true;
        initialDir_ = platform::ExecutableDir();
        link_->SetBaudRate(StartBaudRate);
    });
    // Settings that could not be read still leave the window centred.
    view_.ApplyPlacement(opening);
}

void MainPresenter::ReadSettings(WindowPlacement& opening) {
    TKXIniFile ini;
    link_->LoadSettings(ini);
    imageFileName_ = ini.ReadString("Common", "FN", "");
    opening = OpeningPlacement(ini, view_.Placement(), view_.Screen());
}

WindowPlacement MainPresenter::OpeningPlacement(const TKXIniFile& ini, const WindowPlacement& window,
                                                const ScreenArea& screen) {
    WindowPlacement placement = window;
    placement.BorderStyle = MainBorder;
    ini.ReadPlacement(MainSection, placement);
    const bool known = placement.State == WindowPlacement::Minimized || placement.State == WindowPlacement::Maximized;
    placement.State = known ? placement.State : WindowPlacement::Normal;
    placement.Width = window.Width;
    placement.Height = window.Height;
    return CentredOn(placement, screen);
}

bool MainPresenter::FormClose() {
    if (!RequestEnd()) return false;
    Guarded([this] { WriteSettings(); });
    return true;
}

void MainPresenter::WriteSettings() {
    ui::InitEnvironment();
    TKXIniFile ini;
    if (link_) link_->SaveSettings(ini);
    ini.WriteString("Common", "FN", imageFileName_);
    WindowPlacement placement = view_.Placement();
    placement.BorderStyle = MainBorder;
    ini.WritePlacement(MainSection, placement);
}

void MainPresenter::bRS232Click() {
    if (!link_ || sessionRunning_) return;
    Guarded([this] { link_->SelectPort(); });
}

void MainPresenter::bOpenClick() {
    if (sessionRunning_) return;
    const std::optional<std::string> chosen = ui_.ChooseFile(texts::ImageFilter, initialDir_);
    if (!chosen) return;
    imageFileName_ = *chosen;
    view_.ShowImagePath(imageFileName_);
}

void MainPresenter::bLoadClick() {
    if (!link_ || sessionRunning_) return;
    {
        BusyScope busy(sessionRunning_, view_);
        lastOutcome_.reset();
        Guarded([this] { lastOutcome_ = RunBootSession(*link_, imageFileName_, headBytes_); });
    }
    if (endRequested_) view_.Close();
}

bool MainPresenter::RequestEnd() {
    if (!sessionRunning_) return true;
    endRequested_ = true;  // the load's progress window reads as cancelled from now on
    return false;
}

void MainPresenter::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ui_.ShowError(error.what());
    }
}

}  // namespace kx::app
