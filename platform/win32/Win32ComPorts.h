#pragma once
// Telling a COM port that does not exist from one that someone holds, by what the system
// answers to an open that asks for no access rights. Wine answers ERROR_FILE_NOT_FOUND
// for a COM name with nothing behind it (no dosdevices link, or a dangling one), and
// never refuses a port that another program holds; Windows refuses a held port with
// ERROR_ACCESS_DENIED (some drivers ERROR_SHARING_VIOLATION).
#include <string>

#include "platform/SerialPort.h"

namespace kx::platform::win32 {

// "COM40" of "COM40", "com40", "\\.\COM40" or "\\?\COM40"; the name itself when it is no
// COM name.
std::string ComName(const std::string& name);

// Whether the system lists the port among its serial ports (HARDWARE\DEVICEMAP\SERIALCOMM).
bool SystemListsPort(const std::string& name);

// What a failed open's error says of the port. Errors other than "not found" and
// "held" (a driver that cannot reach its device just now, say) leave it to the
// system's list: a port it lists exists.
PortState StateAfterOpenError(unsigned long error, bool listed);

// Whether a failed open's error means that no port goes by that name.
bool NoSuchPortError(unsigned long error);

}  // namespace kx::platform::win32
