#include "sim/SimLine.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kx::sim {

TimePoint SimLine::CrossWire(TimePoint arrival) {
    wireFree_ = std::max(arrival, wireFree_) + characterTime_;
    return wireFree_;
}

void SimLine::Insert(Item item) {
    const auto at = std::upper_bound(queue_.begin(), queue_.end(), item.due,
                                     [](TimePoint due, const Item& other) { return due < other.due; });
    queue_.insert(at, item);
}

void SimLine::Queue(TimePoint due, std::uint8_t byte) { Insert({due, byte, false}); }

TimePoint SimLine::Send(const Bytes& frame, TimePoint start, SimClock::duration pause,
                        SimClock::duration delay) {
    TimePoint t = std::max(start, wireFree_);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (i == 2) t += pause;
        t += characterTime_;
        Insert({t + delay, frame[i], true});
    }
    wireFree_ = t;
    return t + delay;
}

void SimLine::QueueHangUp(TimePoint due) { Insert({due, -1, false}); }

void SimLine::AbandonAnswer(TimePoint now) {
    if (std::erase_if(queue_, [](const Item& item) { return item.answer; }) > 0) wireFree_ = now;
}

std::optional<TimePoint> SimLine::NextDue() const {
    std::optional<TimePoint> due = adapter_.NextSend();
    // A hang-up waits for what the adapter still holds.
    const bool waiting = !queue_.empty() && queue_.front().byte < 0 && adapter_.Holding();
    if (!queue_.empty() && !waiting && (!due || queue_.front().due < *due)) due = queue_.front().due;
    return due;
}

bool SimLine::Flush(TimePoint now) {
    bool hangUp = false;
    while (!queue_.empty() && queue_.front().due <= now) {
        if (queue_.front().byte < 0) {
            hangUp = true;
            break;
        }
        adapter_.Receive(queue_.front().due, static_cast<std::uint8_t>(queue_.front().byte));
        queue_.pop_front();
    }
    const Bytes sent = adapter_.Take(now);
    unwritten_.insert(unwritten_.end(), sent.begin(), sent.end());
    std::size_t written = 0;
    while (written < unwritten_.size()) {
        const ssize_t n = ::write(fd_, unwritten_.data() + written, unwritten_.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    unwritten_.erase(unwritten_.begin(), unwritten_.begin() + static_cast<long>(written));
    blocked_ = !unwritten_.empty();
    return hangUp && unwritten_.empty() && !adapter_.Holding();
}

}  // namespace kx::sim
