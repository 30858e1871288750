// Frames on the wire, answer tests, retries and line modes against kxboot-sim.
#include <functional>

#include "tests/pty/PtyFixture.h"
#include "link/LinkTexts.h"

namespace kx::test {
namespace {

using link::TKX_RS;
namespace texts = kx::texts;

std::string Repeat(const std::string& hex, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += hex;
    return text;
}

struct WireCase {
    const char* name;
    std::vector<std::string> simOptions;
    std::uint8_t mode;
    bool shortHeader;
    std::function<void(TKX_RS&)> send;
    std::string wire;  // the request as the simulator received it
};

class WireExamples : public PtyTest, public ::testing::WithParamInterface<WireCase> {};

TEST_P(WireExamples, TheRequestGoesOutByteForByte) {
    const WireCase& c = GetParam();
    SimProcess& sim = StartSim(c.simOptions);
    TKX_RS& rs = MakeLink(c.mode, c.shortHeader);
    ASSERT_NO_THROW(c.send(rs));
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["raw"], c.wire);
    EXPECT_EQ(requests[0]["answered"], "yes");
}

INSTANTIATE_TEST_SUITE_P(
    Pty, WireExamples,
    ::testing::Values(
        WireCase{"Identify", {}, 2, false, [](TKX_RS& rs) { rs.Command(0xF9, 1); }, "06F9010001FF"},
        WireCase{"IdentifyShortHeader", {"--short-header"}, 2, true, [](TKX_RS& rs) { rs.Command(0xF9, 1); },
                 "04F90102"},
        WireCase{"Finish", {}, 2, false, [](TKX_RS& rs) { rs.Command(0xF9, 6); }, "06F9010006FA"},
        WireCase{"ProgramPage1", {}, 2, false,
                 [](TKX_RS& rs) {
                     rs.StartCommand(0xF9, 20);
                     rs.PutWord(0);
                     rs.PutByte(0);
                     rs.Transact();
                 },
                 "09F9010014000000E9"},
        WireCase{"ProgramPage2", {}, 2, false,
                 [](TKX_RS& rs) {
                     rs.StartCommand(0xF9, 20);
                     rs.PutWord(0x0800);
                     rs.PutByte(0);
                     rs.Transact();
                 },
                 "09F9010014000800E1"},
        WireCase{"ProgramPage21", {}, 2, false,
                 [](TKX_RS& rs) {
                     rs.StartCommand(0xF9, 20);
                     rs.PutWord(0xA000);
                     rs.PutByte(0);
                     rs.Transact();
                 },
                 "09F901001400A00049"},
        WireCase{"WriteDataOfZeros", {}, 2, false,
                 [](TKX_RS& rs) {
                     rs.StartCommand(0xF9, 10);
                     rs.PutByte(0);
                     for (int i = 0; i < 128; ++i) rs.PutByte(0);
                     rs.Transact();
                 },
                 "87F901000A00" + Repeat("00", 128) + "75"},
        WireCase{"AddressQueryMode0", {"--no-echo", "--own-address", "5"}, 0, false,
                 [](TKX_RS& rs) { EXPECT_EQ(rs.ReadAddress(), 5); }, "0600000000FA"},
        WireCase{"AddressQueryShortHeader", {"--no-echo", "--short-header", "--own-address", "0x21"}, 0, true,
                 [](TKX_RS& rs) { EXPECT_EQ(rs.ReadAddress(), 0x21); }, "040000FC"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(PtyTest, TheIdentityAnswerIsReadFromTheFirstDataByteOn) {
    StartSim({"--id-byte4", "0x4F", "--head", "A1A2A3A4A5A6"});
    TKX_RS& rs = MakeLink(2);
    rs.Command(0xF9, 1);
    EXPECT_EQ(rs.GetWord(), 0x1D2D);
    EXPECT_EQ(rs.GetByte(), 0x00);
    EXPECT_EQ(rs.GetByte(), 0x00);
    EXPECT_EQ(rs.GetByte(), 0x4F);
    EXPECT_EQ(rs.GetByte(), 0x00);
    for (std::uint8_t head = 0xA1; head <= 0xA6; ++head) EXPECT_EQ(rs.GetByte(), head);
}

TEST_F(PtyTest, AnAddressQueryDeclinedSendsNothing) {
    SimProcess& sim = StartSim({});
    TKX_RS& rs = MakeLink(2);
    EXPECT_EQ(rs.ReadAddress(), -1);  // the scripted user answers No
    EXPECT_TRUE(ui.Has("ask:" + std::string(texts::OnlyOneDevice)));
    rs.Command(0xF9, 6);
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);  // only the finish request reached the line
    EXPECT_EQ(requests[0]["fn"], "6");
}

struct FaultCase {
    const char* fault;
    std::string text;  // what the caller gets after three attempts
};

class ThreeAttempts : public PtyTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ThreeAttempts, EveryAttemptFailingGivesTheThirdFailure) {
    SimProcess& sim = StartSim({"--fault", std::string(GetParam().fault) + ":times=0", "--gap-ms", "450"});
    TKX_RS& rs = MakeLink(2);
    rs.AnswerTimeout = 250;
    EXPECT_EQ(LinkErrorOf([&] { rs.Command(0xF9, 1); }), GetParam().text);
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) {
        EXPECT_EQ(request["raw"], "06F9010001FF");
        EXPECT_EQ(request["answer"], GetParam().fault);
    }
}

TEST_P(ThreeAttempts, ASuccessfulThirdAttemptHidesTwoFailures) {
    SimProcess& sim = StartSim({"--fault", std::string(GetParam().fault) + ":times=2", "--gap-ms", "450"});
    TKX_RS& rs = MakeLink(2);
    rs.AnswerTimeout = 250;
    ASSERT_NO_THROW(rs.Command(0xF9, 1));
    EXPECT_EQ(rs.GetWord(), 0x1D2D);
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2]["answer"], "ok");
}

