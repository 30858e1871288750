// Kernel termios headers only: they clash with the C library's <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <array>
#include <utility>

#include "platform/posix/PosixTermios.h"

namespace kx::platform::posix::termios {
namespace {

bool Get(int fd, termios2& settings) { return ::ioctl(fd, TCGETS2, &settings) == 0; }
bool Put(int fd, const termios2& settings) { return ::ioctl(fd, TCSETS2, &settings) == 0; }

template <typename Change>
void Modify(int fd, Change change) {
    termios2 settings{};
    if (!Get(fd, settings)) return;
    change(settings);
    Put(fd, settings);
}

constexpr std::array<std::pair<unsigned, std::uint32_t>, 31> ClassicRates = {{
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000}, {B0, 0},
}};

std::uint32_t OutputRate(const termios2& settings) {
    const unsigned code = settings.c_cflag & CBAUD;
    if (code == BOTHER) return settings.c_ospeed;
    for (const auto& [bits, rate] : ClassicRates) {
        if (bits == code) return rate;
    }
    return settings.c_ospeed;
}

}  // namespace

bool MakeRaw8N2(int fd) {
    termios2 settings{};
    if (!Get(fd, settings)) return false;
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                               ICRNL | IXON | IXOFF | IXANY | INPCK);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CRTSCTS);
    settings.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    return Put(fd, settings);
}

bool SetRate(int fd, std::uint32_t rate) {
    if (rate == 0) return false;
    termios2 settings{};
    if (!Get(fd, settings)) return false;
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ospeed = rate;
    settings.c_ispeed = rate;
    return Put(fd, settings);
}

std::uint32_t Rate(int fd) {
    termios2 settings{};
    return Get(fd, settings) ? OutputRate(settings) : 0;
}

void SetByteSize(int fd, std::uint8_t bits) {
    static constexpr std::array<tcflag_t, 4> Sizes = {CS5, CS6, CS7, CS8};
    if (bits < 5 || bits > 8) return;
    Modify(fd, [&](termios2& s) {
        s.c_cflag = (s.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | Sizes[bits - 5u];
    });
}

void SetParity(int fd, std::uint8_t code) {
    if (code > 4) return;
    Modify(fd, [&](termios2& s) {
        s.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
        if (code == 1) s.c_cflag |= PARENB | PARODD;
        if (code == 2) s.c_cflag |= PARENB;
        if (code == 3) s.c_cflag |= PARENB | CMSPAR | PARODD;
        if (code == 4) s.c_cflag |= PARENB | CMSPAR;
    });
}

void SetStopBits(int fd, std::uint8_t code) {
    if (code > 2) return;
    Modify(fd, [&](termios2& s) {
        if (code == 0) {
            s.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
        } else {
            s.c_cflag |= CSTOPB;
        }
    });
}

void FlushInput(int fd) { ::ioctl(fd, TCFLSH, TCIFLUSH); }
void FlushOutput(int fd) { ::ioctl(fd, TCFLSH, TCOFLUSH); }

void SetModemLine(int fd, ModemLine line, bool raised) {
    int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    ::ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &bits);
}

void RequestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
    if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

void SetExclusive(int fd, bool exclusive) { ::ioctl(fd, exclusive ? TIOCEXCL : TIOCNXCL); }

}  // namespace kx::platform::posix::termios
