#pragma once
// What a link talks to: the user it reports to and whose window messages it pumps while
// waiting, the serial ports, the clock, and the priority control around RS485
// transmissions. None is owned; each must outlive the link. Every link is given its own,
// and none has a default, so several links in one process each talk to their own user and
// no link reaches the real machine unless its maker says so.
#include "platform/Clock.h"
#include "platform/Priority.h"
#include "platform/SerialPort.h"
#include "ui/UserInterface.h"

namespace kx::link {

struct LinkContext {
    ui::UserInterface& ui;
    platform::SerialPorts& ports;
    platform::Clock& clock;
    platform::PriorityControl& priority;
};

// The machine's own serial ports, clock and priorities, reporting to `ui`: what a front
// end gives the links it makes. None of the three keeps state that one link's thread
// could change under another's.
inline LinkContext SystemLinkContext(ui::UserInterface& ui) {
    return {.ui = ui,
            .ports = platform::SystemSerialPorts(),
            .clock = platform::SystemClock(),
            .priority = platform::SystemPriority()};
}

}  // namespace kx::link