INSTANTIATE_TEST_SUITE_P(
    Pty, ThreeAttempts,
    ::testing::Values(FaultCase{"none", texts::NoLink}, FaultCase{"busy", texts::DeviceBusy},
                      FaultCase{"badcheck", std::string(texts::ExchangeError) + "(0)"},
                      FaultCase{"zeroheader", std::string(texts::ExchangeError) + "(4)"},
                      FaultCase{"shortlen", texts::NoLink}, FaultCase{"gap", texts::ByteGap},
                      FaultCase{"cut", texts::ByteGap}),
    [](const auto& param) { return std::string(param.param.fault); });

TEST_F(PtyTest, APauseInsideTheAnswerFailsOnlyWhenLongerThanTheByteTimeout) {
    struct Case {
        const char* gapMs;
        std::uint16_t byteTimeout;
        const char* error;
    };
    for (const Case c : {Case{"60", 250, ""}, Case{"250", 60, texts::ByteGap}}) {
        sims.clear();
        StartSim({"--fault", "gap", "--gap-ms", c.gapMs});
        TKX_RS& rs = MakeLink(2);
        rs.ByteTimeout = c.byteTimeout;
        rs.StartCommand(0xF9, 1);
        EXPECT_EQ(LinkErrorOf([&] { rs.TransactOnce(); }), c.error) << "pause " << c.gapMs << " ms";
        if (*c.error == '\0') {
            EXPECT_EQ(rs.GetWord(), 0x1D2D);
        }
    }
}

TEST_F(PtyTest, ALateEchoWithinTheAnswerTimeIsStillDropped) {
    SimProcess& sim = StartSim({"--echo-delay", "60", "--fault", "late-echo", "--late-echo-ms", "40"});
    TKX_RS& rs = MakeLink(2);
    rs.AnswerTimeout = 300;
    for (int i = 0; i < 2; ++i) {
        ASSERT_NO_THROW(rs.Command(0xF9, 1));
        EXPECT_EQ(rs.GetWord(), 0x1D2D);  // the answer, not the echo
    }
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]["answer"], "late-echo");
}

struct ModeCase {
    const char* name;
    std::uint8_t mode;
    bool autoMode;
    bool echo;
    const char* error;   // "" when the identity answer is read
    std::size_t requests;
    std::uint8_t modeAfter;
};

class LineModes : public PtyTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(LineModes, EchoHandlingDependsOnTheMode) {
    const ModeCase& c = GetParam();
    SimProcess& sim = StartSim(c.echo ? std::vector<std::string>{} : std::vector<std::string>{"--no-echo"});
    TKX_RS& rs = MakeLink(c.mode);
    rs.AutoLineMode = c.autoMode;
    rs.AnswerTimeout = 250;
    const std::string error = LinkErrorOf([&] { rs.Command(0xF9, 1); });
    EXPECT_EQ(error, c.error);
    if (*c.error == '\0') {
        EXPECT_EQ(rs.GetWord(), 0x1D2D);   // the answer, never the request
    }
    EXPECT_EQ(rs.LineMode, c.modeAfter);
    EXPECT_EQ(sim.Requests().size(), c.requests);
}

