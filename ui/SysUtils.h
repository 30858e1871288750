#pragma once
// The system helpers every subsystem uses. Message boxes are the user interface's
// ShowError, ShowInfo and AskYesNo; the priority raise around RS485 transmissions is the
// link's PriorityControl; what is left here is the process environment.
#include <string>

namespace kx::ui {

// Current directory := the program's folder; numbers convert with "." whatever the locale.
// Throws std::filesystem::filesystem_error when the directory cannot be changed.
void InitEnvironment();

}  // namespace kx::ui
