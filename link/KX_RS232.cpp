#include "link/KX_RS232.h"

#include <algorithm>

#include "link/LinkTexts.h"
#include "link/Rounding.h"

namespace kx::link {

using platform::Millis;

namespace {

constexpr std::size_t MinAnswerLength = 6;
constexpr std::size_t MinShortAnswerLength = 4;

// Direction control of a two-wire RS485 line: RTS and the raised priority are held from
// just before the request is written until its echo has been read, whatever happens.
class LineTurn {
public:
    LineTurn(TKX_RS& link, bool active) : link_(link), active_(active) {
        if (!active_) return;
        link_.SetRTS();
        link_.Context().priority.RaisePriority();
    }
    ~LineTurn() {
        if (!active_) return;
        link_.ClearRTS();
        link_.Context().priority.RestorePriority();
    }
    LineTurn(const LineTurn&) = delete;
    LineTurn& operator=(const LineTurn&) = delete;

private:
    TKX_RS& link_;
    bool active_;
};

}  // namespace

TKX_RS::TKX_RS(TMenuItem* menuParent, TMenuItem* popupParent, const LinkContext& context)
    : TKX_RS_Base(menuParent, popupParent, context) {
    BaudRate = 115200;
    ByteSize = 8;
    Parity = 0;
    StopBits = 2;
    Caption = texts::LinkCaption;
    ShowInMenu = true;
    ShowInPopup = false;
    BuildMenuItems();
    if (menuParent != nullptr) AddCommand(texts::PortNumberCommand, "(None)", 10000, [this] { SelectPort(); });
    AnswerTimeout = 1000;
    ByteTimeout = 200;
    SettingsSection = "RS232";
    ShortHeader = false;
}

void TKX_RS::SetLineMode(std::uint8_t mode) { LineMode = mode <= 2 ? mode : 0; }

void TKX_RS::PutChar(char c) { PutByte(static_cast<std::uint8_t>(c)); }

char TKX_RS::GetChar() { return static_cast<char>(GetByte()); }

void TKX_RS::GetString(std::string& s) {
    s.clear();
    for (std::uint8_t b = GetByte(); b != 0; b = GetByte()) s.push_back(static_cast<char>(b));
}

void TKX_RS::StartCommand(std::uint8_t addr, std::uint8_t func) {
    BeginFrame();
    PutByte(addr);
    if (!ShortHeader) PutWord(1);
    PutByte(func);
}

void TKX_RS::Transact() {
    EndFrame();  // closed once: every attempt sends the same bytes
    if (LineMode != 0) Pause(LineTurnPause);
    for (int attempt = 1;; ++attempt) {
        try {
            Exchange();
            break;
        } catch (...) {
            if (attempt >= Attempts) throw;
        }
        Pause(RetryPause);
    }
    RxPos = FirstDataIndex();
}

void TKX_RS::TransactOnce() {
    EndFrame();
    if (LineMode != 0) Pause(LineTurnPause);
    Exchange();
    RxPos = FirstDataIndex();
}

void TKX_RS::Command(std::uint8_t addr, std::uint8_t func) {
    StartCommand(addr, func);
    Transact();
}

int TKX_RS::ReadAddress() {
    if (LineMode != 0 && !Ui().AskYesNo(texts::OnlyOneDevice)) return -1;
    BeginFrame();
    PutByte(0);
    if (!ShortHeader) {
        PutByte(0);
        PutByte(0);
    }
    PutByte(0);
    Transact();
    return RxBuf[1];
}

void TKX_RS::Exchange() {
    TransmitFrame();
    ReceiveAnswer();
    const std::size_t func = ShortHeader ? 2 : 4;
    if (std::all_of(RxBuf.begin() + 1, RxBuf.begin() + static_cast<std::ptrdiff_t>(func),
                    [](std::uint8_t b) { return b == 0; }))
        throw LinkError(std::string(texts::ExchangeError) + "(" + std::to_string(func) + ")");
    if (RxBuf[func] == 255) throw LinkError(texts::DeviceBusy);
}

void TKX_RS::ReceiveAnswer() {
    try {
        ReceiveFrame();
    } catch (const LinkError&) {
        // Mode 2: a whole frame other than the request where the echo belongs, and not one
        // byte after it. That frame was the answer; the adapter returned no echo.
        if (!otherFrameForEcho_ || received_ != 0) throw;
        EchoMismatchFound(EchoMismatch::Kind::Missing);
        return;   // the answer is still in RxBuf: nothing came to overwrite it
    }
    // The echo always comes before the answer: a late one is dropped here and the answer
    // read after it, instead of a good board being judged by its own request.
    if (IsLateEcho(TxBuf[0])) {
        echoHeard_ = true;
        ReceiveFrame();
        return;
    }
    if (LineMode == 2) return;
    if (HoldsOwnRequest() && !noEchoConfirmed_)
        ReceiveAfterOwnRequest();
    else
        noEchoConfirmed_ = true;
}

void TKX_RS::ReceiveAfterOwnRequest() {
    // Kept aside: a boot loader may answer a request without data with the very same bytes.
    const Buffer request = RxBuf;
    try {
        ReceiveFrame();
    } catch (const LinkError&) {
        if (received_ != 0) throw;
        RxBuf = request;
        return;
    }
    EchoMismatchFound(EchoMismatch::Kind::Unexpected);
}

void TKX_RS::EchoMismatchFound(EchoMismatch::Kind kind) {
    const bool missing = kind == EchoMismatch::Kind::Missing;
    if (!AutoLineMode) {
        if (OnEchoMismatch) OnEchoMismatch(kind);
        throw EchoMismatch(kind, missing ? texts::NoEcho : texts::UnexpectedEcho);
    }
    SetLineMode(missing ? 1 : 2);
    noEchoConfirmed_ = missing;
}

bool TKX_RS::HoldsOwnRequest() const {
    const std::size_t length = TxBuf[0];
    return std::equal(RxBuf.begin(), RxBuf.begin() + static_cast<std::ptrdiff_t>(length), TxBuf.begin());
}

void TKX_RS::TransmitFrame() {
    // A port pulled out and plugged in again is taken up here, before RTS is raised on it.
    ReopenLostPort();
    const bool rs485 = LineMode == 2;
    LineTurn turn(*this, rs485);
    const std::size_t length = TxBuf[0];
    // Whatever arrived since the last frame (late answers included) is dropped here.
    if (Handle) {
        Handle->PurgeInput();
        Handle->PurgeOutput();
    }
    // Not checked: a failed write shows up as a missing answer.
    WritePort(TxBuf.data(), length);
    if (Trace != nullptr) Trace->Sent(TxBuf.data(), length);
    echoHeard_ = true;
    otherFrameForEcho_ = false;
    if (!rs485) return;
    // The request comes back on a two-wire line; take it off and ignore how that went.
    readingEcho_ = true;
    echoHeard_ = false;
    try {
        ReceiveFrame();
        echoHeard_ = true;
        otherFrameForEcho_ = !HoldsOwnRequest();
    } catch (...) {
    }
    readingEcho_ = false;
}

void TKX_RS::ReceiveFrame() {
    received_ = 0;
    const Millis deadline = Clock().Now() + Millis{AnswerTimeout} + TransmissionAllowance(BaudRate, TxPos);
    if (ReadUntil(&RxBuf[0], 1, deadline) == 0) throw LinkError(texts::NoLink);
    received_ = 1;
    const std::size_t length = RxBuf[0];
    if (length < (ShortHeader ? MinShortAnswerLength : MinAnswerLength)) {
        // Only the length byte is taken; the rest stays queued until the next purge.
        TraceReceived(1);
        throw LinkError(texts::NoLink);
    }
    std::size_t got = 1;
    while (got < length) {
        const Millis byteDeadline = Clock().Now() + Millis{ByteTimeout};
        const std::size_t n = ReadUntil(&RxBuf[got], length - got, byteDeadline);
        if (n == 0) {
            TraceReceived(got);
            throw LinkError(texts::ByteGap);
        }
        got += n;
        received_ = got;
    }
    TraceReceived(length);
    if (!CheckAnswer()) throw LinkError(std::string(texts::ExchangeError) + "(0)");
}

Millis TKX_RS::TransmissionAllowance(std::uint32_t baudRate, std::int32_t txPos) {
    // 9600 / BaudRate x TxPos ms, rounded half to even, in exact integer arithmetic.
    if (baudRate == 0 || txPos <= 0) return Millis::zero();
    const std::uint64_t allowance = DivideRoundHalfEven(9600ULL * static_cast<std::uint64_t>(txPos), baudRate);
    return Millis{static_cast<Millis::rep>(allowance)};
}

std::size_t TKX_RS::ReadUntil(std::uint8_t* buffer, std::size_t maxCount, Millis deadline) {
    // The clock counts whole milliseconds and the deadline was taken from a truncated
    // reading, so a wait that ended on the deadline's own tick could be up to a
    // millisecond short: give up only once the clock is later than the deadline.
    const Millis giveUp = deadline + Millis{1};
    for (;;) {
        Ui().ProcessMessages();
        const Millis start = Clock().Now();
        const Millis wait = std::clamp(giveUp - start, Millis::zero(), PumpInterval);
        const std::size_t n = ReadPort(buffer, maxCount, wait);
        if (n > 0) return n;
        // No port (or one that has just gone), or one that gives up early: sleep out the
        // slice rather than spin.
        const Millis waited = Clock().Now() - start;
        if (waited < wait) Clock().Sleep(wait - waited);
        if (Clock().Now() >= giveUp) return 0;
    }
}

void TKX_RS::TraceReceived(std::size_t count) {
    if (Trace != nullptr && count > 0) Trace->Received(RxBuf.data(), count, readingEcho_ || IsLateEcho(count));
}

bool TKX_RS::IsLateEcho(std::size_t count) const {
    if (echoHeard_ || readingEcho_ || count != TxBuf[0] || count > RxBuf.size()) return false;
    return std::equal(RxBuf.begin(), RxBuf.begin() + static_cast<std::ptrdiff_t>(count), TxBuf.begin());
}

void TKX_RS::Pause(Millis duration) {
    // Counted in the sleeps themselves, not on the whole-millisecond clock, whose
    // truncated start could make the pause up to a millisecond short.
    for (Millis left = duration;; ) {
        Ui().ProcessMessages();
        if (left <= Millis::zero()) return;
        const Millis slice = std::min(left, PumpInterval);
        Clock().Sleep(slice);
        left -= slice;
    }
}

}  // namespace kx::link
