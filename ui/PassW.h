#pragma once
// The password gate in front of the link's settings dialogs: asked once per run.
#include <atomic>
#include <string>

#include "ui/UserInterface.h"

namespace kx::ui {

// Process-wide; set by a correct password or by the main window, never reset.
extern std::atomic<bool> AccessGranted;

// Shows the password dialog with `prompt`; true when the entry equals `password`
// exactly (letter case counts). A cancelled dialog is an empty entry.
bool AskPassword(UserInterface& ui, const std::string& prompt, const std::string& password);

// True when access is granted, asking for the password through `ui` when it is not yet.
bool CheckAccess(UserInterface& ui);

}  // namespace kx::ui
