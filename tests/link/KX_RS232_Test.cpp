#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "link/RangeError.h"
#include "link/LinkTexts.h"
#include "tests/link/LinkFixture.h"
#include "ui/PassW.h"

namespace kx::test {
namespace {

using link::TKX_RS;
namespace texts = kx::texts;

const Bytes Request{0x06, 0xF9, 0x01, 0x00, 0x01, 0xFF};
const Bytes GoodAnswer = Framed({0xF9, 0x01, 0x00, 0x01, 0xAA, 0xBB});

TEST_F(LinkTest, ConstructorSetsTheProtocolDefaults) {
    EXPECT_EQ(link->Caption, "RS232");
    EXPECT_EQ(link->SettingsSection, "RS232");
    EXPECT_EQ(link->BaudRate, 115200u);
    EXPECT_EQ(link->ByteSize, 8);
    EXPECT_EQ(link->Parity, 0);
    EXPECT_EQ(link->StopBits, 2);
    EXPECT_EQ(link->AnswerTimeout, 1000);
    EXPECT_EQ(link->ByteTimeout, 200);
    EXPECT_EQ(link->LineMode, 0);
    EXPECT_FALSE(link->ShortHeader);
    EXPECT_EQ(link->MenuItem, nullptr);
}

TEST_F(LinkTest, MenuParentGetsThePortCommand) {
    link::TMenuItem menu;
    link->ClosePort();  // so that the second link finds COM1 free
    TKX_RS withMenu(&menu, nullptr, {.ui = ui, .ports = ports, .clock = clock, .priority = priority});
    ASSERT_EQ(menu.Items().size(), 1u);
    EXPECT_EQ(menu.Items()[0]->Caption, "RS232");
    ASSERT_EQ(withMenu.MenuItem->Items().size(), 1u);
    const link::TMenuItem& command = *withMenu.MenuItem->Items()[0];
    EXPECT_EQ(command.Caption, "Номер СОМ-порта");
    EXPECT_EQ(command.HelpContext, 10000);
    EXPECT_EQ(command.ShortCut, "");
    ui::AccessGranted = true;
    command.Click();
    ui::AccessGranted = false;
    EXPECT_TRUE(ui.Has("port-dialog"));
}

TEST_F(LinkTest, SetLineModeAcceptsOnlyTheThreeModes) {
    const std::pair<int, int> cases[] = {{1, 1}, {2, 2}, {0, 0}, {3, 0}, {255, 0}};
    for (auto [mode, expected] : cases) {
        link->SetLineMode(2);
        link->SetLineMode(static_cast<std::uint8_t>(mode));
        EXPECT_EQ(link->LineMode, expected) << mode;
    }
}

TEST_F(LinkTest, CommandWritesTheRequestAndLeavesRxPosOnTheData) {
    AnswerAlways(GoodAnswer);
    link->Command(0xF9, 1);
    ASSERT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(line->writes[0], Request);
    EXPECT_EQ(link->RxPos, 5);
    EXPECT_EQ(link->GetByte(), 0xAA);
    EXPECT_EQ(link->GetByte(), 0xBB);
}

TEST_F(LinkTest, ShortHeaderDropsTheHeaderWord) {
    link->ShortHeader = true;
    AnswerAlways(Framed({0xF9, 0x01, 0xAA}));
    link->Command(0xF9, 1);
    EXPECT_EQ(line->writes.at(0), (Bytes{0x04, 0xF9, 0x01, 0x02}));
    EXPECT_EQ(link->RxPos, 3);
    EXPECT_EQ(link->GetChar(), '\xAA');
}

TEST_F(LinkTest, RequestDataGoesBetweenFunctionCodeAndCheckByte) {
    AnswerAlways(GoodAnswer);
    link->StartCommand(0x10, 0x22);
    link->PutWord(0x0102);
    link->PutChar('Z');
    link->TransactOnce();
    EXPECT_EQ(line->writes.at(0), Framed({0x10, 0x01, 0x00, 0x22, 0x02, 0x01, 'Z'}));
    EXPECT_EQ(link->RxPos, 5);
}

TEST_F(LinkTest, ReadAddressSendsTheZeroFrameAndReturnsTheAnswersAddress) {
    AnswerAlways({0x06, 0x05, 0x00, 0x00, 0x00, 0xF5});
    EXPECT_EQ(link->ReadAddress(), 5);
    EXPECT_EQ(line->writes.at(0), (Bytes{0x06, 0x00, 0x00, 0x00, 0x00, 0xFA}));
    EXPECT_TRUE(ui.events.empty());  // no question in mode 0

    link->ShortHeader = true;
    AnswerAlways({0x04, 0x07, 0x00, 0xF5});
    EXPECT_EQ(link->ReadAddress(), 7);
    EXPECT_EQ(line->writes.at(1), (Bytes{0x04, 0x00, 0x00, 0xFC}));
}

TEST_F(LinkTest, ReadAddressAsksFirstOnSharedLines) {
    link->SetLineMode(2);
    ui.yesNoAnswers = {false};
    EXPECT_EQ(link->ReadAddress(), -1);
    EXPECT_TRUE(line->writes.empty());
    EXPECT_EQ(ui.events, (std::vector<std::string>{std::string("ask:") + texts::OnlyOneDevice}));

    link->SetLineMode(1);
    ui.yesNoAnswers = {true};
    AnswerAlways({0x06, 0x05, 0x00, 0x00, 0x00, 0xF5});
    EXPECT_EQ(link->ReadAddress(), 5);
    EXPECT_EQ(line->writes.size(), 1u);
}

struct FailureCase {
    const char* name;
    bool shortHeader;
    Bytes answer;
    std::string text;
};

TEST_F(LinkTest, EachFailureReachesTheCallerAfterExactlyThreeAttempts) {
    const std::string exchange = texts::ExchangeError;
    const FailureCase cases[] = {
        {"no answer", false, {}, texts::NoLink},
        {"zero header", false, {0x06, 0x00, 0x00, 0x00, 0x01, 0xF9}, exchange + "(4)"},
        {"zero header, short", true, {0x04, 0x00, 0x01, 0xFB}, exchange + "(2)"},
        {"busy", false, {0x06, 0xF9, 0x01, 0x00, 0xFF, 0x01}, texts::DeviceBusy},
        {"bad check byte", false, {0x06, 0xF9, 0x01, 0x00, 0x01, 0xFE}, exchange + "(0)"},
        {"length 5", false, {0x05, 0xF9, 0x01, 0x00, 0x01}, texts::NoLink},
        {"length 3, short", true, {0x03, 0xF9, 0x01}, texts::NoLink},
        {"truncated", false, {0x06, 0xF9, 0x01}, texts::ByteGap},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        line->writes.clear();
        link->ShortHeader = c.shortHeader;
        AnswerAlways(c.answer);
        link->RxPos = 77;
        link->StartCommand(0xF9, 1);
        EXPECT_EQ(LinkErrorOf([&] { link->Transact(); }), c.text);
        ASSERT_EQ(line->writes.size(), 3u);
        EXPECT_EQ(line->writes[1], line->writes[0]);
        EXPECT_EQ(line->writes[2], line->writes[0]);
        EXPECT_EQ(link->RxPos, 77);
    }
}

TEST_F(LinkTest, UnansweredTransactWaitsThreeDeadlinesAndTheProtocolPauses) {
    // At 19200 bit/s a request with TxPos 5 adds R = round-half-even(2.5) = 2 ms.
    link->SetBaudRate(19200);
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        link->SetLineMode(static_cast<std::uint8_t>(mode));
        line->writes.clear();
        line->writeTimes.clear();
        // In mode 2 the echo comes back at once; the answer never does.
        line->onWrite = [&](const Bytes& request) {
            if (mode == 2) line->Send(request);
        };
        const Millis start = clock.Now();
        EXPECT_EQ(LinkErrorOf([&] { link->Command(0xF9, 1); }), texts::NoLink);
        const Millis turn{mode == 0 ? 0 : 20};
        ASSERT_EQ(line->writeTimes.size(), 3u);
        EXPECT_EQ(line->writeTimes[0] - start, turn);
        // Each attempt gives up on the first tick later than its deadline.
        EXPECT_EQ(line->writeTimes[1] - line->writeTimes[0], Millis{1003 + 50});
        EXPECT_EQ(line->writeTimes[2] - line->writeTimes[1], Millis{1003 + 50});
        EXPECT_EQ(clock.Now() - line->writeTimes[2], Millis{1003});
    }
}

// The clock counts whole milliseconds from a truncated start, so a wait may end only on
// a tick later than its deadline: one that ended on the deadline's own tick could be up
// to a millisecond short of the full time.
TEST_F(LinkTest, ReceptionGivesUpOnlyOnceTheClockIsPastTheDeadline) {
    struct Case {
        const char* name;
        Millis firstByte;   // after the write
        Millis spacing;     // between the answer's bytes
        const char* error;  // "" when the answer is taken
        Millis failsAfter;  // from the write, when it fails
    };
    // At 19200 bit/s, TxPos 5: deadline 1000 + 2 ms after the write; ByteTimeout 200 ms.
    const Case cases[] = {
        {"first byte on the deadline", Millis{1002}, Millis{0}, "", {}},
        {"first byte a tick after it", Millis{1003}, Millis{0}, "", {}},
        {"first byte two ticks after it", Millis{1004}, Millis{0}, texts::NoLink, Millis{1003}},
        {"gap of the byte time-out", Millis{0}, Millis{200}, "", {}},
        {"gap a tick longer", Millis{0}, Millis{201}, "", {}},
        {"gap two ticks longer", Millis{0}, Millis{202}, texts::ByteGap, Millis{201}},
    };
    link->SetBaudRate(19200);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line->incoming.clear();
        line->onWrite = [&](const Bytes&) { line->Send(GoodAnswer, c.firstByte, c.spacing); };
        link->StartCommand(0xF9, 1);
        const Millis start = clock.Now();
        EXPECT_EQ(LinkErrorOf([&] { link->TransactOnce(); }), c.error);
        if (*c.error != '\0') {
            EXPECT_EQ(clock.Now() - start, c.failsAfter);
        }
    }
}

