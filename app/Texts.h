#pragma once
// Every text the program shows, once: message boxes, progress captions and the captions
// of its windows and dialogs. The link, the sessions and every front end take them from
// here, so a text is never spelt twice.

namespace kx::texts {

// The link's failures and questions.
inline constexpr const char* NoLink = "RS232. Нет связи. Проверьте правильность соединения PC и устройства.";
inline constexpr const char* ByteGap = "RS232. Ошибка задержки приема внутри блока.";
inline constexpr const char* ExchangeError = "RS232. Ошибка обмена.";
inline constexpr const char* DeviceBusy = "Устройство занято. Возможно, оно находится в режиме местного управления.";
inline constexpr const char* NoFreePort = "Нет свободного COM-порта!";
inline constexpr const char* RateRefused = "RS232. Не могу установить нужную скорость обмена.";
inline constexpr const char* OnlyOneDevice =
    "ТОЛЬКО ОДНО устройство, подключенное к СОМ-порту, должно быть включено. Это действительно так?";
inline constexpr const char* LinkCaption = "RS232";
inline constexpr const char* PortNumberCommand = "Номер СОМ-порта";

// Loading: refusals, progress captions and the end.
inline constexpr const char* FileNotFound = "Файл не найден";
inline constexpr const char* FileMissing = "Не могу найти файл %s.";
inline constexpr const char* WrongController = "В устройстве неверный микроконтроллер.";
inline constexpr const char* TypeMismatch = "Тип микроконтроллера не совпадает с версией ПО.";
inline constexpr const char* VersionMismatch = "Версии устройства и программного обеспечения не совпадают.";
inline constexpr const char* TooLong = "Программа слишком длинна.";
inline constexpr const char* ProcedureTooLong = "Что-то длинновата программка-то.";
inline constexpr const char* WakeController = "Включите МК...";
inline constexpr const char* WakeDevice = "Включите устройство...";
inline constexpr const char* WakeOnlyDevice = "Включите ТОЛЬКО нужное устройство...";
inline constexpr const char* Identifying = "Определение типа микроконтроллера...";
inline constexpr const char* Clearing = "Очистка устройства...";
inline constexpr const char* Loading = "Загрузка программы...";
inline constexpr const char* Done = "Загрузка окончена.";

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

// The progress window and the dialogs.
inline constexpr const char* ProgressCaption = "Progress...";
inline constexpr const char* ProgressStart = "Прогресс";
inline constexpr const char* PortDialogCaption = "Выбор номера порта";
inline constexpr const char* PortDialogLabel = "Выберите последовательный порт";
inline constexpr const char* BaudDialogCaption = "Выбор скорости обмена СОМ-порта";
inline constexpr const char* BaudDialogLabel = "Скорость обмена, бод";
inline constexpr const char* PasswordCaption = "Контроль доступа";

}  // namespace kx::texts
