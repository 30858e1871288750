#pragma once
// The desktop program's user interface: the toolkit's message boxes, the progress
// window and the three dialogs, all modal but the progress window.
#include "ui/UserInterface.h"

namespace kx::gui {

class QtUserInterface final : public ui::UserInterface {
public:
    void ShowError(const std::string& message) override;
    void ShowInfo(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    void ProcessMessages() override;
    std::unique_ptr<ui::ProgressWindow> CreateProgress() override;
    std::optional<std::string> ChoosePort(const std::vector<std::string>& entries, int selected) override;
    std::optional<double> ChooseBaudRate(std::uint32_t current) override;
    std::optional<std::string> EnterPassword(const std::string& prompt) override;
};

// Installs a QtUserInterface as the current one for its lifetime.
class InstalledQtUserInterface {
public:
    InstalledQtUserInterface() { ui::SetUserInterface(&ui_); }
    ~InstalledQtUserInterface() { ui::SetUserInterface(nullptr); }
    InstalledQtUserInterface(const InstalledQtUserInterface&) = delete;
    InstalledQtUserInterface& operator=(const InstalledQtUserInterface&) = delete;
    QtUserInterface& Get() { return ui_; }

private:
    QtUserInterface ui_;
};

}  // namespace kx::gui