TEST(TransmissionAllowance, IsRoundedHalfToEven) {
    struct Case {
        std::uint32_t baud;
        std::int32_t txPos;
        long expected;
    };
    const Case cases[] = {{19200, 5, 2},   {19200, 7, 4},    {9600, 5, 5},     {115200, 6, 0},
                          {115200, 18, 2}, {115200, 254, 21}, {115200, 1, 0},  {1200, 254, 2032},
                          {0, 5, 0},       {19200, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(TKX_RS::TransmissionAllowance(c.baud, c.txPos).count(), c.expected) << c.baud << "/" << c.txPos;
}

TEST_F(LinkTest, LaterAttemptsHideEarlierFailures) {
    AnswerInTurn({{0x06, 0xF9, 0x01, 0x00, 0xFF, 0x01}, {0x06, 0xF9, 0x01, 0x00, 0xFF, 0x01}, GoodAnswer});
    link->Command(0xF9, 1);
    EXPECT_EQ(line->writes.size(), 3u);
    EXPECT_EQ(link->GetByte(), 0xAA);

    // Two bytes, then silence longer than ByteTimeout; the resend is answered.
    line->writes.clear();
    line->onWrite = [&, first = true](const Bytes&) mutable {
        if (first) line->Send({0x06, 0xF9});
        else line->Send(GoodAnswer);
        first = false;
    };
    link->Command(0xF9, 1);
    EXPECT_EQ(line->writes.size(), 2u);
}

TEST_F(LinkTest, ByteTimeoutCountsFromEachByte) {
    // Bytes 199 ms apart pass, the whole answer taking far longer than one ByteTimeout.
    line->onWrite = [&](const Bytes&) { line->Send(GoodAnswer, Millis{0}, Millis{199}); };
    link->StartCommand(0xF9, 1);
    const Millis start = clock.Now();
    EXPECT_NO_THROW(link->TransactOnce());
    EXPECT_EQ(clock.Now() - start, Millis{199 * (GoodAnswer.size() - 1)});
}

TEST_F(LinkTest, ShortLengthByteFailsAtOnceAndLeavesTheRestQueued) {
    line->Send({0x05, 0xF9, 0x01, 0x00, 0x01});
    link->StartCommand(0xF9, 1);
    link->EndFrame();
    const Millis start = clock.Now();
    EXPECT_EQ(LinkErrorOf([&] { link->ReceiveFrame(); }), texts::NoLink);
    EXPECT_EQ(clock.Now(), start);
    EXPECT_EQ(line->incoming.size(), 4u);
}

TEST_F(LinkTest, LineModesDifferInDirectionControlAndEcho) {
    struct Case {
        int mode;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {0, {"PURGE-RX", "PURGE-TX"}},
        {1, {"PURGE-RX", "PURGE-TX"}},
        {2, {"RTS+", "PURGE-RX", "PURGE-TX", "RTS-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        link->SetLineMode(static_cast<std::uint8_t>(c.mode));
        line->events.clear();
        line->writeTimes.clear();
        // The answer sits right behind the echo; reading the echo must not eat it.
        AnswerAlways(GoodAnswer);
        const Millis start = clock.Now();
        link->Command(0xF9, 1);
        EXPECT_EQ(line->events, c.events);
        EXPECT_EQ(line->writeTimes.at(0) - start, Millis{c.mode == 0 ? 0 : 20});
        EXPECT_EQ(link->GetByte(), 0xAA);
        EXPECT_TRUE(line->incoming.empty());
    }
}

TEST_F(LinkTest, EchoFailuresAreIgnoredAndRtsDropsAnyway) {
    link->SetLineMode(2);
    line->onWrite = [&](const Bytes& request) {
        Bytes echo = request;
        echo.back() ^= 0x01;  // a bad check byte
        line->Send(echo);
        line->SendAfterLast(GoodAnswer);
    };
    link->Command(0xF9, 1);
    EXPECT_EQ(link->GetByte(), 0xAA);

    // No echo and no answer: each attempt still ends with RTS dropped.
    line->events.clear();
    line->onWrite = nullptr;
    EXPECT_EQ(LinkErrorOf([&] { link->Command(0xF9, 1); }), texts::NoLink);
    EXPECT_EQ(line->Count("RTS+"), 3u);
    EXPECT_EQ(line->Count("RTS-"), 3u);
    EXPECT_EQ(line->events.back(), "RTS-");
    // The priority the link was given went up and back down around every transmission.
    EXPECT_EQ(priority.raises, 4);
    EXPECT_EQ(priority.restores, 4);
    EXPECT_EQ(priority.raised, 0);
}

TEST_F(LinkTest, MessagesRunAtLeastEveryPumpIntervalWhileWaitingAndPausing) {
    link->SetLineMode(2);
    std::vector<Millis> calls;
    ui.onProcessMessages = [&](long) { calls.push_back(clock.Now()); };
    line->onWrite = [&](const Bytes& request) { line->Send(request, Millis{35}, Millis{15}); };
    const Millis start = clock.Now();
    EXPECT_EQ(LinkErrorOf([&] { link->Command(0xF9, 1); }), texts::NoLink);
    const Millis end = clock.Now();
    ASSERT_FALSE(calls.empty());
    EXPECT_LE(calls.front() - start, TKX_RS::PumpInterval);
    EXPECT_LE(end - calls.back(), TKX_RS::PumpInterval);
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i] - calls[i - 1], TKX_RS::PumpInterval) << i;
}

TEST_F(LinkTest, ClosedPortFailsAfterTheFullDeadlineWithoutSpinning) {
    link->ClosePort();
    std::vector<Millis> calls;
    ui.onProcessMessages = [&](long) { calls.push_back(clock.Now()); };
    const Millis start = clock.Now();
    EXPECT_EQ(LinkErrorOf([&] { link->Command(0xF9, 1); }), texts::NoLink);
    // R at 115200 bit/s for TxPos 5 is 0.
    EXPECT_EQ(clock.Now() - start, Millis{3 * 1001 + 2 * 50});
    EXPECT_EQ(clock.Slept(), clock.Now() - start);
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i] - calls[i - 1], TKX_RS::PumpInterval);
    EXPECT_LT(calls.size(), 400u);
}

