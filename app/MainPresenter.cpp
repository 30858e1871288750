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

}  // namespace

MainPresenter::MainPresenter(MainView& view, ui::UserInterface& ui, LinkFactory makeLink, const std::string& mutexName)
    : JustOne1(MakeGuard(mutexName)), view_(view), ui_(ui), makeLink_(std::move(makeLink)) {}

MainPresenter::~MainPresenter() = default;

void MainPresenter::FormShow() {
    Guarded([this] {
        view_.SetCaption(texts::ShownCaption);
        ui::InitEnvironment();
        link_.reset();  // a link from an earlier show lets go of its port first
        link_ = makeLink_(ui_);
        link_->SetLineMode(StartLineMode);
        imageFileName_.clear();
        ReadSettings();
        view_.ShowImagePath(imageFileName_);
        ui::AccessGranted = true;
        initialDir_ = platform::ExecutableDir();
        link_->SetBaudRate(StartBaudRate);
    });
}

void MainPresenter::ReadSettings() {
    TKXIniFile ini;
    link_->LoadSettings(ini);
    imageFileName_ = ini.ReadString("Common", "FN", "");
    RestorePlacement(ini);
}

void MainPresenter::RestorePlacement(const TKXIniFile& ini) {
    WindowPlacement placement = view_.Placement();
    placement.BorderStyle = MainBorder;
    ini.ReadPlacement(MainSection, placement);
    view_.ApplyPlacement(placement);
}

bool MainPresenter::FormClose() {
    if (sessionRunning_) return false;
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
        Guarded([this] { RunBootSession(*link_, imageFileName_, headBytes_); });
    }
    if (endRequested_) view_.Close();
}

bool MainPresenter::RequestEnd() {
    if (!sessionRunning_) return true;
    endRequested_ = true;
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
