#include "ui/SysUtils.h"

#include <clocale>
#include <filesystem>
#include <locale>

#include "platform/Priority.h"
#include "platform/Process.h"
#include "ui/UserInterface.h"

namespace kx::ui {

void ShowError(const std::string& message) { CurrentUserInterface().ShowError(message); }
void ShowInfo(const std::string& message) { CurrentUserInterface().ShowInfo(message); }
bool AskYesNo(const std::string& message) { return CurrentUserInterface().AskYesNo(message); }
void ProcessMessages() { CurrentUserInterface().ProcessMessages(); }

void RaisePriority() {
    platform::SavePriority();
    platform::RaiseToHighestPriority();
}

void RestorePriority() { platform::RestoreSavedPriority(); }

void InitEnvironment() {
    // Numbers are written and read with "." whatever the user's regional settings say.
    std::setlocale(LC_NUMERIC, "C");
    std::locale::global(std::locale(std::locale(), std::locale::classic(), std::locale::numeric));
    std::filesystem::current_path(platform::PathFromUtf8(platform::ExecutableDir()));
}

}  // namespace kx::ui