// An adapter pulled out under the open handle: the handle is closed, the requests fail as
// on a silent line, and the same port is opened again, configured as before, once it is
// back; the exchange then goes on on the new handle.
TEST_F(LinkTest, APulledPortIsOpenedAgainByItsNameOnceItIsBack) {
    link->SetLineMode(2);
    link->SetBaudRate(19200);
    AnswerAlways(GoodAnswer);
    line->pulled = true;
    line->events.clear();
    const std::size_t opensBefore = ports.opened.size();
    const Millis start = clock.Now();
    EXPECT_EQ(LinkErrorOf([&] { link->Command(0xF9, 1); }), texts::NoLink);
    // The full time of three attempts, each waiting for the echo and then the answer
    // (20 ms turn, R = 2 ms), waited out, not spun.
    EXPECT_EQ(clock.Now() - start, Millis{20 + 3 * 2 * 1003 + 2 * 50});
    EXPECT_EQ(clock.Slept(), clock.Now() - start);
    EXPECT_FALSE(link->PortOpen());
    EXPECT_EQ(line->Count("CLOSE"), 1u);
    // Each later attempt looked for the port again under its name.
    EXPECT_EQ(ports.opened.size() - opensBefore, 2u);
    EXPECT_EQ(ports.opened.back(), "COM1");

    line->pulled = false;
    line->events.clear();
    line->writes.clear();
    ASSERT_NO_THROW(link->Command(0xF9, 1));
    EXPECT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(link->GetByte(), 0xAA);
    EXPECT_EQ(link->PortNumber, 1);
    EXPECT_EQ(link->PortName, "COM1");
    // Opened with the rate in use, DTR raised and input purged, before RTS goes up.
    const std::vector<std::string> reopen{"OPEN", "QUEUES", "BAUD=19200", "BYTESIZE=8", "PARITY=0",
                                          "STOPBITS=2", "DTR", "PURGE-RX", "RTS+"};
    ASSERT_GE(line->events.size(), reopen.size());
    EXPECT_EQ(std::vector<std::string>(line->events.begin(), line->events.begin() + 9), reopen);
}

