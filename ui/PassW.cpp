#include "ui/PassW.h"

#include "ui/Texts.h"


namespace kx::ui {
namespace {

constexpr const char* AccessPassword = "QOX";

}  // namespace

std::atomic<bool> AccessGranted{false};

bool AskPassword(UserInterface& ui, const std::string& prompt, const std::string& password) {
    const std::string entry = ui.EnterPassword(prompt).value_or("");
    return entry == password;
}

bool CheckAccess(UserInterface& ui) {
    if (AccessGranted) return true;
    if (AskPassword(ui, texts::PasswordPrompt, AccessPassword)) {
        AccessGranted = true;
        return true;
    }
    ui.ShowError(texts::WrongPassword);
    return false;
}

}  // namespace kx::ui
