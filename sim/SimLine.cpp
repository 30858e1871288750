#include "sim/SimLine.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

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
    if (queue_.empty()) return std::nullopt;
    return queue_.front().due;
}

bool SimLine::Flush(TimePoint now) {
    std::vector<std::uint8_t> batch;
    std::size_t count = 0;
    bool hangUp = false;
    for (const Item& item : queue_) {
        if (item.due > now) break;
        if (item.byte < 0) {
            hangUp = true;
            break;
        }
        batch.push_back(static_cast<std::uint8_t>(item.byte));
        ++count;
    }
    std::size_t written = 0;
    while (written < batch.size()) {
        const ssize_t n = ::write(fd_, batch.data() + written, batch.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    blocked_ = written < batch.size();
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(written));
    return hangUp && written == count;
}

}  // namespace kx::sim
