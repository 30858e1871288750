#include "bench/load/Wire.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kx::bench {
namespace {

// 19200 bit/s at 11 bits: 0.5729 ms a character.
constexpr double PerByte = 11.0 * 1000.0 / 19200.0;

TEST(LowerBound, CountsRequestsAndAnswersButNotTheEchoAndAddsThePrescribedTimes) {
    const std::string trace =
        "# ms dir bytes\n"
        "       0 TX   06 F9 01 00 01 FF\n"
        "       3 ECHO 06 F9 01 00 01 FF\n"
        "       9 RX   12 F9 01 00 01 2D 1D 00 00 40 00 11 22 33 44 55 66 4D\n"
        "      40 TX   09 F9 01 00 14 00 00 00 E9\n"
        "      45 ECHO 09 F9 01 00 14 00 00 00 E9\n"
        "      99 RX   06 F9 01 00 14 EC\n";
    LineModel line;
    line.turnaroundMs = 1;
    line.programMs = 25;
    const LowerBound bound = ComputeLowerBound(ParseTrace(trace), line);
    EXPECT_EQ(bound.transactions, 2u);
    EXPECT_EQ(bound.retries, 0u);
    EXPECT_EQ(bound.bytesOnWire, 6u + 18u + 9u + 6u);
    // Two turn pauses, two turnarounds, one programming time, the bytes at line pace.
    EXPECT_NEAR(bound.seconds * 1000, 2 * 20 + 2 * 1 + 25 + 39 * PerByte, 1e-9);
}

TEST(LowerBound, ARequestSentAgainUnchangedIsARetryWithItsOwnPause) {
    const std::string trace =
        "0 TX 06 F9 01 00 0A F6\n"
        "200 TX 06 F9 01 00 0A F6\n"
        "260 RX 06 F9 01 00 0A F6\n"
        "300 TX 06 F9 01 00 06 FA\n";
    const LowerBound bound = ComputeLowerBound(ParseTrace(trace), LineModel{});
    EXPECT_EQ(bound.transactions, 2u);
    EXPECT_EQ(bound.retries, 1u);
    EXPECT_NEAR(bound.seconds * 1000, 2 * 20 + 50 + 24 * PerByte, 1e-9);
}

TEST(ExchangeCosts, AreTheGapsBetweenRequestsLessThePauseSkippingFailedOnesAndRetries) {
    const std::string log =
        "t=1000.000000 seq=1 addr=249 hdr=1 fn=1 len=6 answer=ok answered=yes raw=06F9010001FF\n"
        "t=1020.400000 seq=2 addr=249 hdr=1 fn=10 len=135 packet=0 answer=none answered=no raw=AA\n"
        "t=1090.000000 seq=3 addr=249 hdr=1 fn=10 len=135 packet=0 answer=ok answered=yes raw=AA\n"
        "t=1110.250000 seq=4 addr=249 hdr=1 fn=10 len=135 packet=1 answer=ok answered=yes raw=BB\n"
        "t=1130.300000 seq=5 addr=249 hdr=1 fn=6 len=6 answer=ok answered=yes raw=CC\n";
    const std::vector<double> costs = ExchangeCostsMs(sim::ParseRequestLog(log), 20);
    ASSERT_EQ(costs.size(), 3u);
    EXPECT_NEAR(costs[0], 0.4, 1e-6);
    EXPECT_NEAR(costs[1], 0.25, 1e-6);
    EXPECT_NEAR(costs[2], 0.05, 1e-6);
}

TEST(Percentile, IsTheNearestRank) {
    const std::vector<double> values = {5, 1, 4, 2, 3, 6, 7, 8, 9, 10};
    struct Case { double fraction, expected; };
    for (const Case c : {Case{0.5, 5}, Case{0.99, 10}, Case{0.9, 9}, Case{0.0, 1}, Case{1.0, 10}}) {
        EXPECT_EQ(Percentile(values, c.fraction), c.expected) << c.fraction;
    }
    EXPECT_TRUE(std::isnan(Percentile({}, 0.5)));
}

}  // namespace
}  // namespace kx::bench
