#pragma once
#include <stdexcept>
#include <string>

namespace kx::link {

// Every failed exchange of the link; carries the message text and nothing else.
class LinkError : public std::runtime_error {
public:
    explicit LinkError(const std::string& text) : std::runtime_error(text) {}
};

// The link's message texts.
namespace texts {
inline constexpr const char* NoLink =
    "RS232. Нет связи. Проверьте правильность соединения PC и устройства.";
inline constexpr const char* ByteGap = "RS232. Ошибка задержки приема внутри блока.";
inline constexpr const char* ExchangeError = "RS232. Ошибка обмена.";
inline constexpr const char* DeviceBusy =
    "Устройство занято. Возможно, оно находится в режиме местного управления.";
inline constexpr const char* NoFreePort = "Нет свободного COM-порта!";
inline constexpr const char* RateRefused = "RS232. Не могу установить нужную скорость обмена.";
inline constexpr const char* OnlyOneDevice =
    "ТОЛЬКО ОДНО устройство, подключенное к СОМ-порту, должно быть включено. Это действительно так?";
inline constexpr const char* LinkCaption = "RS232";
inline constexpr const char* PortNumberCommand = "Номер СОМ-порта";
}  // namespace texts

}  // namespace kx::link
