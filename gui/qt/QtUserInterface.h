#pragma once
// The desktop program's user interface: the toolkit's message boxes, the progress
// window and the three dialogs, all modal but the progress window.
#include "ui/UserInterface.h"

class QWidget;

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
    std::optional<std::string> ChooseFile(const std::string& filter, const std::string& initialDir) override;

    // The window the open dialog belongs to (none until set).
    void SetOwner(QWidget* owner) { owner_ = owner; }

private:
    QWidget* owner_ = nullptr;
};

}  // namespace kx::gui
