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
    // nullptr when the port is taken, missing or not a tty, with the reason in `why`.
    static std::unique_ptr<PosixSerialPort> Open(const std::string& path, std::string* why = nullptr);
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
    Millis WriteBound(std::size_t count);
    // The rest of a block still on the line: one wait for all of it instead of a wake-up
    // per character. Never waits past `deadline`, nor past the earliest moment the
    // block's last byte can come.
    std::size_t Gather(std::uint8_t* buffer, std::size_t count, TimePoint deadline);
    // The time of one character at the current rate and frame format (zero if unknown).
    void UpdateCharacterTime();

    // Destroyed in reverse order: the descriptor closes before the lock file goes.
    std::unique_ptr<UucpLock> lock_;
    UniqueFd fd_;
    std::uint8_t byteSize_ = 8;
    std::uint8_t parity_ = 0;
    std::uint8_t stopBits_ = 2;
    std::chrono::nanoseconds characterTime_{0};
};

}  // namespace kx::platform::posix
