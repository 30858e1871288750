#pragma once
// What to tell a technician whose USB adapter holds received bytes back: every exchange
// of the link waits for its echo and then for its answer, so the adapter's latency timer
// is paid twice an exchange, over 500 times a load.
#include <chrono>
#include <string>

namespace kx::cli {

// The most an adapter may hold bytes back without a hint.
inline constexpr std::chrono::milliseconds QuickLatencyTimer{1};

// One line: why a latency timer of `timer` on `port` slows a load and how to lower it on
// this system; "" when `timer` is QuickLatencyTimer or less.
std::string LatencyHint(const std::string& port, std::chrono::milliseconds timer);

// How to set the latency timer of the adapter behind `port` to 1 ms on this system
// (one backend per OS).
std::string HowToLowerLatencyTimer(const std::string& port);

}  // namespace kx::cli
