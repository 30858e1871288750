#pragma once
// The password gate in front of the link's settings dialogs: asked once per run.
#include <string>

namespace kx::ui {

// Process-wide; set by a correct password or by the main window, never reset.
extern bool AccessGranted;

// Shows the password dialog with `prompt`; true when the entry equals `password`
// exactly (letter case counts). A cancelled dialog is an empty entry.
bool AskPassword(const std::string& prompt, const std::string& password);

// True when access is granted, asking for the password when it is not yet.
bool CheckAccess();

}  // namespace kx::ui
