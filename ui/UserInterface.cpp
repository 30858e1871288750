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

class Silent final : public UserInterface {
public:
    void ShowError(const std::string&) override {}
    void ShowInfo(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
    void ProcessMessages() override {}
    std::unique_ptr<ProgressWindow> CreateProgress() override { return std::make_unique<SilentProgress>(); }
    std::optional<std::string> ChoosePort(const std::vector<std::string>&, int) override { return std::nullopt; }
    std::optional<double> ChooseBaudRate(std::uint32_t) override { return std::nullopt; }
    std::optional<std::string> EnterPassword(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&) override { return std::nullopt; }
};

}  // namespace

UserInterface& SilentUserInterface() {
    static Silent silent;
    return silent;
}

}  // namespace kx::ui
