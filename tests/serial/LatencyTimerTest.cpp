// The simulated USB adapter's latency timer, on a clock the test sets: what the PC gets,
// and not a moment before the adapter would send it.
#include "sim/LatencyTimer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/posix/UniqueFd.h"
#include "sim/SimLine.h"

namespace kx::sim {
namespace {

using namespace std::chrono_literals;
using Clock = LatencyTimer::Clock;

const Clock::time_point T0{std::chrono::hours(1)};
Clock::time_point At(Clock::duration d) { return T0 + d; }

Bytes Counting(std::size_t count, std::uint8_t first = 0) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

struct Arrival {
    Clock::duration at;
    std::size_t count;   // bytes received at that moment
};
struct Look {
    Clock::duration at;
    std::size_t got;     // bytes the PC has taken by then, in all
};
struct Case {
    const char* name;
    Clock::duration period;
    std::vector<Arrival> arrivals;
    std::vector<Look> looks;
};

// Arrivals and looks are merged in time order; at a tie the arrival comes first.
TEST(LatencyTimer, HandsOverFullPacketsAtOnceAndTheRestWhenTheTimerRunsOut) {
    const Case cases[] = {
        {"nothing before the timer, all of it at the timer", 16ms, {{3ms, 10}},
         {{3ms, 0}, {15999us, 0}, {16ms, 10}, {40ms, 10}}},
        {"a full packet at once, the rest a period later", 16ms, {{20ms, 70}},
         {{20ms, 62}, {35999us, 62}, {36ms, 70}}},
        {"the timer runs on while idle: no fresh period for a late byte", 16ms, {{100ms, 1}},
         {{111ms, 0}, {112ms, 1}}},
        {"one byte short of a packet waits", 16ms, {{1ms, 61}}, {{1ms, 0}, {15ms, 0}, {16ms, 61}}},
        {"bytes received since the last send go together", 16ms, {{2ms, 5}, {9ms, 5}, {17ms, 3}},
         {{10ms, 0}, {16ms, 10}, {31ms, 10}, {32ms, 13}}},
        {"a 1 ms timer", 1ms, {{2500us, 6}}, {{2999us, 0}, {3ms, 6}}},
        {"no adapter: everything at once", 0ms, {{5ms, 135}}, {{5ms, 135}}},
    };
    for (const Case& c : cases) {
        LatencyTimer adapter(c.period, T0);
        Bytes expected, got;
        std::size_t next = 0;
        for (const Look& look : c.looks) {
            for (; next < c.arrivals.size() && c.arrivals[next].at <= look.at; ++next) {
                const Bytes bytes = Counting(c.arrivals[next].count, static_cast<std::uint8_t>(expected.size()));
                for (std::uint8_t b : bytes) adapter.Receive(At(c.arrivals[next].at), b);
                expected.insert(expected.end(), bytes.begin(), bytes.end());
            }
            const Bytes taken = adapter.Take(At(look.at));
            got.insert(got.end(), taken.begin(), taken.end());
            ASSERT_EQ(got.size(), look.got) << c.name << " at " << look.at.count() << " ns";
        }
        EXPECT_EQ(got, Bytes(expected.begin(), expected.begin() + static_cast<long>(got.size()))) << c.name;
    }
}

// The line writes the echo of a 135-byte request through the adapter: two full packets
// reach the other side as the bytes cross the wire, the last 11 only when the timer,
// started again by the second packet, runs out.
TEST(LatencyTimer, TheLineDeliversThroughTheAdapter) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair), 0);
    platform::posix::UniqueFd ours(pair[0]), theirs(pair[1]);
    SimLine line(ours.Get());
    line.SetLatencyTimer(16ms, T0);
    for (std::uint8_t b : Counting(135)) line.Queue(At(5ms), b);
    const auto received = [&] {
        std::uint8_t buffer[512];
        const ssize_t n = ::read(theirs.Get(), buffer, sizeof buffer);
        return n > 0 ? Bytes(buffer, buffer + n) : Bytes{};
    };
    EXPECT_FALSE(line.Flush(At(5ms)));
    EXPECT_EQ(received(), Counting(124));
    EXPECT_EQ(line.NextDue(), At(21ms));   // a period after the second packet
    line.Flush(At(20ms));
    EXPECT_TRUE(received().empty());
    line.Flush(At(21ms));
    EXPECT_EQ(received(), Counting(11, 124));
    EXPECT_EQ(line.NextDue(), std::nullopt);
}

}  // namespace
}  // namespace kx::sim
