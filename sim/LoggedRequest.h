#pragma once
// The simulator's request log read back: one record per request the simulated device
// received, as RequestLog writes them. The benchmarks and the end-to-end tests read the
// log with this, so that the format has one reader beside its one writer.
#include <optional>
#include <string>
#include <vector>

namespace kx::sim {

struct LoggedRequest {
    double t = 0;                 // when the request had been received, monotonic milliseconds
    long seq = 0;                 // 1, 2, ... in the order received
    long board = 0;               // which board of a station answered; 0 when not logged
    int addr = 0;
    std::optional<int> hdr;       // absent for a short header
    int fn = -1;
    int len = 0;                  // the request's bytes, length byte and check byte included
    std::optional<int> packet;    // write data: the packet number
    std::optional<long> page;     // program page: the page address
    std::string answer;           // ok, ignored, a fault kind, ...
    bool answered = false;
    std::string raw;              // the request's bytes in hex
};

// Every whole line of `text` that records a request; a last line still being written
// (no line end yet) is left for the next read.
std::vector<LoggedRequest> ParseRequestLog(const std::string& text);

}  // namespace kx::sim
