#pragma once
// What the report records of a board from the wire: the data bytes of the identity
// answer that woke it. Sees every frame of one link and passes it on to the trace.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/KX_RS232.h"

namespace kx::cli {

class BoardCapture final : public link::FrameTrace {
public:
    explicit BoardCapture(link::FrameTrace* next) : next_(next) {}

    void Sent(const std::uint8_t* data, std::size_t count) override;
    void Received(const std::uint8_t* data, std::size_t count, bool echo) override;

    // The last identity answer's data bytes in hex; "" when none came since Reset.
    const std::string& Identity() const { return identity_; }
    void Reset() { identity_.clear(); }

private:
    link::FrameTrace* next_;
    bool identifySent_ = false;
    std::string identity_;
};

}  // namespace kx::cli
