#include "platform/posix/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/posix/PosixTermios.h"

namespace kx::platform::posix {
namespace {

using Clock = std::chrono::steady_clock;

// poll's time-out for the time left until `deadline`, rounded up so that the wait
// never ends early and turns into a spin.
int PollTimeout(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(ms);
}

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// What a tty says once its device has gone: a pty whose master was closed gives EIO, a
// removed USB adapter EIO, ENXIO or ENODEV.
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE; }

}  // namespace

namespace {

// The reason for a failed open, as the system words it. Not strerror, whose buffer
// another thread's failing open may be writing at the same time.
std::nullptr_t Fail(std::string* why, int error, const std::string& detail = {}) {
    if (why != nullptr) *why = std::generic_category().message(error) + detail;
    return nullptr;
}

}  // namespace

std::unique_ptr<PosixSerialPort> PosixSerialPort::Open(const std::string& path, std::string* why) {
    std::unique_ptr<UucpLock> lock;
    const auto folders = UucpLock::Folders();
    if (UucpLock::Acquire(path, folders, lock) == UucpLock::Outcome::Busy)
        return Fail(why, EBUSY, " (held under its lock file LCK.." + UucpLock::LockName(path) + ")");
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return Fail(why, errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISCHR(info.st_mode)) return Fail(why, ENOTTY);
    // TIOCEXCL keeps other openers out (though not the superuser); flock makes a second
    // program that follows the same rule see the port as taken even then.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return Fail(why, errno == EWOULDBLOCK ? EBUSY : errno);
    if (!termios::MakeRaw8N2(fd.Get())) return Fail(why, errno);
    termios::SetExclusive(fd.Get(), true);
    termios::RequestLowLatency(fd.Get());
    return std::unique_ptr<PosixSerialPort>(new PosixSerialPort(std::move(lock), std::move(fd)));
}

PosixSerialPort::PosixSerialPort(std::unique_ptr<UucpLock> lock, UniqueFd fd)
    : lock_(std::move(lock)), fd_(std::move(fd)) {
    UpdateCharacterTime();
}

PosixSerialPort::~PosixSerialPort() {
    // The flag outlives this descriptor while anyone else keeps the tty open (a
    // simulator holding its pty's slave side): clear it so that the port can be reopened.
    termios::SetExclusive(fd_.Get(), false);
}

void PosixSerialPort::SetupQueues(std::uint32_t, std::uint32_t) {
    // POSIX has no request for driver queue sizes.
}

void PosixSerialPort::SetBaudRate(std::uint32_t rate) {
    termios::SetRate(fd_.Get(), rate);
    UpdateCharacterTime();
}
std::uint32_t PosixSerialPort::BaudRate() { return termios::Rate(fd_.Get()); }
void PosixSerialPort::SetByteSize(std::uint8_t bits) {
    termios::SetByteSize(fd_.Get(), bits);
    byteSize_ = bits;
    UpdateCharacterTime();
}
void PosixSerialPort::SetParity(std::uint8_t code) {
    termios::SetParity(fd_.Get(), code);
    parity_ = code;
    UpdateCharacterTime();
}
void PosixSerialPort::SetStopBits(std::uint8_t code) {
    termios::SetStopBits(fd_.Get(), code);
    stopBits_ = code;
    UpdateCharacterTime();
}

void PosixSerialPort::UpdateCharacterTime() {
    const std::uint32_t rate = BaudRate();
    // Start bit, data bits, parity bit, stop bits (code 1 is one and a half), in half bits.
    const std::uint64_t stopHalves = stopBits_ == 0 ? 2 : stopBits_ == 1 ? 3 : 4;
    const std::uint64_t halfBits = 2 + 2 * std::uint64_t{byteSize_} + (parity_ != 0 ? 2 : 0) + stopHalves;
    characterTime_ = rate == 0 ? std::chrono::nanoseconds{0}
                               : std::chrono::nanoseconds{halfBits * 500'000'000 / rate};
}

void PosixSerialPort::SetDTR() { termios::SetModemLine(fd_.Get(), termios::ModemLine::Dtr, true); }
void PosixSerialPort::SetRTS() { termios::SetModemLine(fd_.Get(), termios::ModemLine::Rts, true); }
void PosixSerialPort::ClearRTS() { termios::SetModemLine(fd_.Get(), termios::ModemLine::Rts, false); }
void PosixSerialPort::PurgeInput() { termios::FlushInput(fd_.Get()); }
void PosixSerialPort::PurgeOutput() { termios::FlushOutput(fd_.Get()); }

Millis PosixSerialPort::WriteBound(std::size_t count) {
    // Twice the bytes' time on the line (11 bits a character), plus slack for the driver.
    const std::uint32_t rate = BaudRate();
    const auto lineTime = rate == 0 ? Millis{0} : Millis{count * 11 * 1000 * 2 / rate};
    return WriteSlack + lineTime;
}

void PosixSerialPort::Write(const std::uint8_t* data, std::size_t count) {
    const auto deadline = Clock::now() + WriteBound(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_.Get(), data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && DeviceGone(errno)) throw PortGone();
        if (n == 0 || !WouldBlock(errno)) return;  // not taken: the answer will be missing
        pollfd room{fd_.Get(), POLLOUT, 0};
        const int ready = ::poll(&room, 1, PollTimeout(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready > 0 && (room.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) throw PortGone();
        if (ready <= 0 || (room.revents & POLLOUT) == 0) return;
    }
}

std::size_t PosixSerialPort::Read(std::uint8_t* buffer, std::size_t maxCount, Millis wait) {
    const auto deadline = Clock::now() + wait;
    if (maxCount == 0) return 0;
    for (;;) {
        pollfd input{fd_.Get(), POLLIN, 0};
        const int ready = ::poll(&input, 1, PollTimeout(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) throw PortGone();
        if (ready == 0) return 0;
        if ((input.revents & POLLIN) == 0) throw PortGone();  // hang-up or error only
        const ssize_t n = ::read(fd_.Get(), buffer, maxCount);
        if (n > 0) {
            const auto got = static_cast<std::size_t>(n);
            return got + Gather(buffer + got, maxCount - got, deadline);
        }
        if (n < 0 && (errno == EINTR || WouldBlock(errno))) continue;
        // "Readable" yet nothing to read: end of file after a hang-up, EIO, ENXIO.
        throw PortGone();
    }
}

std::size_t PosixSerialPort::Gather(std::uint8_t* buffer, std::size_t count, TimePoint deadline) {
    // A wake-up per character costs more than the whole rest of an exchange at low rates.
    // The last of `count` bytes cannot arrive before count - 1 further character times
    // have passed, so waiting that long delays nothing; the caller's deadline still holds.
    if (count < 2 || characterTime_ == std::chrono::nanoseconds::zero()) return 0;
    const auto until = std::min(deadline, Clock::now() + characterTime_ * static_cast<long>(count - 1));
    std::this_thread::sleep_until(until);
    for (;;) {
        const ssize_t n = ::read(fd_.Get(), buffer, count);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR) continue;
        return 0;  // nothing yet, or a port gone: the next Read finds out
    }
}

}  // namespace kx::platform::posix
