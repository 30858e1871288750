#include "ui/PassW.h"

#include "ui/SysUtils.h"
#include "ui/UserInterface.h"

namespace kx::ui {
namespace {

constexpr const char* AccessPassword = "QOX";
constexpr const char* PasswordPrompt = "Данная команда будет выполняться только после ввода пароля!";
constexpr const char* WrongPassword = "Неверный пароль!";

}  // namespace

bool AccessGranted = false;

bool AskPassword(const std::string& prompt, const std::string& password) {
    const std::string entry = CurrentUserInterface().EnterPassword(prompt).value_or("");
    return entry == password;
}

bool CheckAccess() {
    if (AccessGranted) return true;
    if (AskPassword(PasswordPrompt, AccessPassword)) {
        AccessGranted = true;
        return true;
    }
    ShowError(WrongPassword);
    return false;
}

}  // namespace kx::ui
