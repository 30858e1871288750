#pragma once
// One open tty, configured for the link: raw, 8N2, no flow control, reads that never block.
#include <chrono>
#include <memory>
#include <string>

#include "platform/SerialPort.h"
#include "platform/posix/UniqueFd.h"
#include "platform/posix/UucpLock.h"

namespace kx::platform::posix {

class PosixSerialPort final : public SerialPort {
public:
    // Longest a Write waits for room in the driver beyond the bytes' own line time.
    static constexpr Millis WriteSlack{1000};

    // Opens `path` exclusively (UUCP lock, TIOCEXCL, flock) and puts it in raw 8N2 mode;
    // nullptr when the port is taken, missing or not a tty.
    static std::unique_ptr<PosixSerialPort> Open(const std::string& path);
    ~PosixSerialPort() override;

    void SetupQueues(std::uint32_t rxBytes, std::uint32_t txBytes) override;
    void SetBaudRate(std::uint32_t rate) override;
    std::uint32_t BaudRate() override;
    void SetByteSize(std::uint8_t bits) override;
    void SetParity(std::uint8_t code) override;
    void SetStopBits(std::uint8_t code) override;
    void SetDTR() override;
    void SetRTS() override;
    void ClearRTS() override;
    void PurgeInput() override;
    void PurgeOutput() override;
    void Write(const std::uint8_t* data, std::size_t count) override;
    std::size_t Read(std::uint8_t* buffer, std::size_t maxCount, Millis wait) override;

    int Descriptor() const { return fd_.Get(); }

private:
    PosixSerialPort(std::unique_ptr<UucpLock> lock, UniqueFd fd);
    using TimePoint = std::chrono::steady_clock::time_point;
    // A port that has gone away answers every wait with "nothing", after the wait.
    static std::size_t DeadUntil(TimePoint deadline);
    Millis WriteBound(std::size_t count);

    // Destroyed in reverse order: the descriptor closes before the lock file goes.
    std::unique_ptr<UucpLock> lock_;
    UniqueFd fd_;
};

}  // namespace kx::platform::posix
