#pragma once
// An in-memory serial line for unit tests. The test scripts what the "device" sends
// back after each write; time passes on a FakeClock only.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "tests/support/FakeClock.h"

namespace kx::test {

using Bytes = std::vector<std::uint8_t>;

// The state of one simulated line, shared between the test and the port object that
// the link owns.
struct FakeLine {
    explicit FakeLine(FakeClock& c) : clock(c) {}

    FakeClock& clock;
    // Bytes on their way to the PC, each with the time it arrives.
    std::deque<std::pair<platform::Millis, std::uint8_t>> incoming;
    // Every Write call, in order, and the time it was made.
    std::vector<Bytes> writes;
    std::vector<platform::Millis> writeTimes;
    // Modem-line, purge and setting calls in order: "DTR", "RTS+", "RTS-", "PURGE-RX",
    // "PURGE-TX", "BAUD=19200", "BYTESIZE=8", "PARITY=0", "STOPBITS=2", "QUEUES", "OPEN", "CLOSE".
    std::vector<std::string> events;
    std::uint32_t baud = 9600;
    std::set<std::uint32_t> refusedRates;
    bool gone = false;  // the port disappeared: reads return nothing
    // The adapter is pulled out: reads and writes raise PortGone, and opening fails.
    bool pulled = false;
    bool open = false;  // a port object for this line exists (probes then find it taken)
    // Called after every write with the bytes written; typically queues an answer.
    std::function<void(const Bytes&)> onWrite;

    // Queues `bytes` to arrive `delay` from now, one `spacing` apart.
    void Send(const Bytes& bytes, platform::Millis delay = platform::Millis{0},
              platform::Millis spacing = platform::Millis{0});
    // Queues bytes to arrive after the last queued byte (or now), `delay` later.
    void SendAfterLast(const Bytes& bytes, platform::Millis delay = platform::Millis{0});
    std::size_t Count(const std::string& event) const;
};

class FakeSerialPort final : public platform::SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeLine> line) : line_(std::move(line)) { line_->open = true; }
    ~FakeSerialPort() override {
        line_->events.push_back("CLOSE");
        line_->open = false;
    }

    void SetupQueues(std::uint32_t, std::uint32_t) override { line_->events.push_back("QUEUES"); }
    void SetBaudRate(std::uint32_t rate) override;
    std::uint32_t BaudRate() override { return line_->baud; }
    void SetByteSize(std::uint8_t bits) override { line_->events.push_back("BYTESIZE=" + std::to_string(bits)); }
    void SetParity(std::uint8_t code) override { line_->events.push_back("PARITY=" + std::to_string(code)); }
    void SetStopBits(std::uint8_t code) override { line_->events.push_back("STOPBITS=" + std::to_string(code)); }
    void SetDTR() override { line_->events.push_back("DTR"); }
    void SetRTS() override { line_->events.push_back("RTS+"); }
    void ClearRTS() override { line_->events.push_back("RTS-"); }
    void PurgeInput() override;
    void PurgeOutput() override { line_->events.push_back("PURGE-TX"); }
    void Write(const std::uint8_t* data, std::size_t count) override;
    std::size_t Read(std::uint8_t* buffer, std::size_t maxCount, platform::Millis wait) override;

private:
    std::shared_ptr<FakeLine> line_;
};

// A machine with named fake ports.
class FakeSerialPorts final : public platform::SerialPorts {
public:
    explicit FakeSerialPorts(FakeClock& clock) : clock_(clock) {}

    // Adds a candidate port; `free` says whether a probe finds it free (an open port is
    // never free, and cannot be opened twice).
    std::shared_ptr<FakeLine> Add(const std::string& name, bool free = true);
    // A port that opens by name but is no candidate (one behind a network server).
    std::shared_ptr<FakeLine> AddUnlisted(const std::string& name);
    void SetFree(const std::string& name, bool free) { free_[name] = free; }
    std::shared_ptr<FakeLine> Line(const std::string& name) { return lines_.at(name); }

    std::vector<std::string> Candidates() override { return order_; }
    // Missing for a name never added; an added port is busy while it is marked taken or open.
    platform::PortState Probe(const std::string& name) override;
    // Refused with the system's words for the reason: a missing port, one held elsewhere,
    // one already open, one pulled out.
    platform::PortOpening Open(const std::string& name) override;
    bool StoresPortNumber() const override { return storesNumber; }

    bool storesNumber = false;
    std::vector<std::string> opened;  // names passed to Open, in order
    int probes = 0;

private:
    FakeClock& clock_;
    std::vector<std::string> order_;
    std::map<std::string, bool> free_;
    std::map<std::string, std::shared_ptr<FakeLine>> lines_;
};

}  // namespace kx::test
