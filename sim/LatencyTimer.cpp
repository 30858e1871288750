#include "sim/LatencyTimer.h"

#include <algorithm>

namespace kx::sim {

LatencyTimer::LatencyTimer(Clock::duration period, Clock::time_point start)
    : period_(std::max(period, Clock::duration::zero())), lastPacket_(start), latest_(start) {}

void LatencyTimer::Send(Clock::time_point at) {
    sent_.insert(sent_.end(), held_.begin(), held_.end());
    held_.clear();
    lastPacket_ = at;
}

void LatencyTimer::RunTo(Clock::time_point t) {
    latest_ = std::max(latest_, t);
    if (period_ == Clock::duration::zero() || latest_ - lastPacket_ < period_) return;
    // The first expiry sends what is held; those after it only the status bytes.
    if (!held_.empty()) Send(lastPacket_ + period_);
    lastPacket_ += period_ * ((latest_ - lastPacket_) / period_);
}

void LatencyTimer::Receive(Clock::time_point at, std::uint8_t byte) {
    RunTo(at);
    held_.push_back(byte);
    if (period_ == Clock::duration::zero() || held_.size() >= PacketSize) Send(latest_);
}

Bytes LatencyTimer::Take(Clock::time_point now) {
    RunTo(now);
    Bytes taken;
    taken.swap(sent_);
    return taken;
}

std::optional<LatencyTimer::Clock::time_point> LatencyTimer::NextSend() const {
    if (!sent_.empty()) return latest_;
    if (held_.empty()) return std::nullopt;
    return lastPacket_ + period_;
}

}  // namespace kx::sim
