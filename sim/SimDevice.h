#pragma once
// The boot loader's side of each request: what it does and what it answers.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/SimFlash.h"
#include "sim/SimFrame.h"
#include "sim/SimOptions.h"

namespace kx::sim {

struct Reply {
    std::uint8_t address = 0;
    std::uint8_t status = 0;
    Bytes data;
    Millis work{0};  // time the device needs before it answers
};

class BootLoaderDevice {
public:
    // Flash written to `flashPath` ("" for none).
    BootLoaderDevice(const Options& options, const std::string& flashPath);

    // Whether a valid request would be served here at all.
    bool Serves(const Request& request) const;
    // Whether this identify request is one the device does not hear yet (counts it).
    bool SwallowIdentify(const Request& request);
    // Carries the request out and returns its answer; only for requests it Serves.
    Reply Handle(const Request& request);

private:
    Bytes IdentityAnswer(std::uint8_t address) const;
    void Program(const Request& request);

    const Options& options_;
    long identifiesToIgnore_;
    std::optional<FlashImage> flash_;
};

// The 24-bit page address of a program-page request (low byte first); empty if short.
std::optional<std::uint32_t> PageAddress(const Request& request);

}  // namespace kx::sim