TEST_F(LinkTest, APortPulledMidAnswerFailsWithTheLinksTextAndAClosedOneStaysClosed) {
    // The adapter goes as the answer starts to come in, and stays away.
    line->onWrite = [&](const Bytes&) {
        line->Send({GoodAnswer[0], GoodAnswer[1]});
        line->pulled = true;
    };
    EXPECT_EQ(LinkErrorOf([&] { link->Command(0xF9, 1); }), texts::NoLink);
    EXPECT_FALSE(link->PortOpen());
    // A port the program closes itself is not taken up again when it comes back.
    link->ClosePort();
    line->pulled = false;
    AnswerAlways(GoodAnswer);
    const std::size_t opens = ports.opened.size();
    EXPECT_EQ(LinkErrorOf([&] { link->Command(0xF9, 1); }), texts::NoLink);
    EXPECT_EQ(ports.opened.size(), opens);
}

struct RecordingTrace final : link::FrameTrace {
    void Sent(const std::uint8_t* data, std::size_t count) override { log.push_back("sent " + Hex(data, count)); }
    void Received(const std::uint8_t* data, std::size_t count, bool echo) override {
        log.push_back((echo ? "echo " : "recv ") + Hex(data, count));
    }
    static std::string Hex(const std::uint8_t* data, std::size_t count) {
        static const char digits[] = "0123456789ABCDEF";
        std::string s;
        for (std::size_t i = 0; i < count; ++i) {
            if (i) s += ' ';
            s += digits[data[i] >> 4];
            s += digits[data[i] & 15];
        }
        return s;
    }
    std::vector<std::string> log;
};

