#include "ui/PassW.h"


namespace kx::ui {
namespace {

constexpr const char* AccessPassword = "QOX";
constexpr const char* PasswordPrompt = "Данная команда будет выполняться только после ввода пароля!";
constexpr const char* WrongPassword = "Неверный пароль!";

}  // namespace

std::atomic<bool> AccessGranted{false};

bool AskPassword(UserInterface& ui, const std::string& prompt, const std::string& password) {
    const std::string entry = ui.EnterPassword(prompt).value_or("");
    return entry == password;
}

bool CheckAccess(UserInterface& ui) {
    if (AccessGranted) return true;
    if (AskPassword(ui, PasswordPrompt, AccessPassword)) {
        AccessGranted = true;
        return true;
    }
    ui.ShowError(WrongPassword);
    return false;
}

}  // namespace kx::ui
