// The simulator's own parts: its framing, fault rules, command line, flash image and
// request log.
#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/LoggedRequest.h"
#include "sim/SimDevice.h"
#include "sim/SimFaults.h"
#include "sim/SimFlash.h"
#include "sim/SimFrame.h"
#include "sim/SimLog.h"
#include "sim/SimNumbers.h"
#include "sim/SimOptions.h"
#include "tests/app/TempDir.h"

namespace kx::sim {
namespace {

Bytes Hex(const std::string& text) {
    const auto bytes = ParseHexBytes(text);
    return Bytes(bytes.begin(), bytes.end());
}

TEST(SimFrame, BuildsTheFramesOfTheWireExamples) {
    struct Case {
        std::uint8_t address;
        std::optional<std::uint16_t> header;
        std::uint8_t function;
        Bytes data;
        const char* wire;
    };
    const Case cases[] = {
        {0xF9, 1, 1, {}, "06 F9 01 00 01 FF"},
        {0xF9, std::nullopt, 1, {}, "04 F9 01 02"},
        {0x00, 0, 0, {}, "06 00 00 00 00 FA"},
        {0x05, 0, 0, {}, "06 05 00 00 00 F5"},
        {0xF9, 1, 0xFF, {}, "06 F9 01 00 FF 01"},
        {0xF9, 1, 6, {}, "06 F9 01 00 06 FA"},
        {0xF9, 1, 20, {0x00, 0x08, 0x00}, "09 F9 01 00 14 00 08 00 E1"},
    };
    for (const auto& c : cases) EXPECT_EQ(BuildFrame(c.address, c.header, c.function, c.data), Hex(c.wire)) << c.wire;

    Bytes packet(129, 0);  // packet 0 of a page of zero bytes
    const Bytes frame = BuildFrame(0xF9, 1, 10, packet);
    ASSERT_EQ(frame.size(), 135u);
    EXPECT_EQ(frame[0], 0x87);
    EXPECT_EQ(frame.back(), 0x75);
}

// What the simulator writes is what the benchmarks and the tests read back, field by
// field; a line still being written is not read yet.
TEST(RequestLog, ReadsBackEveryFieldItWrote) {
    test::TempDir dir;
    const std::string path = dir.File("sim.log");
    const auto at = [](long us) { return TimePoint(std::chrono::microseconds(us)); };
    {
        RequestLog log(path);
        log.Write(at(1'000'250), 1, 0, ParseRequest(Hex("06 F9 01 00 01 FF"), false), "ok", true);
        Bytes packet(129, 0);
        packet[0] = 23;
        log.Write(at(1'020'500), 2, 3, ParseRequest(BuildFrame(0xF9, 1, 10, packet), false), "none", false);
        log.Write(at(1'090'000), 3, 0, ParseRequest(Hex("09 F9 01 00 14 00 A0 00 49"), false), "ok", true);
        log.Write(at(1'100'000), 4, 0, ParseRequest(Hex("04 F9 01 02"), true), "ignored", false);
    }
    test::WriteAll(path, test::ReadAll(path) + "t=1200.000000 seq=5 addr=249 hdr=1 fn=6 len=6 answer=ok");

    const std::vector<LoggedRequest> read = ParseRequestLog(test::ReadAll(path));
    ASSERT_EQ(read.size(), 4u);
    const LoggedRequest& identify = read[0];
    EXPECT_DOUBLE_EQ(identify.t, 1000.25);
    EXPECT_EQ(identify.seq, 1);
    EXPECT_EQ(identify.board, 0);
    EXPECT_EQ(identify.addr, 0xF9);
    EXPECT_EQ(identify.hdr, std::optional<int>(1));
    EXPECT_EQ(identify.fn, 1);
    EXPECT_EQ(identify.len, 6);
    EXPECT_EQ(identify.answer, "ok");
    EXPECT_TRUE(identify.answered);
    EXPECT_EQ(identify.raw, "06F9010001FF");
    EXPECT_FALSE(identify.packet || identify.page);

    EXPECT_EQ(read[1].board, 3);
    EXPECT_EQ(read[1].fn, 10);
    EXPECT_EQ(read[1].len, 135);
    EXPECT_EQ(read[1].packet, std::optional<int>(23));
    EXPECT_EQ(read[1].answer, "none");
    EXPECT_FALSE(read[1].answered);
    EXPECT_EQ(read[2].page, std::optional<long>(0xA000));
    EXPECT_FALSE(read[3].hdr);
    EXPECT_EQ(read[3].len, 4);
    EXPECT_EQ(read[3].raw, "04F90102");
}

TEST(SimFrame, ParsesRequestsWithAndWithoutHeaderWord) {
    const Request full = ParseRequest(Hex("09 F9 01 00 14 00 A0 00 49"), false);
    EXPECT_EQ(full.address, 0xF9);
    EXPECT_EQ(full.header, std::optional<std::uint16_t>(1));
    EXPECT_EQ(full.function, 20);
    EXPECT_EQ(full.data, Hex("00 A0 00"));
    EXPECT_TRUE(full.checkOk);
    EXPECT_EQ(PageAddress(full), std::optional<std::uint32_t>(0xA000));

    const Request shortOne = ParseRequest(Hex("04 F9 01 03"), true);
    EXPECT_FALSE(shortOne.header);
    EXPECT_EQ(shortOne.function, 1);
    EXPECT_TRUE(shortOne.data.empty());
    EXPECT_FALSE(shortOne.checkOk);
}

TEST(SimFaults, RulesHitTheChosenOrdinalsOfTheMatchingRequests) {
    FaultPlan plan;
    plan.Add(ParseFaultRule("busy:addr=249:fn=10:nth=2:times=2"));
    plan.Add(ParseFaultRule("none:nth=6"));
    std::vector<FaultKind> seen;
    const std::pair<int, int> requests[] = {{249, 10}, {249, 20}, {249, 10}, {240, 10}, {249, 10}, {249, 10}, {249, 10}};
    for (const auto& [address, function] : requests) {
        seen.push_back(plan.Next(static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(function)));
    }
    EXPECT_EQ(seen, (std::vector<FaultKind>{FaultKind::None, FaultKind::None, FaultKind::Busy, FaultKind::None,
                                            FaultKind::Busy, FaultKind::NoAnswer, FaultKind::None}));

    FaultPlan forever;
    forever.Add(ParseFaultRule("cut:fn=1:nth=2:times=0"));
    EXPECT_EQ(forever.Next(249, 1), FaultKind::None);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(forever.Next(249, 1), FaultKind::Cut);
}

TEST(SimFaults, BadRulesAreRefusedWithAReason) {
    for (const char* bad : {"", "explode", "busy:nth=0", "busy:addr=256", "busy:fn", "busy:colour=red", "busy:nth=x"}) {
        EXPECT_THROW(ParseFaultRule(bad), std::invalid_argument) << bad;
    }
}

TEST(SimOptions, ParsesValuesFlagsAndFaults) {
    const char* argv[] = {"kxboot-sim", "--no-echo", "--id", "0x1234", "--head=010203040506", "--baud", "line",
                          "--silent", "3:2", "--fault", "gap:fn=1", "--rev-241", "15", "--until-killed",
                          "--latency-timer", "16"};
    const Options o = ParseOptions(static_cast<int>(std::size(argv)), const_cast<char**>(argv));
    EXPECT_FALSE(o.echo);
    EXPECT_EQ(o.identity249, 0x1234);
    EXPECT_EQ(o.headBytes, (std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(o.paceLineRate);
    ASSERT_EQ(o.faults.size(), 2u);
    EXPECT_EQ(o.faults[0].kind, FaultKind::NoAnswer);
    EXPECT_EQ(o.faults[0].nth, 3);
    EXPECT_EQ(o.faults[0].times, 2);
    EXPECT_EQ(o.faults[1].kind, FaultKind::Gap);
    EXPECT_EQ(o.revision241, 15);
    EXPECT_FALSE(o.watchStdin);
    EXPECT_EQ(o.latencyTimer, Millis{16});
}

TEST(SimOptions, RefusesWhatItDoesNotKnow) {
    const std::vector<std::vector<const char*>> bad = {
        {"kxboot-sim", "--bogus"}, {"kxboot-sim", "--id"},          {"kxboot-sim", "--id", "70000"},
        {"kxboot-sim", "--head", "0102"}, {"kxboot-sim", "--rev-241", "16"}, {"kxboot-sim", "--echo=1"},
        {"kxboot-sim", "--replug-after", "0"}, {"kxboot-sim", "--replug-ms", "10001"},
        {"kxboot-sim", "--latency-timer", "256"},
    };
    for (const auto& argv : bad) {
        EXPECT_THROW(ParseOptions(static_cast<int>(argv.size()), const_cast<char**>(argv.data())),
                     std::invalid_argument)
            << argv[1];
    }
}

TEST(SimOptions, HelpNamesEveryOption) {
    const std::string help = HelpText();
    for (const char* option : {"--link", "--until-killed", "--short-header", "--echo", "--no-echo", "--echo-delay",
                               "--baud", "--turnaround", "--program-ms", "--erase-ms", "--own-address", "--id ",
                               "--id-byte4", "--head", "--id-240", "--id-241", "--rev-241", "--ignore-identify",
                               "--fault", "--silent", "--gap-ms", "--late-echo-ms", "--short-length", "--flash",
                               "--log", "--replug-after", "--replug-ms", "--latency-timer", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(SimFlash, PagesLandAtTheirOffsetsInPacketOrder) {
    test::TempDir tmp;
    FlashImage flash(tmp.File("flash.bin"));
    // Packets arrive out of order; the page holds them by index.
    flash.StorePacket(249, 1, Bytes(4, 0xB1));
    flash.StorePacket(249, 0, Bytes(4, 0xA0));
    flash.ProgramPage(249, 4);  // 4 address units: byte offset 6
    std::string expected(6, '\xFF');
    expected += std::string(4, '\xA0') + std::string(4, '\xB1');
    EXPECT_EQ(test::ReadAll(tmp.File("flash.bin")), expected);

    // The packets were used up: a page programmed without new ones changes nothing.
    flash.ProgramPage(249, 100);
    EXPECT_EQ(test::ReadAll(tmp.File("flash.bin")), expected);

    flash.StorePacket(240, 0, Bytes(2, 0x24));
    flash.ProgramPage(240, 2);  // 240 counts bytes
    expected.replace(2, 2, "\x24\x24");
    EXPECT_EQ(test::ReadAll(tmp.File("flash.bin")), expected);
    EXPECT_EQ(FlashImage::Offset(241, 2048), 3072u);

    flash.Erase();
    EXPECT_EQ(test::ReadAll(tmp.File("flash.bin")), "");
}

TEST(SimDevice, IdentityAnswersPerAddress) {
    Options o;
    o.identity240 = 0x0893;
    o.identity241 = 0x0041;
    o.revision241 = 3;
    o.ignoreIdentify = 1;
    BootLoaderDevice device(o, o.flashPath);
    const Request at249 = ParseRequest(Hex("06 F9 01 00 01 FF"), false);
    EXPECT_TRUE(device.SwallowIdentify(at249));
    EXPECT_FALSE(device.SwallowIdentify(at249));
    EXPECT_EQ(device.Handle(at249).data, Hex("2D 1D 00 00 40 00 11 22 33 44 55 66"));
    EXPECT_EQ(device.Handle(ParseRequest(Hex("06 F0 01 00 01 08"), false)).data, Hex("00 93 08"));
    EXPECT_EQ(device.Handle(ParseRequest(Hex("06 F1 01 00 01 07"), false)).data,
              Hex("41 00 00 00 30 00 11 22 33 44 55 66"));
    const Reply query = device.Handle(ParseRequest(Hex("06 00 00 00 00 FA"), false));
    EXPECT_EQ(query.address, 249);
    EXPECT_TRUE(query.data.empty());
    EXPECT_FALSE(device.Serves(ParseRequest(Hex("06 F9 01 00 02 FE"), false)));  // no erase at 249
    EXPECT_FALSE(device.Serves(ParseRequest(Hex("06 10 01 00 01 E8"), false)));
}

}  // namespace
}  // namespace kx::sim
