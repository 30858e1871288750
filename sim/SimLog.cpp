#include "sim/SimLog.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "sim/SimDevice.h"
#include "sim/SimNumbers.h"

namespace kx::sim {

RequestLog::RequestLog(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {
    if (!file_) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

void RequestLog::Write(TimePoint received, long sequence, long board, const Request& request,
                       const std::string& answer, bool answered) {
    const double ms = std::chrono::duration<double, std::milli>(received.time_since_epoch()).count();
    std::string line = "t=" + std::to_string(ms) + " seq=" + std::to_string(sequence);
    if (board > 0) line += " board=" + std::to_string(board);
    line += " addr=" + std::to_string(request.address);
    if (request.header) line += " hdr=" + std::to_string(*request.header);
    line += " fn=" + std::to_string(request.function) + " len=" + std::to_string(request.raw.size());
    if (request.function == 10 && !request.data.empty()) line += " packet=" + std::to_string(request.data[0]);
    if (request.function == 20) {
        if (const auto page = PageAddress(request)) line += " page=" + std::to_string(*page);
    }
    line += " answer=" + answer + " answered=" + (answered ? "yes" : "no");
    line += " raw=" + HexText(request.raw.data(), request.raw.size()) + "\n";
    std::fputs(line.c_str(), file_.get());
    std::fflush(file_.get());
}

}  // namespace kx::sim
