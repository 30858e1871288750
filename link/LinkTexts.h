#pragma once
// The link's and the loads' texts, once each: the link's failures and questions, the
// refusals, the progress captions and the end. Everything above the link takes them
// from here.

namespace kx::texts {

// The link's failures and questions.
inline constexpr const char* NoLink = "RS232. Нет связи. Проверьте правильность соединения PC и устройства.";
inline constexpr const char* ByteGap = "RS232. Ошибка задержки приема внутри блока.";
inline constexpr const char* ExchangeError = "RS232. Ошибка обмена.";
// The interface converter and the line mode disagree about the request's echo.
inline constexpr const char* NoEcho =
    "RS232. Преобразователь интерфейса не возвращает эхо запроса. Выберите режим линии без эха.";
inline constexpr const char* UnexpectedEcho =
    "RS232. Преобразователь интерфейса возвращает эхо запроса. Выберите режим линии с эхом.";
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
// An image without one whole page to send: nothing would be programmed.
inline constexpr const char* TooShort = "Программа слишком коротка.";
inline constexpr const char* ProcedureTooLong = "Что-то длинновата программка-то.";
inline constexpr const char* WakeController = "Включите МК...";
inline constexpr const char* WakeDevice = "Включите устройство...";
inline constexpr const char* WakeOnlyDevice = "Включите ТОЛЬКО нужное устройство...";
inline constexpr const char* Identifying = "Определение типа микроконтроллера...";
inline constexpr const char* Clearing = "Очистка устройства...";
inline constexpr const char* Loading = "Загрузка программы...";
inline constexpr const char* Done = "Загрузка окончена.";

}  // namespace kx::texts
