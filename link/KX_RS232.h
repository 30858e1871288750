#pragma once
// The addressed packet protocol: request and answer frames, answer tests, time-outs,
// three attempts, the three line modes and the link's own load procedures.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/KX_RS_Base.h"
#include "link/LinkError.h"
#include "platform/Clock.h"

namespace kx::link {

// Observer of the bytes on the wire (the command line's --trace). Not owned.
class FrameTrace {
public:
    virtual ~FrameTrace() = default;
    virtual void Sent(const std::uint8_t* data, std::size_t count) = 0;
    // A frame (or as much of one as arrived) taken off the line; `echo` in mode 2.
    virtual void Received(const std::uint8_t* data, std::size_t count, bool echo) = 0;
};

class TKX_RS : public TKX_RS_Base {
public:
    // Pauses and deadlines of the protocol.
    static constexpr platform::Millis LineTurnPause{20};
    static constexpr platform::Millis RetryPause{50};
    static constexpr int Attempts = 3;
    // The longest stretch the link waits without letting window messages run.
    static constexpr platform::Millis PumpInterval{10};

    TKX_RS(TMenuItem* menuParent, TMenuItem* popupParent, const LinkContext& context);

    std::uint8_t LineMode = 0;
    bool ShortHeader = false;
    std::uint16_t ByteTimeout = 200;
    std::uint16_t AnswerTimeout = 1000;
    FrameTrace* Trace = nullptr;

    void SetLineMode(std::uint8_t mode);

    void PutChar(char c) override;
    char GetChar() override;
    void GetString(std::string& s) override;
    void StartCommand(std::uint8_t addr, std::uint8_t func) override;
    void Transact() override;
    void TransactOnce() override;
    void Command(std::uint8_t addr, std::uint8_t func) override;
    int ReadAddress() override;
    LoadOutcome EraseAndLoad(const std::string& fileName, bool checkIdentity, double clockHz,
                             std::uint16_t expectedId) override;
    LoadOutcome PatchAndLoad(const std::string& fileName, bool checkIdentity, std::uint16_t expectedId,
                             std::uint8_t expectedRevision) override;

    virtual void ReceiveFrame();
    virtual void TransmitFrame();
    virtual void Exchange();

    platform::Clock& Clock() const { return context_.clock; }
    // A pause that keeps window messages running (at least every PumpInterval).
    void Pause(platform::Millis duration);

    // The allowance for the request's own transmission added to the answer deadline:
    // 9600 / baudRate x txPos milliseconds, rounded half to even.
    static platform::Millis TransmissionAllowance(std::uint32_t baudRate, std::int32_t txPos);

private:
    // Index of an answer's first data byte.
    std::int32_t FirstDataIndex() const { return ShortHeader ? 3 : 5; }
    // Waits for bytes until the clock is later than `deadline`, letting window messages
    // run at least every PumpInterval; reads at most `maxCount` of them, 0 when none
    // came in time.
    std::size_t ReadUntil(std::uint8_t* buffer, std::size_t maxCount, platform::Millis deadline);
    void TraceReceived(std::size_t count);
    // Whether the `count` bytes received are this frame's own request come back: on a
    // two-wire line whose echo came later than its wait, the echo arrives where the answer
    // is read.
    bool IsLateEcho(std::size_t count) const;

    bool readingEcho_ = false;
    bool echoHeard_ = true;   // the request's echo was read (or the line has none)
};

}  // namespace kx::link
