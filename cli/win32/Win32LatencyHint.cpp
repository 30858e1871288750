// Windows: the adapter's driver keeps the latency timer among the port's advanced
// settings, where it stays for that adapter.
#include "cli/LatencyHint.h"

namespace kx::cli {

std::string HowToLowerLatencyTimer(const std::string& port) {
    return "in Device Manager, " + port + ": Properties, Port Settings, Advanced, Latency Timer (msec) = 1";
}

}  // namespace kx::cli
