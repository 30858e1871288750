#pragma once
// The addressed packet protocol: request and answer frames, answer tests, time-outs,
// three attempts, the three line modes and the link's own load procedures.
#include <cstddef>
#include <cstdint>
#include <functional>
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
    // Apart from LineMode, which it leaves to SetLineMode's meaning: when set, the link
    // finds out from the answered requests whether the adapter returns the request's echo
    // and goes on in mode 2 or mode 1 accordingly, instead of failing with EchoMismatch.
    bool AutoLineMode = false;
    // Told the kind of a mismatch just before a strict mode raises it, so a front end can
    // add its own fix to the error without reading the message.
    std::function<void(EchoMismatch::Kind)> OnEchoMismatch;

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
    // Whether the frame in RxBuf is byte for byte the request in TxBuf.
    bool HoldsOwnRequest() const;
    // Reads the answer after the request went out, telling an echo from an answer.
    void ReceiveAnswer();
    // Modes 0 and 1: the request's own bytes came where the answer is read. A whole frame
    // after them shows an echoing adapter; none leaves them as the answer.
    void ReceiveAfterOwnRequest();
    // The adapter does not do what LineMode says about the echo: raises EchoMismatch, or
    // under AutoLineMode takes the other mode and lets the exchange go on.
    void EchoMismatchFound(EchoMismatch::Kind kind);

    bool readingEcho_ = false;
    bool echoHeard_ = true;   // the request's echo was read (or the line has none)
    // Mode 2: the echo's place held a whole frame that was not the request.
    bool otherFrameForEcho_ = false;
    // Modes 0 and 1: an answer came with no copy of its request before it, so a frame
    // equal to its request is that request's answer, with nothing to wait for after it.
    bool noEchoConfirmed_ = false;
    std::size_t received_ = 0;   // bytes the last ReceiveFrame took off the line
};

}  // namespace kx::link
