#pragma once
// The texts of the program's own windows and boxes, once each: the password gate, the
// message boxes' captions, the main window, the progress window and the dialogs.

namespace kx::texts {

// The password gate.
inline constexpr const char* PasswordPrompt = "Данная команда будет выполняться только после ввода пароля!";
inline constexpr const char* WrongPassword = "Неверный пароль!";

// Message box captions.
inline constexpr const char* ErrorCaption = "Error";
inline constexpr const char* InfoCaption = "Information";
inline constexpr const char* ConfirmCaption = "Confirm";

// The main window.
inline constexpr const char* ResourceCaption = "BootLoader for PIC24/PIC33";
inline constexpr const char* ShownCaption = "BootLoader for PIC33E";
inline constexpr const char* PortButton = "Выбрать СОМ-порт";
inline constexpr const char* OpenButton = "Открыть файл прошивки";
inline constexpr const char* LoadButton = "Загрузить ";
inline constexpr const char* ImageFilter = "Файлы прошивок (*.rom)|*.rom";
inline constexpr const char* Warning =
    "ВНИМАНИЕ!\nВнимательно проверьте соответствие версий Вашего устройства и загружаемого "
    "программного обеспечения. При их несовпадении устройство может выйти из строя.";

// The standard buttons of the dialogs and the progress window.
inline constexpr const char* OkButton = "OK";
inline constexpr const char* CancelButton = "Cancel";
inline constexpr const char* HelpButton = "&Help";

// The progress window and the dialogs.
inline constexpr const char* ProgressCaption = "Progress...";
inline constexpr const char* ProgressStart = "Прогресс";
inline constexpr const char* PortDialogCaption = "Выбор номера порта";
inline constexpr const char* PortDialogLabel = "Выберите последовательный порт";
inline constexpr const char* BaudDialogCaption = "Выбор скорости обмена СОМ-порта";
inline constexpr const char* BaudDialogLabel = "Скорость обмена, бод";
inline constexpr const char* PasswordCaption = "Контроль доступа";

}  // namespace kx::texts
