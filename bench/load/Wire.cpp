#include "bench/load/Wire.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kx::bench {
namespace {

constexpr std::size_t FunctionIndex = 4;  // length, address, header word, function
constexpr unsigned ProgramPage = 20;

}  // namespace

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<TraceFrame> ParseTrace(const std::string& text) {
    std::vector<TraceFrame> frames;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        TraceFrame frame;
        if (!(words >> frame.ms >> frame.direction)) continue;
        std::string hex;
        while (words >> hex) frame.bytes.push_back(static_cast<unsigned>(std::stoul(hex, nullptr, 16)));
        frames.push_back(std::move(frame));
    }
    return frames;
}

LowerBound ComputeLowerBound(const std::vector<TraceFrame>& trace, const LineModel& line) {
    LowerBound bound;
    double ms = 0;
    const double perByteMs = line.bitsPerCharacter * 1000.0 / line.baud;
    const std::vector<unsigned>* previous = nullptr;
    for (const TraceFrame& f : trace) {
        if (f.direction == "TX") {
            const bool retry = previous != nullptr && *previous == f.bytes;
            if (retry) {
                ++bound.retries;
                ms += line.retryPauseMs;
            } else {
                ++bound.transactions;
                ms += line.turnTimeMs;
            }
            ms += perByteMs * static_cast<double>(f.bytes.size()) + line.turnaroundMs;
            if (f.bytes.size() > FunctionIndex && f.bytes[FunctionIndex] == ProgramPage) ms += line.programMs;
            bound.bytesOnWire += f.bytes.size();
            previous = &f.bytes;
        } else if (f.direction == "RX") {
            ms += perByteMs * static_cast<double>(f.bytes.size());
            bound.bytesOnWire += f.bytes.size();
        }
    }
    bound.seconds = ms / 1000.0;
    return bound;
}

std::vector<double> ExchangeCostsMs(const std::vector<sim::LoggedRequest>& log, double turnTimeMs) {
    std::vector<double> costs;
    for (std::size_t i = 0; i + 1 < log.size(); ++i) {
        const bool clean = log[i].answer == "ok" && log[i + 1].raw != log[i].raw;
        if (clean) costs.push_back(log[i + 1].t - log[i].t - turnTimeMs);
    }
    return costs;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value with at least `fraction` of all at or below it.
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

}  // namespace kx::bench
