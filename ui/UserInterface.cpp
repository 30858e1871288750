#include "ui/UserInterface.h"

namespace kx::ui {
namespace {

class SilentProgress final : public ProgressWindow {
public:
    void SetLabel(const std::string&) override {}
    void SetGaugeVisible(bool) override {}
    void SetProgress(int) override {}
    void ShowCancelButton() override {}
    bool Cancelled() const override { return true; }
};

// Used until a front end installs its own: shows nothing, declines every question and
// cancels every dialog and progress window, so nothing can run unattended by accident.
class SilentUserInterface final : public UserInterface {
public:
    void ShowError(const std::string&) override {}
    void ShowInfo(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
    void ProcessMessages() override {}
    std::unique_ptr<ProgressWindow> CreateProgress() override { return std::make_unique<SilentProgress>(); }
    std::optional<std::string> ChoosePort(const std::vector<std::string>&, int) override { return std::nullopt; }
    std::optional<double> ChooseBaudRate(std::uint32_t) override { return std::nullopt; }
    std::optional<std::string> EnterPassword(const std::string&) override { return std::nullopt; }
};

UserInterface* installed = nullptr;

}  // namespace

void SetUserInterface(UserInterface* ui) { installed = ui; }

UserInterface& CurrentUserInterface() {
    static SilentUserInterface silent;
    return installed != nullptr ? *installed : silent;
}

}  // namespace kx::ui
