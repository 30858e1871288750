#include "cli/TraceWriter.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/Process.h"

namespace kx::cli {

TraceWriter::TraceWriter(const std::string& path, platform::Clock& clock)
    : out_(platform::PathFromUtf8(path), std::ios::out | std::ios::trunc), clock_(clock), start_(clock.Now()) {
    if (!out_) throw std::system_error(errno, std::generic_category(), path);
    out_ << "# ms dir bytes\n";
    out_.flush();
}

void TraceWriter::Sent(const std::uint8_t* data, std::size_t count) { Line("TX", data, count); }

void TraceWriter::Received(const std::uint8_t* data, std::size_t count, bool echo) {
    Line(echo ? "ECHO" : "RX", data, count);
}

void TraceWriter::Line(const char* direction, const std::uint8_t* data, std::size_t count) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%8lld %-4s", static_cast<long long>((clock_.Now() - start_).count()),
                  direction);
    out_ << stamp;
    for (std::size_t i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", data[i]);
        out_ << hex;
    }
    // Flushed per line, so that a trace survives a second Ctrl-C.
    out_ << '\n' << std::flush;
}

}  // namespace kx::cli
