#include "tests/support/FakeSerial.h"

#include <algorithm>

namespace kx::test {

using platform::Millis;

void FakeLine::Send(const Bytes& bytes, Millis delay, Millis spacing) {
    Millis at = clock.Now() + delay;
    for (std::uint8_t b : bytes) {
        incoming.emplace_back(at, b);
        at += spacing;
    }
    std::stable_sort(incoming.begin(), incoming.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

void FakeLine::SendAfterLast(const Bytes& bytes, Millis delay) {
    const Millis start = incoming.empty() ? clock.Now() : std::max(clock.Now(), incoming.back().first);
    for (std::uint8_t b : bytes) incoming.emplace_back(start + delay, b);
}

std::size_t FakeLine::Count(const std::string& event) const {
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), event));
}

void FakeSerialPort::SetBaudRate(std::uint32_t rate) {
    line_->events.push_back("BAUD=" + std::to_string(rate));
    if (line_->refusedRates.count(rate) == 0) line_->baud = rate;
}

void FakeSerialPort::PurgeInput() {
    line_->events.push_back("PURGE-RX");
    const Millis now = line_->clock.Now();
    while (!line_->incoming.empty() && line_->incoming.front().first <= now) line_->incoming.pop_front();
}

void FakeSerialPort::Write(const std::uint8_t* data, std::size_t count) {
    if (line_->pulled) throw platform::PortGone();
    Bytes bytes(data, data + count);
    line_->writes.push_back(bytes);
    line_->writeTimes.push_back(line_->clock.Now());
    if (line_->onWrite) line_->onWrite(bytes);
}

std::size_t FakeSerialPort::Read(std::uint8_t* buffer, std::size_t maxCount, Millis wait) {
    FakeLine& line = *line_;
    if (line.pulled) throw platform::PortGone();
    const Millis now = line.clock.Now();
    if (line.gone || line.incoming.empty() || line.incoming.front().first > now + wait) {
        line.clock.Advance(wait);
        return 0;
    }
    if (line.incoming.front().first > now) line.clock.Advance(line.incoming.front().first - now);
    std::size_t n = 0;
    while (n < maxCount && !line.incoming.empty() && line.incoming.front().first <= line.clock.Now()) {
        buffer[n++] = line.incoming.front().second;
        line.incoming.pop_front();
    }
    return n;
}

std::shared_ptr<FakeLine> FakeSerialPorts::Add(const std::string& name, bool free) {
    auto line = std::make_shared<FakeLine>(clock_);
    order_.push_back(name);
    free_[name] = free;
    lines_[name] = line;
    return line;
}

std::shared_ptr<FakeLine> FakeSerialPorts::AddUnlisted(const std::string& name) {
    auto line = Add(name);
    order_.pop_back();
    return line;
}

platform::PortState FakeSerialPorts::Probe(const std::string& name) {
    ++probes;
    const auto it = free_.find(name);
    if (it == free_.end()) return platform::PortState::Missing;
    return it->second && !lines_.at(name)->open ? platform::PortState::Free : platform::PortState::Busy;
}

platform::PortOpening FakeSerialPorts::Open(const std::string& name) {
    opened.push_back(name);
    const auto it = lines_.find(name);
    if (it == lines_.end() || it->second->pulled) return platform::PortOpening::Missing("No such file or directory");
    if (!free_[name] || it->second->open) return platform::PortOpening::Failed("Device or resource busy");
    it->second->events.push_back("OPEN");
    return platform::PortOpening::Opened(std::make_unique<FakeSerialPort>(it->second));
}

}  // namespace kx::test
