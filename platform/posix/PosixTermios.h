#pragma once
// Line settings of a tty through the kernel's termios2 interface, which takes any bit
// rate (not only the classic table) and reports the rate the driver really runs at.
// Each call is a read-modify-write of the driver's settings; failures leave them as
// they were.
#include <cstdint>

namespace kx::platform::posix::termios {

// Raw input and output, 8 data bits, no parity, two stop bits, no flow control, the
// modem-status lines ignored, reads that return at once. False when `fd` is no tty.
bool MakeRaw8N2(int fd);
// False when the driver refuses the rate; 0 is refused here (it would hang up the line).
bool SetRate(int fd, std::uint32_t rate);
// The output rate the driver runs at; 0 when it cannot be read.
std::uint32_t Rate(int fd);
void SetByteSize(int fd, std::uint8_t bits);       // 5..8; other values change nothing
void SetParity(int fd, std::uint8_t code);         // 0 none, 1 odd, 2 even, 3 mark, 4 space
void SetStopBits(int fd, std::uint8_t code);       // 0 one; 1 (one and a half) and 2: two

void FlushInput(int fd);
void FlushOutput(int fd);
enum class ModemLine { Dtr, Rts };
void SetModemLine(int fd, ModemLine line, bool raised);
// Asks the driver to hand over received bytes at once (USB adapters buffer them).
void RequestLowLatency(int fd);
// Takes / gives up the tty's exclusive-open flag.
void SetExclusive(int fd, bool exclusive);

}  // namespace kx::platform::posix::termios
