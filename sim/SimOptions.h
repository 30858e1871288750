#pragma once
// The simulator's settings, from its command line.
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimFaults.h"

namespace kx::sim {

using Millis = std::chrono::milliseconds;

struct Options {
    bool help = false;
    std::string linkPath;          // symbolic link to the slave side, empty for none
    bool watchStdin = true;        // end when stdin closes
    bool shortHeader = false;

    bool echo = true;
    Millis echoDelay{0};
    Millis lateEcho{150};

    std::uint8_t ownAddress = 249;
    std::uint16_t identity249 = 0x1D2D;
    std::array<std::uint8_t, 4> identityBytes249 = {0x00, 0x00, 0x40, 0x00};  // data bytes 2..5
    std::array<std::uint8_t, 6> headBytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    std::uint16_t identity240 = 0x0297;
    std::uint16_t identity241 = 0x0041;
    std::uint8_t revision241 = 0;
    long ignoreIdentify = 0;
    long replugAfter = 0;          // recreate the pty after this request (0: never)
    Millis replugAway{200};        // how long the port is away on a replug

    std::uint32_t paceBaud = 0;    // 0: no pacing
    bool paceLineRate = false;     // pace at the rate the other side has set on the tty
    Millis turnaround{0};
    Millis programTime{0};
    Millis eraseTime{0};
    Millis latencyTimer{0};        // a USB adapter's latency timer in front of the PC (0: none)

    std::vector<FaultRule> faults;
    Millis gap{300};
    std::uint8_t shortLength = 5;

    std::string flashPath;
    std::string logPath;

    long ports = 1;                // simulated ports, each with its own board(s)
    long boards = 0;               // 0: one board that never leaves
    std::vector<Millis> linger;    // per board, the last value for the rest
    Millis absent{1000};
};

// Throws std::invalid_argument with a message naming the bad option.
Options ParseOptions(int argc, char** argv);
std::string HelpText();

}  // namespace kx::sim