TEST_F(LinkTest, AnEchoLaterThanItsWaitIsDroppedAndTheAnswerAfterItRead) {
    RecordingTrace trace;
    link->Trace = &trace;
    link->SetLineMode(2);
    link->AnswerTimeout = 100;
    // The echo comes after its own wait ran out but within the answer's; the answer follows.
    line->onWrite = [&](const Bytes& request) {
        line->Send(request, Millis{150});
        line->SendAfterLast(GoodAnswer, Millis{2});
    };
    link->Command(0xF9, 1);
    EXPECT_EQ(link->GetByte(), 0xAA);
    EXPECT_EQ(line->writes.size(), 1u);
    ASSERT_EQ(trace.log.size(), 3u);
    EXPECT_EQ(trace.log[1], "echo 06 F9 01 00 01 FF");
    EXPECT_EQ(trace.log[2].rfind("recv ", 0), 0u) << trace.log[2];
}

// What an adapter does with the request, and whether the board answers: the link must tell
// an adapter that does not echo as the line mode says from a late, noisy or lost echo and
// from a silent board, fail with the echo's own error when strict, and go on in the right
// mode when left to find out.
struct EchoCase {
    const char* name;
    int mode;
    bool autoMode;
    enum { NoEcho, Echo, LateEcho, NoisyEcho } echo;
    bool answers;
    std::string error;                 // "" when the request is answered
    std::optional<link::EchoMismatch::Kind> mismatch;
    int modeAfter;
};

