#pragma once
// --trace FILE: every frame the link sends and receives, one line each, with the
// milliseconds since the trace began and the direction (TX, ECHO, RX), in hex.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "link/KX_RS232.h"
#include "platform/Clock.h"

namespace kx::cli {

class TraceWriter final : public link::FrameTrace {
public:
    // Throws std::system_error when the file cannot be created.
    TraceWriter(const std::string& path, platform::Clock& clock);

    void Sent(const std::uint8_t* data, std::size_t count) override;
    void Received(const std::uint8_t* data, std::size_t count, bool echo) override;

private:
    void Line(const char* direction, const std::uint8_t* data, std::size_t count);

    std::ofstream out_;
    platform::Clock& clock_;
    platform::Millis start_;
};

}  // namespace kx::cli
