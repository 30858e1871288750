#pragma once
// The system helpers every subsystem uses: message boxes, the priority raise around
// RS485 transmissions, and the process environment.
#include <string>

namespace kx::ui {

void ShowError(const std::string& message);
void ShowInfo(const std::string& message);
bool AskYesNo(const std::string& message);
// Lets pending window messages run once (the installed interface's ProcessMessages).
void ProcessMessages();

void RaisePriority();
void RestorePriority();

// Current directory := the program's folder; numbers convert with "." whatever the locale.
// Throws std::filesystem::filesystem_error when the directory cannot be changed.
void InitEnvironment();

}  // namespace kx::ui