INSTANTIATE_TEST_SUITE_P(
    Pty, LineModes,
    ::testing::Values(
        // RS232 and RS422 lines without echo: the answer comes straight back.
        ModeCase{"Mode0NoEcho", 0, false, false, "", 1, 0}, ModeCase{"Mode1NoEcho", 1, false, false, "", 1, 1},
        // Two-wire RS485: the echo is taken off first.
        ModeCase{"Mode2Echo", 2, false, true, "", 1, 2},
        // The answer where the echo belongs and nothing after it: the adapter has none.
        ModeCase{"Mode2NoEcho", 2, false, false, texts::NoEcho, 3, 2},
        ModeCase{"Mode2NoEchoAuto", 2, true, false, "", 1, 1},
        // The request's own bytes where the answer belongs, the answer after them.
        ModeCase{"Mode0Echo", 0, false, true, texts::UnexpectedEcho, 3, 0},
        ModeCase{"Mode1Echo", 1, false, true, texts::UnexpectedEcho, 3, 1},
        ModeCase{"Mode1EchoAuto", 1, true, true, "", 1, 2}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(PtyTest, ModesOneAndTwoPauseBeforeTheFirstAttempt) {
    for (const std::uint8_t mode : {1, 2}) {
        sims.clear();
        SimProcess& sim = StartSim(mode == 2 ? std::vector<std::string>{} : std::vector<std::string>{"--no-echo"});
        TKX_RS& rs = MakeLink(mode);
        const auto before = Steady::now();
        rs.Command(0xF9, 6);
        const auto requests = sim.Requests();
        ASSERT_EQ(requests.size(), 1u);
        // Both processes read the same monotonic clock.
        const double sentAt = std::stod(requests[0]["t"]);
        const double calledAt = std::chrono::duration<double, std::milli>(before.time_since_epoch()).count();
        // The link counts whole milliseconds, so its 20 ms may be up to one short.
        EXPECT_GE(sentAt - calledAt, 19.0) << "mode " << int(mode);
    }
}

TEST_F(PtyTest, APacedLineTakesItsTimeAndStillWorks) {
    SimProcess& sim = StartSim({"--baud", "line", "--turnaround", "2"});
    TKX_RS& rs = MakeLink(2);
    rs.StartCommand(0xF9, 10);
    rs.PutByte(3);
    for (int i = 0; i < 128; ++i) rs.PutByte(static_cast<std::uint8_t>(i));
    const auto start = Steady::now();
    ASSERT_NO_THROW(rs.Transact());
    const auto took = Steady::now() - start;
    // 135 request bytes echoed and a 6-byte answer, 11 bits each at 19200 bit/s.
    EXPECT_GE(took, std::chrono::microseconds((135 + 6) * 11 * 1'000'000LL / 19200));
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["packet"], "3");
}

TEST_F(PtyTest, IgnoredIdentifiesLookLikeADeviceSwitchedOnLate) {
    SimProcess& sim = StartSim({"--ignore-identify", "4"});
    TKX_RS& rs = MakeLink(2);
    rs.AnswerTimeout = 200;
    EXPECT_EQ(LinkErrorOf([&] { rs.Command(0xF9, 1); }), texts::NoLink);
    ASSERT_NO_THROW(rs.Command(0xF9, 1));  // the fourth request is ignored, the fifth answered
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[3]["answer"], "ignored");
    EXPECT_EQ(requests[4]["answer"], "ok");
}

TEST_F(PtyTest, DataPacketsEndUpInTheFlashImage) {
    TempDir dir;
    SimProcess& sim = StartSim({"--flash", dir.File("flash.bin")});
    TKX_RS& rs = MakeLink(2);
    for (const std::uint8_t packet : {1, 0}) {
        rs.StartCommand(0xF9, 10);
        rs.PutByte(packet);
        for (int i = 0; i < 128; ++i) rs.PutByte(static_cast<std::uint8_t>(packet * 128 + i));
        rs.Transact();
    }
    rs.StartCommand(0xF9, 20);
    rs.PutWord(0x0800);
    rs.PutByte(0);
    rs.Transact();
    const std::string image = ReadAll(dir.File("flash.bin"));
    ASSERT_EQ(image.size(), 3072u + 256u);
    EXPECT_EQ(image.substr(0, 3072), std::string(3072, '\xFF'));
    for (int i = 0; i < 256; ++i) EXPECT_EQ(static_cast<std::uint8_t>(image[3072 + i]), i) << i;
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0]["packet"], "1");
    EXPECT_EQ(requests[2]["page"], "2048");
}

}  // namespace
}  // namespace kx::test
