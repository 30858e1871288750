#include "sim/SimBoards.h"

#include <algorithm>
#include <utility>

namespace kx::sim {

BoardSequence::BoardSequence(long boards, std::vector<Millis> linger, Millis absent)
    : boards_(boards), linger_(std::move(linger)), absent_(absent) {
    if (linger_.empty()) linger_.push_back(Millis{0});
}

bool BoardSequence::Present(TimePoint now) {
    if (state_ == State::Leaving && now >= leaves_) {
        state_ = board_ < boards_ ? State::Absent : State::Done;
        next_ = leaves_ + absent_;
    }
    if (state_ == State::Absent && now >= next_) {
        state_ = State::Present;
        ++board_;
        changed_ = true;
    }
    return state_ == State::Present || state_ == State::Leaving;
}

bool BoardSequence::NewBoard() { return std::exchange(changed_, false); }

void BoardSequence::Finished(TimePoint now) {
    if (boards_ == 0 || state_ != State::Present) return;
    const std::size_t index = std::min(static_cast<std::size_t>(board_ - 1), linger_.size() - 1);
    state_ = State::Leaving;
    leaves_ = now + linger_[index];
}

}  // namespace kx::sim
