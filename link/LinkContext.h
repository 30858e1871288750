#pragma once
// What a link talks to: the user it reports to and whose window messages it pumps while
// waiting, the serial ports, the clock, and the priority control around RS485
// transmissions. None is owned; each must outlive the link. Every link has its own, so
// several links in one process each talk to their own user.
#include "platform/Clock.h"
#include "platform/Priority.h"
#include "platform/SerialPort.h"
#include "ui/UserInterface.h"

namespace kx::link {

struct LinkContext {
    ui::UserInterface& ui = ui::SilentUserInterface();
    platform::SerialPorts& ports = platform::SystemSerialPorts();
    platform::Clock& clock = platform::SystemClock();
    platform::PriorityControl& priority = platform::SystemPriority();
};

}  // namespace kx::link