class LinkEchoTest : public LinkTest, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(LinkEchoTest, TellsTheAdaptersEchoFromLateNoisyAndMissingAnswers) {
    const EchoCase& c = GetParam();
    link->SetLineMode(static_cast<std::uint8_t>(c.mode));
    link->AutoLineMode = c.autoMode;
    link->AnswerTimeout = 100;
    line->onWrite = [&](const Bytes& request) {
        Bytes noisy = request;
        noisy.back() ^= 0x01;
        if (c.echo == EchoCase::Echo) line->Send(request);
        if (c.echo == EchoCase::LateEcho) line->Send(request, Millis{150});   // after its own wait
        if (c.echo == EchoCase::NoisyEcho) line->Send(noisy);
        if (c.answers) line->SendAfterLast(GoodAnswer, Millis{2});
    };
    std::optional<link::EchoMismatch::Kind> mismatch;
    const std::string error = LinkErrorOf([&] {
        try {
            link->Command(0xF9, 1);
        } catch (const link::EchoMismatch& e) {
            mismatch = e.WhichKind();
            throw;
        }
    });
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(mismatch, c.mismatch);
    EXPECT_EQ(link->LineMode, c.modeAfter);
    if (!error.empty()) {
        EXPECT_EQ(line->writes.size(), 3u) << "attempts";
        return;
    }
    EXPECT_EQ(link->GetByte(), 0xAA);
    // Settled: the next request is answered in that mode without another change.
    ASSERT_NO_THROW(link->Command(0xF9, 1));
    EXPECT_EQ(link->GetByte(), 0xAA);
    EXPECT_EQ(link->LineMode, c.modeAfter);
    EXPECT_EQ(line->writes.size(), 2u);
}

