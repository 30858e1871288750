// The answer path of the link under arbitrary device behaviour: whatever bytes come
// back as echo and answer, with whatever timing, in line modes 0 and 2, with and
// without the short header, a request ends in bounded time with success or one of
// the link's own errors, and an answer it accepts is a well-formed frame.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "link/KX_RS232.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "tests/support/FakePriority.h"
#include "link/RangeError.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeSerial.h"

namespace {

using kx::link::LinkError;
using kx::link::RangeError;
using kx::link::TKX_RS;
using kx::platform::Millis;
using kx::test::Bytes;

using kx::fuzz::Fail;
using kx::fuzz::Require;

std::uint8_t CheckByteFor(const Bytes& frame) {
    unsigned sum = 0;
    for (std::uint8_t b : frame) sum += b;
    return static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

// What the simulated device puts on the line after one write.
class Device {
public:
    Device(FuzzedDataProvider& in, kx::test::FakeLine& line, bool echoMode)
        : in_(in), line_(line), echoMode_(echoMode) {}

    void OnWrite(const Bytes& request) {
        if (echoMode_) SendEcho(request);
        SendAnswer();
    }

private:
    Millis Delay(unsigned max) { return Millis{in_.ConsumeIntegralInRange<unsigned>(0, max)}; }

    void SendEcho(const Bytes& request) {
        Bytes echo = request;
        switch (in_.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: break;                                                 // clean echo
            case 1: echo.clear(); break;                                   // none
            case 2: echo.resize(in_.ConsumeIntegralInRange<std::size_t>(0, echo.size())); break;
            case 3:                                                        // one byte garbled
                if (!echo.empty()) echo[in_.ConsumeIntegralInRange<std::size_t>(0, echo.size() - 1)] ^= 0x5A;
                break;
            default: echo = in_.ConsumeBytes<std::uint8_t>(in_.ConsumeIntegralInRange<std::size_t>(0, 300));
        }
        line_.SendAfterLast(echo, Delay(300));
    }

    void SendAnswer() {
        Bytes answer;
        if (in_.ConsumeBool()) {
            // A well-formed frame around fuzzed content, possibly damaged afterwards.
            answer = in_.ConsumeBytes<std::uint8_t>(in_.ConsumeIntegralInRange<std::size_t>(3, 253));
            answer.insert(answer.begin(), static_cast<std::uint8_t>(answer.size() + 2));
            answer.push_back(CheckByteFor(answer));
            if (in_.ConsumeBool() && !answer.empty())
                answer[in_.ConsumeIntegralInRange<std::size_t>(0, answer.size() - 1)] = in_.ConsumeIntegral<std::uint8_t>();
            if (in_.ConsumeBool()) answer.resize(in_.ConsumeIntegralInRange<std::size_t>(0, answer.size()));
        } else {
            answer = in_.ConsumeBytes<std::uint8_t>(in_.ConsumeIntegralInRange<std::size_t>(0, 300));
        }
        const Millis delay = Delay(2000);
        const Millis spacing = Delay(in_.ConsumeBool() ? 3 : 400);
        const Millis start = line_.incoming.empty() ? line_.clock.Now() : std::max(line_.clock.Now(), line_.incoming.back().first);
        line_.Send(answer, start - line_.clock.Now() + delay, spacing);
        // Sometimes one long gap inside the answer.
        if (in_.ConsumeBool() && line_.incoming.size() > 1) {
            const std::size_t from = in_.ConsumeIntegralInRange<std::size_t>(1, line_.incoming.size() - 1);
            const Millis gap = Delay(1000);
            for (std::size_t i = from; i < line_.incoming.size(); ++i) line_.incoming[i].first += gap;
        }
    }

    FuzzedDataProvider& in_;
    kx::test::FakeLine& line_;
    bool echoMode_;
};

bool IsLinkText(const std::string& text, bool shortHeader) {
    namespace t = kx::texts;
    const std::string exchange = t::ExchangeError;
    return text == t::NoLink || text == t::ByteGap || text == t::DeviceBusy || text == exchange + "(0)" ||
           text == exchange + (shortHeader ? "(2)" : "(4)") || text == t::NoEcho || text == t::UnexpectedEcho;
}

// The longest a request may take: every attempt waits for two frames (mode 2: the echo and
// the answer; modes 0 and 1: a frame equal to the request and the one after it), each at
// most the first-byte deadline plus a byte time-out per further byte.
Millis Bound(const TKX_RS& link) {
    const double perByteOfRequest = 9600.0 / std::max<std::uint32_t>(link.BaudRate, 1);
    const Millis allowance{static_cast<long>(perByteOfRequest * link.TxPos) + 1};
    const Millis frame = Millis{link.AnswerTimeout} + allowance + 254 * Millis{link.ByteTimeout + 2} + Millis{10};
    const int framesPerAttempt = 2;
    return TKX_RS::LineTurnPause + TKX_RS::Attempts * framesPerAttempt * frame +
           (TKX_RS::Attempts - 1) * TKX_RS::RetryPause + Millis{50};
}

void CheckAccepted(TKX_RS& link) {
    const int h = link.ShortHeader ? 2 : 4;
    const int length = link.RxBuf[0];
    Require(link.RxPos == h + 1, "RxPos after success is not the first data byte");
    Require(length >= h + 2, "accepted an answer shorter than the minimum");
    unsigned sum = 0;
    for (int i = 0; i < length; ++i) sum += link.RxBuf[static_cast<std::size_t>(i)];
    Require(sum % 256 == 0, "accepted an answer with a wrong check byte");
    bool header = false;
    for (int i = 1; i < h; ++i) header = header || link.RxBuf[static_cast<std::size_t>(i)] != 0;
    Require(header, "accepted an answer whose address and header are all zero");
    Require(link.RxBuf[static_cast<std::size_t>(h)] != 255, "accepted a busy answer");
}

void ReadAnswer(FuzzedDataProvider& in, TKX_RS& link) {
    const int reads = in.ConsumeIntegralInRange<int>(0, 8);
    for (int i = 0; i < reads; ++i) {
        switch (in.ConsumeIntegralInRange<int>(0, 5)) {
            case 0: link.GetByte(); break;
            case 1: link.GetWord(); break;
            case 2: link.GetLongInt(); break;
            case 3: link.GetSingle(); break;
            case 4: link.GetChar(); break;
            default: { std::string s; link.GetString(s); }
        }
    }
}

// One request chosen by the input; returns whether its frame was closed (written).
void OneRequest(FuzzedDataProvider& in, TKX_RS& link, kx::test::FakeLine& line) {
    const std::size_t writesBefore = line.writes.size();
    const Millis start = line.clock.Now();
    const int kind = in.ConsumeIntegralInRange<int>(0, 3);
    bool once = false;
    try {
        if (kind == 0) {
            link.Command(in.ConsumeIntegral<std::uint8_t>(), in.ConsumeIntegral<std::uint8_t>());
        } else {
            link.StartCommand(in.ConsumeIntegral<std::uint8_t>(), in.ConsumeIntegral<std::uint8_t>());
            const int count = in.ConsumeIntegralInRange<int>(0, 260);
            for (int i = 0; i < count; ++i) link.PutByte(static_cast<std::uint8_t>(i));
            once = kind == 3;
            if (once) link.TransactOnce(); else link.Transact();
        }
        CheckAccepted(link);
        ReadAnswer(in, link);
    } catch (const LinkError& e) {
        Require(IsLinkText(e.what(), link.ShortHeader), std::string("unknown link text: ") + e.what());
    } catch (const RangeError&) {
        // Frames longer than 255 bytes and reads past the buffer.
    }
    const std::size_t writes = line.writes.size() - writesBefore;
    Require(writes <= static_cast<std::size_t>(once ? 1 : TKX_RS::Attempts), "more writes than attempts");
    for (std::size_t i = writesBefore; i < line.writes.size(); ++i) {
        const Bytes& frame = line.writes[i];
        Require(!frame.empty() && frame[0] == frame.size(), "written frame does not carry its length");
        Require(frame == line.writes[writesBefore], "a retry sent different bytes");
        unsigned sum = 0;
        for (std::uint8_t b : frame) sum += b;
        Require(sum % 256 == 0, "written frame has a wrong check byte");
    }
    Require(line.clock.Now() - start <= Bound(link), "request took longer than its time-outs allow");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    kx::test::FakeClock clock;
    kx::test::FakeSerialPorts ports(clock);
    auto line = ports.Add("fuzz");
    kx::test::FakePriority priority;
    // Silent: every question declined, so an answer can never start a dialog.
    TKX_RS link(nullptr, nullptr, {.ui = kx::ui::SilentUserInterface(), .ports = ports, .clock = clock, .priority = priority});
    link.OpenPortNamed("fuzz");
    Require(link.PortOpen(), "the fake port did not open");
    link.SetLineMode(in.ConsumeBool() ? 2 : 0);
    link.ShortHeader = in.ConsumeBool();
    link.AnswerTimeout = in.ConsumeIntegral<std::uint16_t>();
    link.ByteTimeout = in.ConsumeIntegral<std::uint16_t>();
    if (in.ConsumeBool()) link.SetBaudRate(19200);

    Device device(in, *line, link.LineMode == 2);
    line->onWrite = [&device](const Bytes& request) { device.OnWrite(request); };
    for (int request = 0; request < 6 && in.remaining_bytes() > 0; ++request) OneRequest(in, link, *line);
    line->onWrite = nullptr;
    return 0;
}
