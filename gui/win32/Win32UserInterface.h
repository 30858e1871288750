#pragma once
// The user interface of the Windows program: the system's message boxes, the progress
// window and the dialogs, all in the wide (UTF-16) API over the core's UTF-8 texts.
#include "gui/win32/MessagePump.h"
#include "ui/UserInterface.h"

namespace kx::wgui {

class Win32UserInterface final : public ui::UserInterface {
public:
    explicit Win32UserInterface(MessagePump& pump) : pump_(pump) {}

    void ShowError(const std::string& message) override;
    void ShowInfo(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    void ProcessMessages() override { pump_.ProcessMessages(); }
    std::unique_ptr<ui::ProgressWindow> CreateProgress() override;
    std::optional<std::string> ChoosePort(const std::vector<std::string>& entries, int selected) override;
    std::optional<double> ChooseBaudRate(std::uint32_t current) override;
    std::optional<std::string> EnterPassword(const std::string& prompt) override;
    std::optional<std::string> ChooseFile(const std::string& filter, const std::string& initialDir) override;

    // The window that owns the progress windows (none until set): the main window.
    void SetOwner(HWND owner) { owner_ = owner; }

private:
    MessagePump& pump_;
    HWND owner_ = nullptr;
};

}  // namespace kx::wgui