using Kind = link::EchoMismatch::Kind;
INSTANTIATE_TEST_SUITE_P(
    Link, LinkEchoTest,
    ::testing::Values(
        EchoCase{"Mode2AnswerInPlaceOfTheEcho", 2, false, EchoCase::NoEcho, true, texts::NoEcho, Kind::Missing, 2},
        EchoCase{"Mode2AutoGoesOnWithoutEcho", 2, true, EchoCase::NoEcho, true, "", std::nullopt, 1},
        EchoCase{"Mode2LateEcho", 2, false, EchoCase::LateEcho, true, "", std::nullopt, 2},
        EchoCase{"Mode2NoisyEcho", 2, false, EchoCase::NoisyEcho, true, "", std::nullopt, 2},
        EchoCase{"Mode2NoisyEchoSilentBoard", 2, false, EchoCase::NoisyEcho, false, texts::NoLink, std::nullopt, 2},
        EchoCase{"Mode2LateEchoSilentBoard", 2, true, EchoCase::LateEcho, false, texts::NoLink, std::nullopt, 2},
        EchoCase{"Mode2AutoSilentLine", 2, true, EchoCase::NoEcho, false, texts::NoLink, std::nullopt, 2},
        EchoCase{"Mode1EchoBeforeTheAnswer", 1, false, EchoCase::Echo, true, texts::UnexpectedEcho, Kind::Unexpected,
                 1},
        EchoCase{"Mode0EchoBeforeTheAnswer", 0, false, EchoCase::Echo, true, texts::UnexpectedEcho, Kind::Unexpected,
                 0},
        EchoCase{"Mode1AutoGoesOnWithEcho", 1, true, EchoCase::Echo, true, "", std::nullopt, 2},
        EchoCase{"Mode1NoEcho", 1, false, EchoCase::NoEcho, true, "", std::nullopt, 1}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(LinkTest, AnAnswerEqualToItsRequestIsStillAnAnswerWithoutEcho) {
    // Some requests are answered with their very bytes (finish: 06 F9 01 00 06 FA). Before
    // the line has shown that it has no echo the link waits once for a frame behind them;
    // after that it takes them at once.
    link->SetLineMode(1);
    link->AnswerTimeout = 100;
    line->onWrite = [&](const Bytes& request) { line->SendAfterLast(request, Millis{2}); };
    Millis start = clock.Now();
    ASSERT_NO_THROW(link->Command(0xF9, 6));
    EXPECT_EQ(clock.Now() - start, Millis{20 + 2 + 101});
    AnswerAlways(GoodAnswer);
    ASSERT_NO_THROW(link->Command(0xF9, 1));
    line->onWrite = [&](const Bytes& request) { line->SendAfterLast(request, Millis{2}); };
    start = clock.Now();
    ASSERT_NO_THROW(link->Command(0xF9, 6));
    EXPECT_EQ(clock.Now() - start, Millis{20 + 2});
    EXPECT_EQ(link->LineMode, 1);
}

TEST_F(LinkTest, TraceSeesSentEchoedAndPartialFrames) {
    RecordingTrace trace;
    link->Trace = &trace;
    link->SetLineMode(2);
    AnswerAlways({0x06, 0x05, 0x00, 0x00, 0x00, 0xF5});
    link->Command(0xF9, 1);
    EXPECT_EQ(trace.log, (std::vector<std::string>{"sent 06 F9 01 00 01 FF", "echo 06 F9 01 00 01 FF",
                                                   "recv 06 05 00 00 00 F5"}));

    trace.log.clear();
    link->SetLineMode(0);
    AnswerAlways({0x06, 0xF9, 0x01});
    link->StartCommand(0xF9, 1);
    EXPECT_THROW(link->TransactOnce(), link::LinkError);
    EXPECT_EQ(trace.log, (std::vector<std::string>{"sent 06 F9 01 00 01 FF", "recv 06 F9 01"}));
}

TEST_F(LinkTest, GetStringReadsUpToTheTerminator) {
    const Bytes data{0x41, 0x42, 0x00, 0x43};
    std::copy(data.begin(), data.end(), link->RxBuf.begin() + 5);
    link->RxPos = 5;
    std::string s = "old";
    link->GetString(s);
    EXPECT_EQ(s, "AB");
    EXPECT_EQ(link->RxPos, 8);

    std::fill(link->RxBuf.begin(), link->RxBuf.end(), 0x41);
    link->RxPos = 250;
    EXPECT_THROW(link->GetString(s), link::RangeError);
}

}  // namespace
}  // namespace kx::test

namespace {

// A clock that keeps time in microseconds but, like the real one, shows whole milliseconds,
// and whose sleeps overrun a little, as the OS's do.
class TruncatingClock final : public kx::platform::Clock {
public:
    kx::platform::Millis Now() const override {
        return std::chrono::duration_cast<kx::platform::Millis>(now);
    }
    void Sleep(kx::platform::Millis duration) override { now += duration + std::chrono::microseconds{100}; }
    std::chrono::microseconds now{1'000'900};  // 0.9 ms into a millisecond
};

}  // namespace

TEST(LinkPause, LastsTheFullDurationWhenTheClockShowsOnlyWholeMilliseconds) {
    TruncatingClock clock;
    kx::test::FakeClock portClock;
    kx::test::FakeSerialPorts ports{portClock};
    kx::test::FakePriority priority;
    kx::test::ScriptedUi ui;
    kx::link::TKX_RS link(nullptr, nullptr, {.ui = ui, .ports = ports, .clock = clock, .priority = priority});
    for (const int ms : {20, 50}) {
        const auto start = clock.now;
        link.Pause(kx::platform::Millis{ms});
        EXPECT_GE(clock.now - start, std::chrono::milliseconds{ms}) << ms << " ms pause";
    }
}
