#pragma once
// The line as the other program sees it: bytes leave the simulator at the moments a real
// half-duplex line would deliver them (11 bits a character at the paced rate), through a
// USB adapter's latency timer when one is set.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

#include "sim/LatencyTimer.h"
#include "sim/SimFrame.h"

namespace kx::sim {

using SimClock = std::chrono::steady_clock;
using TimePoint = SimClock::time_point;

class SimLine {
public:
    explicit SimLine(int fd) : fd_(fd) {}

    // Time one character takes on the wire; zero for no pacing.
    void SetCharacterTime(SimClock::duration time) { characterTime_ = time; }
    SimClock::duration CharacterTime() const { return characterTime_; }
    // What the line delivers goes through a USB adapter whose latency timer runs with
    // `period` from `start` (zero: straight to the other program).
    void SetLatencyTimer(SimClock::duration period, TimePoint start) { adapter_ = LatencyTimer(period, start); }

    // The moment a byte that reached us at `arrival` has crossed the wire: the line
    // carries one character at a time, so bytes written in a burst spread out.
    TimePoint CrossWire(TimePoint arrival);
    // Queues one byte to be delivered at `due`.
    void Queue(TimePoint due, std::uint8_t byte);
    // Sends `frame` at line pace once the wire is free and `start` has come, with an
    // extra `pause` before its third byte; each byte is delivered `delay` late.
    // Returns when its last byte is delivered.
    TimePoint Send(const Bytes& frame, TimePoint start, SimClock::duration pause,
                   SimClock::duration delay);
    // The line goes away at `due`, after the bytes queued before it.
    void QueueHangUp(TimePoint due);
    // Drops the answer bytes not yet delivered: the line is half-duplex, and a device
    // that hears a new request has stopped talking.
    void AbandonAnswer(TimePoint now);

    std::optional<TimePoint> NextDue() const;
    // Something is due but the other side's buffer is full.
    bool Blocked() const { return blocked_; }
    // Writes every byte that is due (and that the adapter has sent on); true once a
    // queued hang-up is due and nothing before it is left to write.
    bool Flush(TimePoint now);

private:
    struct Item {
        TimePoint due;
        int byte;  // -1: hang up
        bool answer;
    };
    void Insert(Item item);

    int fd_;
    SimClock::duration characterTime_{0};
    TimePoint wireFree_{};
    std::deque<Item> queue_;
    LatencyTimer adapter_{SimClock::duration::zero(), TimePoint{}};
    Bytes unwritten_;  // handed over, not yet taken by the other side's buffer
    bool blocked_ = false;
};

}  // namespace kx::sim
