#include "cli/LatencyHint.h"

namespace kx::cli {

std::string LatencyHint(const std::string& port, std::chrono::milliseconds timer) {
    if (timer <= QuickLatencyTimer) return {};
    const std::string ms = std::to_string(timer.count()) + " ms";
    return "the adapter holds what it receives up to " + ms + ", twice in every exchange (echo, then answer), " +
           "which can make a load several times slower; set its latency timer to 1 ms: " +
           HowToLowerLatencyTimer(port);
}

}  // namespace kx::cli
