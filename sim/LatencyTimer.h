#pragma once
// A USB-serial adapter's receive side: what it takes off the line reaches the PC in
// USB packets, sent when a packet is full or when the adapter's latency timer runs out.
// The timer runs all the time and starts again at every packet sent (the chip sends one,
// if only its status bytes, each time it runs out), so a received byte waits up to one
// period, and a long frame arrives as a run of full packets and a remainder that waits.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/SimFrame.h"

namespace kx::sim {

class LatencyTimer {
public:
    using Clock = std::chrono::steady_clock;
    // Data bytes in one USB packet of the common adapters (64 bytes less two of status).
    static constexpr std::size_t PacketSize = 62;

    // `period` zero: no adapter, every byte is handed over as it is received. `start` is
    // when the timer started to run (the adapter was plugged in).
    LatencyTimer(Clock::duration period, Clock::time_point start);

    Clock::duration Period() const { return period_; }
    // A byte the adapter took off the line at `at`; calls come in time order (an earlier
    // `at` counts as the latest time seen).
    void Receive(Clock::time_point at, std::uint8_t byte);
    // What has reached the PC by `now` and was not yet taken, in the order received.
    Bytes Take(Clock::time_point now);
    // When the bytes still held in the adapter will be sent; nullopt when it holds none
    // (bytes already sent and not yet taken count as due at once).
    std::optional<Clock::time_point> NextSend() const;
    bool Holding() const { return !held_.empty(); }

private:
    // Lets the timer run out as often as it does up to `t`, sending what is held.
    void RunTo(Clock::time_point t);
    void Send(Clock::time_point at);

    Clock::duration period_;
    Clock::time_point lastPacket_;
    Clock::time_point latest_;
    Bytes held_;  // in the adapter
    Bytes sent_;  // on the PC's side, not yet taken
};

}  // namespace kx::sim
