#pragma once
// What went over the line in a measured load, read back from the loader's trace and the
// simulator's request log (sim/LoggedRequest.h), and the time the protocol cannot go
// below on that line.
#include <cstddef>
#include <string>
#include <vector>

#include "sim/LoggedRequest.h"

namespace kx::bench {

// One line of a kxboot-cli --trace file.
struct TraceFrame {
    long ms = 0;
    std::string direction;  // TX, ECHO or RX
    std::vector<unsigned> bytes;
};

std::vector<TraceFrame> ParseTrace(const std::string& text);

struct LineModel {
    double baud = 19200;
    double bitsPerCharacter = 11;
    double turnTimeMs = 20;     // the pause before each transaction's first send
    double retryPauseMs = 50;
    double turnaroundMs = 0;    // the device's pause before each answer
    double programMs = 0;       // and its extra time before a program-page answer
};

struct LowerBound {
    double seconds = 0;
    std::size_t transactions = 0;
    std::size_t retries = 0;
    std::size_t bytesOnWire = 0;  // requests and answers; the echo overlaps its request
};

// Every request and answer at the line's pace, plus the pauses the protocol prescribes and
// the device's configured turnaround and programming time. Retries (a request sent again
// unchanged) add their pause and their bytes.
LowerBound ComputeLowerBound(const std::vector<TraceFrame>& trace, const LineModel& line);

// The software's cost of each exchange from the simulator's side: time from one request to
// the next less the prescribed pause, for pairs of answered requests that were not retries.
std::vector<double> ExchangeCostsMs(const std::vector<sim::LoggedRequest>& log, double turnTimeMs);

double Percentile(std::vector<double> values, double fraction);

std::string ReadText(const std::string& path);

}  // namespace kx::bench
